// The device's resources: textures and surfaces, render-target and depth-stencil binding,
// and reading render targets back into system memory.
#include <algorithm>
#include <utility>

#include "d3d9/device.h"
#include "d3d9/formats.h"
#include "d3d9/surface.h"
#include "d3d9/texture.h"

namespace port::d3d9 {

namespace {

// Swaps a bound surface for another, moving the device's reference.
void rebind(Surface*& slot, Surface* surface) {
    if (surface != nullptr) {
        surface->AddRef();
    }
    if (Surface* old = std::exchange(slot, surface)) {
        old->Release();
    }
}

} // namespace

Surface* Device::ownSurface(IDirect3DSurface9* surface) const {
    // Every surface the program can hold was made by some port device.
    auto* s = static_cast<Surface*>(surface);
    return s != nullptr && s->device() == this ? s : nullptr;
}

void Device::forgetSurface(const Surface* surface) {
    if (makeCurrent()) {
        framebuffers.forget(surface);
        glState().forgetFramebuffer();
    }
}

void Device::bindRenderTargets(bool depthNeeded) {
    Attachments bound;
    for (size_t i = 0; i < renderTargets.size(); ++i) {
        bound.colors[i] = renderTargets[i];
    }
    Surface* depth = nullptr;
    if (depthStencil != nullptr && (depthNeeded || depthStencil->hasStorage())) {
        depth = depthStencil;
        depth->makeStorage();
    }
    bound.depth = depth;
    glState().bindDrawFramebuffer(framebuffers.get(bound));
    sendBoundClears(depth);
}

bool Device::clearCoversTargets() const {
    if (viewport.X != 0 || viewport.Y != 0) {
        return false;
    }
    const D3DSURFACE_DESC& size = renderTargets[0]->desc();
    const auto fits = [&](const Surface* s) {
        return s == nullptr || (s->desc().Width == size.Width && s->desc().Height == size.Height);
    };
    return viewport.Width >= size.Width && viewport.Height >= size.Height &&
           std::all_of(renderTargets.begin(), renderTargets.end(), fits) && fits(depthStencil);
}

void Device::sendBoundClears(Surface* depth) {
    // A framebuffer of surfaces of several sizes covers only their common part: each surface
    // then gets its whole clear in a framebuffer of its own, and this one is bound again.
    bool mixed = false;
    bool waiting = false;
    for (const Surface* s : renderTargets) {
        waiting = waiting || (s != nullptr && s->pendingClear.any());
    }
    // A depth surface left out of the framebuffer keeps its clear for its first use.
    waiting = waiting || (depth != nullptr && depth->pendingClear.any());
    if (!waiting) {
        return;
    }
    const D3DSURFACE_DESC& size = renderTargets[0]->desc();
    for (const Surface* s : renderTargets) {
        mixed = mixed || (s != nullptr &&
                          (s->desc().Width != size.Width || s->desc().Height != size.Height));
    }
    mixed = mixed || (depth != nullptr &&
                      (depth->desc().Width != size.Width || depth->desc().Height != size.Height));
    if (mixed) {
        for (Surface* s : renderTargets) {
            sendClear(s);
        }
        sendClear(depth);
        bindRenderTargets(depth != nullptr);
        return;
    }
    for (size_t i = 0; i < renderTargets.size(); ++i) {
        if (renderTargets[i] != nullptr) {
            sendClear(*renderTargets[i], static_cast<GLint>(i));
        }
    }
    if (depth != nullptr) {
        sendClear(*depth, 0);
    }
}

void Device::sendClear(Surface* surface) {
    if (surface == nullptr || !surface->pendingClear.any()) {
        return;
    }
    Attachments alone;
    if (surface->isDepthStencil()) {
        surface->makeStorage();
        alone.depth = surface;
    } else {
        alone.colors[0] = surface;
    }
    glState().bindDrawFramebuffer(framebuffers.get(alone));
    sendClear(*surface, 0);
}

void Device::sendClear(Surface& surface, GLint index) {
    Surface::PendingClear& clear = surface.pendingClear;
    if (!clear.any()) {
        return;
    }
    const uint64_t pixels = uint64_t(surface.desc().Width) * surface.desc().Height;
    pipeline.openWriteMasks(renderStates, clear.color, clear.depth, clear.stencil);
    if (clear.color) {
        glClearBufferfv(GL_COLOR, index, clear.rgba.data());
    }
    if (clear.depth && clear.stencil) {
        glClearBufferfi(GL_DEPTH_STENCIL, 0, clear.z, clear.stencilValue);
    } else if (clear.depth) {
        glClearBufferfv(GL_DEPTH, 0, &clear.z);
    } else if (clear.stencil) {
        glClearBufferiv(GL_STENCIL, 0, &clear.stencilValue);
    }
    stats.clearedPixels += pixels;
    clear = {};
}

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared) {
    if (texture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *texture = nullptr;
    if (shared != nullptr || !makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    Texture* created = nullptr;
    const HRESULT hr = Texture::create(this, width, height, levels, usage, format, pool, &created);
    *texture = created;
    return hr;
}

HRESULT Device::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                          D3DMULTISAMPLE_TYPE multiSample, DWORD quality, BOOL,
                                          IDirect3DSurface9** surface, HANDLE* shared) {
    if (surface == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *surface = nullptr;
    if (format != D3DFMT_D24S8 || multiSample != D3DMULTISAMPLE_NONE || quality != 0 ||
        width == 0 || height == 0 || shared != nullptr || !makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    *surface = Surface::createDepthStencil(this, width, height);
    return D3D_OK;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** surface, HANDLE* shared) {
    if (surface == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *surface = nullptr;
    if (pool != D3DPOOL_SYSTEMMEM || width == 0 || height == 0 || shared != nullptr ||
        colorFormat(format) == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *surface = Surface::createSystemMemory(this, width, height, format);
    return D3D_OK;
}

HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
    if (index >= renderTargets.size() || !makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    Surface* s = ownSurface(surface);
    if (surface != nullptr && (s == nullptr || !s->isRenderTarget())) {
        return D3DERR_INVALIDCALL;
    }
    if (s == nullptr && index == 0) {
        return D3DERR_INVALIDCALL;
    }
    rebind(renderTargets[index], s);
    if (index == 0) {
        // As in Direct3D, a new main target gets a viewport covering all of it.
        viewport = {0, 0, s->desc().Width, s->desc().Height, 0.0f, 1.0f};
        applyViewport();
    }
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
    if (surface == nullptr || index >= renderTargets.size()) {
        return D3DERR_INVALIDCALL;
    }
    *surface = renderTargets[index];
    if (*surface == nullptr) {
        return D3DERR_NOTFOUND;
    }
    (*surface)->AddRef();
    return D3D_OK;
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9* surface) {
    Surface* s = ownSurface(surface);
    if (surface != nullptr && (s == nullptr || !s->isDepthStencil())) {
        return D3DERR_INVALIDCALL;
    }
    rebind(depthStencil, s);
    return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9** surface) {
    if (surface == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *surface = depthStencil;
    if (*surface == nullptr) {
        return D3DERR_NOTFOUND;
    }
    (*surface)->AddRef();
    return D3D_OK;
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9* renderTarget,
                                    IDirect3DSurface9* destSurface) {
    Surface* source = ownSurface(renderTarget);
    Surface* dest = ownSurface(destSurface);
    if (source == nullptr || dest == nullptr || !source->isRenderTarget() ||
        dest->kind() != Surface::Kind::SystemMemory || source->desc().Width != dest->desc().Width ||
        source->desc().Height != dest->desc().Height ||
        source->desc().Format != dest->desc().Format || !makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    sendClear(source);
    const ColorFormat* cf = colorFormat(source->desc().Format);
    Attachments read;
    read.colors[0] = source;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffers.get(read));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    // Surfaces are stored top row first, so GL's first row is the picture's top row.
    glReadPixels(0, 0, static_cast<GLsizei>(source->desc().Width),
                 static_cast<GLsizei>(source->desc().Height), cf->format, cf->type, dest->pixels());
    return D3D_OK;
}

} // namespace port::d3d9
