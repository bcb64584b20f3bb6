#include "engine/resources/render_target.h"

#include <utility>

#include "engine/platform/engine.h"
#include "engine/platform/log.h"
#include "engine/resources/device_state.h"

namespace velmo {

namespace {

IDirect3DDevice9* device() {
    return Device::instance()->state->device;
}

void release(IDirect3DSurface9*& surface) {
    if (surface != nullptr) {
        std::exchange(surface, nullptr)->Release();
    }
}

} // namespace

RenderTarget::~RenderTarget() {
    release(savedSurface);
    release(savedDepthSurface);
    release(surface);
    release(depthSurface);
    if (texture != nullptr) {
        std::exchange(texture, nullptr)->Release();
    }
}

void RenderTarget::create(uint32_t w, uint32_t h, D3DFORMAT f) {
    if (texture != nullptr || surface != nullptr) {
        fatalError(fatal::kRenderTargetCreatedTwice);
        return;
    }
    width = w;
    height = h;
    format = f;
    IDirect3DDevice9* d = device();
    if (d == nullptr) {
        return;
    }
    HRESULT hr = d->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT,
                                  &texture, nullptr);
    if (FAILED(hr)) {
        lookUp(hr);
        return;
    }
    texture->GetSurfaceLevel(0, &surface);
    if (depthSurface == nullptr) {
        lookUp(d->CreateDepthStencilSurface(width, height, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0,
                                            TRUE, &depthSurface, nullptr));
    }
}

void RenderTarget::begin(uint32_t i) {
    if (surface == nullptr) {
        fatalError(fatal::kRenderTargetBegunBeforeCreated);
        return;
    }
    if (active) {
        fatalError(fatal::kRenderTargetBegunWhileActive);
    }
    active = true;
    index = i;
    IDirect3DDevice9* d = device();
    // The device adds a reference to what it hands back; a begin while active drops the
    // references it saved before.
    release(savedSurface);
    d->GetRenderTarget(index, &savedSurface);
    d->SetRenderTarget(index, surface);
    if (index == 0) {
        if (depthSurface != nullptr) {
            release(savedDepthSurface);
            d->GetDepthStencilSurface(&savedDepthSurface);
            d->SetDepthStencilSurface(depthSurface);
        }
        const D3DVIEWPORT9 vp = {0, 0, width, height, 0.0f, 10.0f};
        Engine::instance()->window->viewportStack.push_back(vp);
        d->SetViewport(&vp);
    }
}

void RenderTarget::end() {
    if (!active) {
        fatalError(fatal::kRenderTargetEndedWhileInactive);
        return;
    }
    active = false;
    IDirect3DDevice9* d = device();
    d->SetRenderTarget(index, savedSurface);
    release(savedSurface);
    if (index == 0) {
        if (depthSurface != nullptr) {
            d->SetDepthStencilSurface(savedDepthSurface);
            release(savedDepthSurface);
        }
        Engine::instance()->window->popViewport();
    }
}

} // namespace velmo
