#include "d3d9/surface.h"

#include "d3d9/device.h"
#include "d3d9/formats.h"
#include "d3d9/texture.h"

namespace port::d3d9 {

DeviceChild::DeviceChild(Device* device) : owner(device) {
    owner->adopt(this);
}

DeviceChild::~DeviceChild() {
    if (owner != nullptr) {
        owner->forget(this);
    }
}

D3DSURFACE_DESC surfaceDesc(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool) {
    D3DSURFACE_DESC d = {};
    d.Format = format;
    d.Type = D3DRTYPE_SURFACE;
    d.Usage = usage;
    d.Pool = pool;
    d.MultiSampleType = D3DMULTISAMPLE_NONE;
    d.Width = width;
    d.Height = height;
    return d;
}

Surface::Surface(Device* device, Kind kind, const D3DSURFACE_DESC& desc)
    : DeviceChild(device), surfaceKind(kind), description(desc) {}

Surface::Surface(Device* device, Texture* texture, UINT textureLevel, const D3DSURFACE_DESC& desc)
    : DeviceChild(device), surfaceKind(Kind::TextureLevel), description(desc), container(texture),
      level(textureLevel) {}

Surface* Surface::createBackBuffer(Device* device, UINT width, UINT height, D3DFORMAT format) {
    const ColorFormat* cf = colorFormat(format);
    if (cf == nullptr) {
        return nullptr;
    }
    auto* s =
        new Surface(device, Kind::BackBuffer,
                    surfaceDesc(width, height, format, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT));
    const ScopedTextureBinding keep;
    glGenTextures(1, &s->glTexture);
    glBindTexture(GL_TEXTURE_2D, s->glTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(cf->internalFormat),
                 static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0, cf->format, cf->type,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return s;
}

Surface* Surface::createDepthStencil(Device* device, UINT width, UINT height) {
    return new Surface(
        device, Kind::DepthStencil,
        surfaceDesc(width, height, D3DFMT_D24S8, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT));
}

void Surface::makeStorage() {
    if (surfaceKind != Kind::DepthStencil || glRenderbuffer != 0) {
        return;
    }
    glGenRenderbuffers(1, &glRenderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, glRenderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8,
                          static_cast<GLsizei>(description.Width),
                          static_cast<GLsizei>(description.Height));
}

Surface* Surface::createSystemMemory(Device* device, UINT width, UINT height, D3DFORMAT format) {
    const ColorFormat* cf = colorFormat(format);
    if (cf == nullptr) {
        return nullptr;
    }
    auto* s = new Surface(device, Kind::SystemMemory,
                          surfaceDesc(width, height, format, 0, D3DPOOL_SYSTEMMEM));
    s->memory.assign(size_t(width) * height * cf->bytesPerPixel, 0);
    return s;
}

Surface::~Surface() {
    if (owner != nullptr) {
        owner->forgetSurface(this);
        if (owner->makeCurrent()) {
            owner->glState().forgetTexture(glTexture);
            deleteGlObjects();
        }
    }
}

void Surface::deleteGlObjects() {
    if (glTexture != 0) {
        glDeleteTextures(1, &glTexture);
        glTexture = 0;
    }
    if (glRenderbuffer != 0) {
        glDeleteRenderbuffers(1, &glRenderbuffer);
        glRenderbuffer = 0;
    }
}

void Surface::detach() {
    deleteGlObjects();
    owner = nullptr;
}

ULONG Surface::AddRef() {
    if (container != nullptr) {
        return container->AddRef();
    }
    return ++references;
}

ULONG Surface::Release() {
    if (container != nullptr) {
        return container->Release();
    }
    const ULONG left = --references;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
    if (desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *desc = description;
    return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD) {
    if (lockedRect == nullptr || owner == nullptr || surfaceKind != Kind::SystemMemory || locked) {
        return D3DERR_INVALIDCALL;
    }
    const UINT bpp = colorFormat(description.Format)->bytesPerPixel;
    const INT pitch = static_cast<INT>(description.Width * bpp);
    size_t offset = 0;
    if (rect != nullptr) {
        if (rect->left < 0 || rect->top < 0 || rect->right <= rect->left ||
            rect->bottom <= rect->top || UINT(rect->right) > description.Width ||
            UINT(rect->bottom) > description.Height) {
            return D3DERR_INVALIDCALL;
        }
        offset = size_t(rect->top) * pitch + size_t(rect->left) * bpp;
    }
    lockedRect->Pitch = pitch;
    lockedRect->pBits = memory.data() + offset;
    locked = true;
    return D3D_OK;
}

HRESULT Surface::UnlockRect() {
    if (!locked) {
        return D3DERR_INVALIDCALL;
    }
    locked = false;
    return D3D_OK;
}

void Surface::attachTo(GLenum colorAttachment) const {
    switch (surfaceKind) {
    case Kind::TextureLevel:
        glFramebufferTexture2D(GL_FRAMEBUFFER, colorAttachment, GL_TEXTURE_2D, container->glName(),
                               static_cast<GLint>(level));
        break;
    case Kind::BackBuffer:
        glFramebufferTexture2D(GL_FRAMEBUFFER, colorAttachment, GL_TEXTURE_2D, glTexture, 0);
        break;
    case Kind::DepthStencil:
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                  glRenderbuffer);
        break;
    case Kind::SystemMemory:
        break;
    }
}

} // namespace port::d3d9
