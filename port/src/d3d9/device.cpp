#include "d3d9/device.h"

#include <algorithm>
#include <string>
#include <utility>

#include <port_testing.h>

#include "d3d9/buffers.h"
#include "d3d9/gl_check.h"
#include "d3d9/surface.h"
#include "win32/heap.h"

#include "trace.h"

namespace port::d3d9 {

namespace {

// Direct3D's render-state defaults for a device with an automatic depth buffer.
void setDefaultRenderStates(RenderStates& rs, bool depthBuffer) {
    rs.fill(0);
    rs[D3DRS_ZENABLE] = depthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = 0xFFFFFFFF;
    rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_POINTSIZE] = 0x3F800000; // 1.0f
    rs[D3DRS_COLORWRITEENABLE] = 0xF;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
    rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
}

// What the device needs, and what the system offers instead, for a context that could not
// be had: the version and renderer of the context the system makes when asked for none in
// particular.
std::string glVersionFailure(SDL_Window* window) {
    const std::string needed = "OpenGL 3.3 (core profile) is needed; ";
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context == nullptr) {
        return needed + "the system offers no OpenGL (" + SDL_GetError() + ")";
    }
    const auto text = [](GLenum name) {
        const auto* s = reinterpret_cast<const char*>(glGetString(name));
        return std::string(s != nullptr ? s : "unknown");
    };
    const std::string offered =
        "the system offers OpenGL " + text(GL_VERSION) + " on " + text(GL_RENDERER);
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(context);
    return needed + offered;
}

} // namespace

Device* Device::create(HWND hwnd, DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& pp,
                       std::string& failure) {
    failure.clear();
    win32::WindowRecord* record = win32::findWindow(hwnd);
    if (record == nullptr || !record->sdl) {
        failure = "the device window is not a window on the display";
        return nullptr;
    }
    // The GL driver's blocks freed by one draw serve the next (win32/heap.cpp).
    win32::keepFreedMemory();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GLContext context = SDL_GL_CreateContext(record->sdl.get());
    if (context != nullptr && epoxy_gl_version() < 33) {
        SDL_GL_MakeCurrent(record->sdl.get(), nullptr);
        SDL_GL_DeleteContext(context);
        context = nullptr;
    }
    if (context == nullptr) {
        failure = glVersionFailure(record->sdl.get());
        return nullptr;
    }
    installGlCheck();
    enterGlCall(std::source_location::current());

    auto* device = new Device;
    device->hwnd = hwnd;
    device->window = record->sdl;
    device->context = context;
    device->flags = behaviorFlags;
    device->params = pp;
    if (device->params.BackBufferWidth == 0 || device->params.BackBufferHeight == 0) {
        int w = 0, h = 0;
        SDL_GetWindowSize(record->sdl.get(), &w, &h);
        device->params.BackBufferWidth = static_cast<UINT>(w);
        device->params.BackBufferHeight = static_cast<UINT>(h);
    }
    if (device->params.BackBufferFormat == D3DFMT_UNKNOWN) {
        device->params.BackBufferFormat = D3DFMT_X8R8G8B8;
    }
    SDL_GL_SetSwapInterval(pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);

    const UINT w = device->params.BackBufferWidth;
    const UINT h = device->params.BackBufferHeight;
    device->backBuffer = Surface::createBackBuffer(device, w, h, device->params.BackBufferFormat);
    if (pp.EnableAutoDepthStencil) {
        device->autoDepthStencil = Surface::createDepthStencil(device, w, h);
    }
    if (device->backBuffer == nullptr) {
        failure = "the back buffer could not be made";
        device->Release();
        return nullptr;
    }
    device->renderTargets[0] = device->backBuffer;
    device->backBuffer->AddRef();
    if (device->autoDepthStencil != nullptr) {
        device->depthStencil = device->autoDepthStencil;
        device->depthStencil->AddRef();
    }
    device->bindRenderTargets(false);
    if (glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        failure = "the back buffer cannot be drawn to";
        device->Release();
        return nullptr;
    }
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);

    setDefaultRenderStates(device->renderStates, pp.EnableAutoDepthStencil != FALSE);
    device->viewport = {0,    0,   device->params.BackBufferWidth, device->params.BackBufferHeight,
                        0.0f, 1.0f};
    device->applyViewport();
    return device;
}

