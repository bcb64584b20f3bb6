// Surfaces: texture levels, the back buffer, depth-stencil buffers and system-memory copies.
#pragma once

#include <array>
#include <vector>

#include <d3d9.h>
#include <epoxy/gl.h>

#include "d3d9/resource.h"

namespace port::d3d9 {

class Texture;

// The description of a surface without multisampling.
D3DSURFACE_DESC surfaceDesc(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool);

class Surface final : public IDirect3DSurface9, public DeviceChild {
public:
    enum class Kind { TextureLevel, BackBuffer, DepthStencil, SystemMemory };

    // Each returns a surface with one reference, or null when GL cannot make it.
    static Surface* createBackBuffer(Device* device, UINT width, UINT height, D3DFORMAT format);
    static Surface* createDepthStencil(Device* device, UINT width, UINT height);
    static Surface* createSystemMemory(Device* device, UINT width, UINT height, D3DFORMAT format);
    // A level of a texture: it shares the texture's reference count and GL texture.
    Surface(Device* device, Texture* container, UINT level, const D3DSURFACE_DESC& desc);
    ~Surface() override;

    ULONG AddRef() override;
    ULONG Release() override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    void detach() override;

    Kind kind() const { return surfaceKind; }
    const D3DSURFACE_DESC& desc() const { return description; }
    bool isRenderTarget() const { return (description.Usage & D3DUSAGE_RENDERTARGET) != 0; }
    bool isDepthStencil() const { return surfaceKind == Kind::DepthStencil; }
    // Attaches the surface to the bound GL framebuffer: colour surfaces at the attachment
    // given, depth-stencil surfaces at the depth-stencil attachment.
    void attachTo(GLenum colorAttachment) const;
    // A depth-stencil surface gets its GL storage when it is first attached: most are made
    // for targets that are only ever drawn without depth.
    bool hasStorage() const { return glRenderbuffer != 0; }
    void makeStorage();
    // The bytes of a system-memory surface, rows packed top row first.
    unsigned char* pixels() { return memory.data(); }

    // A clear of the whole surface that the device has not sent to GL yet: it is sent where
    // the surface is next drawn into, sampled or read, and dropped when another whole-surface
    // clear comes first. Colour values are for a colour surface, depth and stencil for a
    // depth-stencil surface.
    struct PendingClear {
        bool color = false;
        std::array<GLfloat, 4> rgba = {};
        bool depth = false;
        GLfloat z = 1.0f;
        bool stencil = false;
        GLint stencilValue = 0;
        bool any() const { return color || depth || stencil; }
    };
    PendingClear pendingClear;

private:
    Surface(Device* device, Kind kind, const D3DSURFACE_DESC& desc);
    void deleteGlObjects();

    Kind surfaceKind;
    D3DSURFACE_DESC description;
    ULONG references = 1;
    Texture* container = nullptr;
    UINT level = 0;
    GLuint glTexture = 0;      // back buffer
    GLuint glRenderbuffer = 0; // depth-stencil
    std::vector<unsigned char> memory;
    bool locked = false;
};

} // namespace port::d3d9
