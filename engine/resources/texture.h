#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/resources/surface.h"

namespace velmo {

// An image decoded by D3DX from bytes the file cache already holds. Created and freed only
// by the device state.
class Texture : public ID3dSurface {
public:
    Texture();
    virtual ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    IDirect3DTexture9* getTexture() override { return record->texture; }

    // Loads the texture from the bytes the file cache holds for the name. A texture loads at
    // most once; a name the cache does not hold leaves it empty.
    void load(const std::string& name);
    void loadFromMemory(const std::string& name);

    bool isLoaded() const { return record->loaded; }
    uint32_t sourceWidth() const { return record->sourceWidth; }
    uint32_t sourceHeight() const { return record->sourceHeight; }
    uint32_t width() const { return record->width; }
    uint32_t height() const { return record->height; }
    float scaleU() const { return record->scaleU; }
    float scaleV() const { return record->scaleV; }

private:
    struct Record {
        IDirect3DTexture9* texture = nullptr;
        bool loaded = false;
        uint32_t sourceWidth = 0, sourceHeight = 0; // the image in the file
        uint32_t width = 0, height = 0;             // mip level 0 of the texture
        float scaleU = 1.0f, scaleV = 1.0f;
    };
    std::unique_ptr<Record> record;
};

} // namespace velmo
