#pragma once

#include <cstdint>

#include <d3d9.h>

#include "engine/resources/surface.h"

namespace velmo {

// A texture that can be rendered into, with its own depth-stencil surface. begin makes it a
// render target of the device, saving what was bound there, and end restores that; at index 0
// the two also push and pop the engine window's viewport stack. Created and freed only by
// the device state.
class RenderTarget final : public ID3dSurface {
public:
    RenderTarget() = default;
    ~RenderTarget();
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    IDirect3DTexture9* getTexture() override { return texture; }

    // Creates the texture (one level, usable as a render target) and the depth surface.
    void create(uint32_t width, uint32_t height, D3DFORMAT format);
    void begin(uint32_t index);
    void end();

    uint32_t getWidth() const { return width; }
    uint32_t getHeight() const { return height; }
    D3DFORMAT getFormat() const { return format; }
    bool isActive() const { return active; }

private:
    uint32_t width = 0;
    uint32_t height = 0;
    bool active = false;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    IDirect3DSurface9* surface = nullptr;           // level 0 of the texture
    IDirect3DSurface9* depthSurface = nullptr;      // its own depth-stencil surface
    IDirect3DSurface9* savedSurface = nullptr;      // the device's target at index, saved by begin
    IDirect3DSurface9* savedDepthSurface = nullptr; // the device's depth surface (index 0)
    uint32_t index = 0;
    IDirect3DTexture9* texture = nullptr;
};

} // namespace velmo
