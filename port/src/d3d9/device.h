// The Direct3D 9 device on an OpenGL 3.3 core context.
//
// The back buffer is an offscreen colour + depth-stencil target. Every surface is stored top
// row first, and the GL clip-space origin is set to the upper left with a 0..1 depth range,
// so Direct3D viewports, scissors and depth values map onto GL unchanged; Present flips the
// back buffer once, scaling it to the window's drawable.
#pragma once

#include <array>

#include <d3d9.h>
#include <epoxy/gl.h>

#include "win32/window_table.h"

namespace port::d3d9 {

class Device final : public IDirect3DDevice9 {
public:
    // Creates the GL context on the window; null when that is impossible.
    static Device* create(HWND window, DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& pp);

    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const void* dirtyRegion) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;

    unsigned presentCount() const { return presents; }
    DWORD behaviorFlags() const { return flags; }
    const D3DPRESENT_PARAMETERS& presentParameters() const { return params; }

private:
    Device() = default;
    ~Device() override;
    bool makeCurrent();
    void applyViewport();

    ULONG references = 1;
    HWND hwnd = nullptr;
    win32::SdlWindowPtr window;
    SDL_GLContext context = nullptr;
    DWORD flags = 0;
    D3DPRESENT_PARAMETERS params = {};

    GLuint backBufferFbo = 0;
    GLuint backBufferColor = 0;
    GLuint backBufferDepth = 0;

    D3DVIEWPORT9 viewport = {};
    std::array<DWORD, 256> renderStates = {};
    bool inScene = false;
    unsigned presents = 0;
};

} // namespace port::d3d9
