#pragma once

#include <string>

#include "engine/resources/surface.h"

namespace velmo {

// An image decoded from bytes the file cache already holds.
class Texture : public ID3dSurface {
public:
    Texture() = default;
    virtual ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    IDirect3DTexture9* getTexture() override { return texture; }
    void load(const std::string& name);
    void loadFromMemory(const std::string& name);

private:
    IDirect3DTexture9* texture = nullptr;
};

} // namespace velmo