Device::~Device() {
    if (makeCurrent()) {
        // Unbinding may free surfaces nothing else holds; then the device's own surfaces go,
        // and whatever the program still references loses its GL objects but stays valid.
        for (Surface*& target : renderTargets) {
            if (target != nullptr) {
                std::exchange(target, nullptr)->Release();
            }
        }
        if (depthStencil != nullptr) {
            std::exchange(depthStencil, nullptr)->Release();
        }
        if (streamSource != nullptr) {
            std::exchange(streamSource, nullptr)->Release();
        }
        if (indexBuffer != nullptr) {
            std::exchange(indexBuffer, nullptr)->Release();
        }
        if (backBuffer != nullptr) {
            std::exchange(backBuffer, nullptr)->Release();
        }
        if (autoDepthStencil != nullptr) {
            std::exchange(autoDepthStencil, nullptr)->Release();
        }
        for (DeviceChild* child : std::set<DeviceChild*>(children)) {
            child->detach();
        }
        children.clear();
        framebuffers.clear();
    }
    if (context != nullptr) {
        SDL_GL_MakeCurrent(window.get(), nullptr);
        SDL_GL_DeleteContext(context);
    }
}

bool Device::makeCurrent(const std::source_location& call) {
    if (context == nullptr) {
        return false;
    }
    enterGlCall(call);
    if (SDL_GL_GetCurrentContext() != context) {
        return SDL_GL_MakeCurrent(window.get(), context) == 0;
    }
    return true;
}

