// The reference count of the port's objects behind Direct3D and D3DX interfaces.
#pragma once

#include <d3d9.h>

namespace port::d3d9 {

// Implements AddRef and Release of `Interface`: the object starts with the one reference its
// maker hands out and deletes itself when the last is released. Each call answers the count it
// leaves.
template <class Interface> class RefCounted : public Interface {
public:
    ULONG AddRef() override { return ++references; }
    ULONG Release() override {
        const ULONG left = --references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    RefCounted() = default;
    ~RefCounted() override = default;

private:
    ULONG references = 1;
};

} // namespace port::d3d9
