// Textures: colour textures with a mip chain, and render-target textures.
#pragma once

#include <vector>

#include <d3d9.h>
#include <epoxy/gl.h>

#include "d3d9/ref_counted.h"
#include "d3d9/resource.h"

namespace port::d3d9 {

class Surface;

class Texture final : public RefCounted<IDirect3DTexture9>, public DeviceChild {
public:
    // Checks the arguments as Direct3D does; the texture starts with one reference.
    static HRESULT create(Device* device, UINT width, UINT height, UINT levels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, Texture** texture);

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;

    void detach() override;

    GLuint glName() const { return glTexture; }
    UINT levelCount() const { return static_cast<UINT>(levels.size()); }
    Surface* level(UINT index) const { return levels[index]; }
    // Replaces (or reads) a level's pixels, rows packed top row first, in the texture's format.
    HRESULT writeLevel(UINT level, const void* pixels);
    HRESULT readLevel(UINT level, std::vector<unsigned char>& pixels);

private:
    explicit Texture(Device* device) : DeviceChild(device) {}
    ~Texture() override;

    GLuint glTexture = 0;
    std::vector<Surface*> levels;
};

} // namespace port::d3d9