void Device::applyViewport() {
    glState().viewport(static_cast<GLint>(viewport.X), static_cast<GLint>(viewport.Y),
                       static_cast<GLsizei>(viewport.Width), static_cast<GLsizei>(viewport.Height),
                       std::clamp(viewport.MinZ, 0.0f, 1.0f),
                       std::clamp(viewport.MaxZ, 0.0f, 1.0f));
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* vp) {
    if (vp == nullptr || !makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    viewport = *vp;
    applyViewport();
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* vp) {
    if (vp == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *vp = viewport;
    return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD clearFlags, D3DCOLOR color, float z,
                      DWORD stencil) {
    if ((count != 0 && rects == nullptr) || !makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    // Depth and stencil exist only where a depth surface is bound.
    if (depthStencil == nullptr) {
        clearFlags &= ~DWORD(D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL);
    }
    // A clear of whole surfaces waits for their next use, so that it is sent in the
    // framebuffer that draws into them, or not at all when another clear comes first.
    if (count == 0 && clearCoversTargets()) {
        if (clearFlags & D3DCLEAR_TARGET) {
            for (Surface* target : renderTargets) {
                if (target != nullptr) {
                    target->pendingClear.color = true;
                    target->pendingClear.rgba = {
                        ((color >> 16) & 0xff) / 255.0f, ((color >> 8) & 0xff) / 255.0f,
                        (color & 0xff) / 255.0f, ((color >> 24) & 0xff) / 255.0f};
                }
            }
        }
        if (clearFlags & D3DCLEAR_ZBUFFER) {
            depthStencil->pendingClear.depth = true;
            depthStencil->pendingClear.z = std::clamp(z, 0.0f, 1.0f);
        }
        if (clearFlags & D3DCLEAR_STENCIL) {
            depthStencil->pendingClear.stencil = true;
            depthStencil->pendingClear.stencilValue = static_cast<GLint>(stencil & 0xff);
        }
        return D3D_OK;
    }
    bindRenderTargets((clearFlags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0);
    glEnable(GL_SCISSOR_TEST);
    GLbitfield mask = 0;
    if (clearFlags & D3DCLEAR_TARGET) {
        glClearColor(((color >> 16) & 0xff) / 255.0f, ((color >> 8) & 0xff) / 255.0f,
                     (color & 0xff) / 255.0f, ((color >> 24) & 0xff) / 255.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (clearFlags & D3DCLEAR_ZBUFFER) {
        glClearDepth(std::clamp(z, 0.0f, 1.0f));
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (clearFlags & D3DCLEAR_STENCIL) {
        glClearStencil(static_cast<GLint>(stencil & 0xff));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    pipeline.openWriteMasks(renderStates, (mask & GL_COLOR_BUFFER_BIT) != 0,
                            (mask & GL_DEPTH_BUFFER_BIT) != 0, (mask & GL_STENCIL_BUFFER_BIT) != 0);
    uint64_t surfaces = (mask & (GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT)) != 0 ? 1 : 0;
    if (mask & GL_COLOR_BUFFER_BIT) {
        for (const Surface* target : renderTargets) {
            surfaces += target != nullptr ? 1 : 0;
        }
    }
    // A clear covers the viewport, or the given rectangles inside it.
    const auto clearRect = [&](LONG x1, LONG y1, LONG x2, LONG y2) {
        const LONG vx1 = static_cast<LONG>(viewport.X), vy1 = static_cast<LONG>(viewport.Y);
        const LONG vx2 = vx1 + static_cast<LONG>(viewport.Width);
        const LONG vy2 = vy1 + static_cast<LONG>(viewport.Height);
        x1 = std::max(x1, vx1), y1 = std::max(y1, vy1), x2 = std::min(x2, vx2),
        y2 = std::min(y2, vy2);
        if (x2 > x1 && y2 > y1) {
            glScissor(x1, y1, x2 - x1, y2 - y1);
            glClear(mask);
            stats.clearedPixels += uint64_t(x2 - x1) * uint64_t(y2 - y1) * surfaces;
        }
    };
    if (count == 0) {
        clearRect(0, 0, INT32_MAX, INT32_MAX);
    } else {
        for (DWORD i = 0; i < count; ++i) {
            clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
        }
    }
    glDisable(GL_SCISSOR_TEST);
    return D3D_OK;
}

HRESULT Device::BeginScene() {
    if (inScene) {
        return D3DERR_INVALIDCALL;
    }
    inScene = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!inScene) {
        return D3DERR_INVALIDCALL;
    }
    inScene = false;
    return D3D_OK;
}

HRESULT Device::Present(const RECT*, const RECT*, HWND, const void*) {
    // The window may have been closed while the frame was drawn: nothing to show it on.
    if (win32::findWindow(hwnd) == nullptr) {
        return D3DERR_DEVICELOST;
    }
    if (!makeCurrent()) {
        return D3DERR_DEVICELOST;
    }
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(window.get(), &dw, &dh);
    sendClear(backBuffer);
    Attachments source;
    source.colors[0] = backBuffer;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffers.get(source));
    glState().bindDrawFramebuffer(0);
    glDisable(GL_SCISSOR_TEST);
    pipeline.openWriteMasks(renderStates, true, false, false);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    stats.clearedPixels += uint64_t(std::max(dw, 0)) * uint64_t(std::max(dh, 0));
    glBlitFramebuffer(0, 0, static_cast<GLint>(params.BackBufferWidth),
                      static_cast<GLint>(params.BackBufferHeight), 0, dh, dw, 0,
                      GL_COLOR_BUFFER_BIT, GL_LINEAR);
    SDL_GL_SwapWindow(window.get());
    ++presents;
    port::trace("present %u", presents);
    return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (state >= renderStates.size()) {
        return D3DERR_INVALIDCALL;
    }
    if (renderStates[state] != value) {
        renderStates[state] = value;
        pipeline.renderStateChanged(state);
    }
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (state >= renderStates.size() || value == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *value = renderStates[state];
    return D3D_OK;
}

} // namespace port::d3d9

unsigned port::testing::presentCount(IDirect3DDevice9* device) {
    return static_cast<port::d3d9::Device*>(device)->presentCount();
}

DWORD port::testing::deviceBehaviorFlags(IDirect3DDevice9* device) {
    return static_cast<port::d3d9::Device*>(device)->behaviorFlags();
}

port::testing::DrawStats port::d3d9::Device::drawStats() const {
    port::testing::DrawStats counted = stats;
    counted.framebufferChanges = pipeline.glState().framebufferChanges();
    return counted;
}

port::testing::DrawStats port::testing::drawStats(IDirect3DDevice9* device) {
    return static_cast<port::d3d9::Device*>(device)->drawStats();
}

unsigned port::testing::samplerParameterCalls(IDirect3DDevice9* device) {
    return static_cast<port::d3d9::Device*>(device)->samplerParameterCalls();
}

unsigned port::testing::renderStateGroupsSent(IDirect3DDevice9* device) {
    return static_cast<port::d3d9::Device*>(device)->renderStateGroupsSent();
}

D3DPRESENT_PARAMETERS port::testing::devicePresentParameters(IDirect3DDevice9* device) {
    return static_cast<port::d3d9::Device*>(device)->presentParameters();
}
