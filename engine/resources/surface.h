#pragma once

#include <d3d9.h>

struct IDirect3DTexture9;

namespace velmo {

// Anything that can be read as a texture: loaded images and render targets.
class ID3dSurface {
public:
    virtual IDirect3DTexture9* getTexture() = 0;

protected:
    ~ID3dSurface() = default;
};

} // namespace velmo
