// The Direct3D 9 device on an OpenGL 3.3 core context.
//
// The back buffer is an offscreen colour + depth-stencil target. Every surface is stored top
// row first, and the GL clip-space origin is set to the upper left with a 0..1 depth range,
// so Direct3D viewports, scissors and depth values map onto GL unchanged; Present flips the
// back buffer once, scaling it to the window's drawable.
//
// Render targets 0 to 3 and the depth-stencil surface are drawn through one cached GL
// framebuffer per combination of bound surfaces. Every object the device makes registers with
// it; releasing the device frees their GL objects, even for objects the program still holds.
#pragma once

#include <array>
#include <set>
#include <source_location>
#include <string>

#include <d3d9.h>
#include <epoxy/gl.h>
#include <port_testing.h>

#include "d3d9/framebuffer_cache.h"
#include "d3d9/pipeline.h"
#include "d3d9/ref_counted.h"
#include "win32/window_table.h"

namespace port::d3d9 {

class DeviceChild;
class Surface;
class Texture;
class VertexBuffer;
class IndexBuffer;

class Device final : public RefCounted<IDirect3DDevice9> {
public:
    // Creates the GL context on the window; null when that is impossible, with why in
    // failure, in words for the user (what the graphics system lacks).
    static Device* create(HWND window, DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& pp,
                          std::string& failure);

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

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE multiSample, DWORD quality, BOOL discard,
                                      IDirect3DSurface9** surface, HANDLE* shared) override;
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, HANDLE* shared) override;
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;
    HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget,
                                IDirect3DSurface9* destSurface) override;

    // Drawing state (device_draw.cpp).
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;

    // Buffers and the vertex input (device_buffers.cpp).
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** buffer, HANDLE* shared) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE* shared) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                            UINT stride) override;
    HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                            UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* indices) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** indices) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;

    // Draw calls (device_draw.cpp): they read the vertex input above and apply the drawing
    // state before each draw.
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                 UINT numVertices, UINT startIndex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                            UINT vertexStride) override;

    // Makes the device's GL context current; false once it is gone. Every port call that
    // touches GL starts here, which is where test builds note the call for their GL check.
    bool makeCurrent(const std::source_location& call = std::source_location::current());
    // Binds the framebuffer of the bound render targets for drawing, and sends there the
    // clears waiting on them. The bound depth surface is attached once something needs it
    // (`depthNeeded`: a draw with depth or stencil test, a clear of depth or stencil), and
    // from then on always, so that depth surfaces of targets only ever drawn without depth
    // get no storage and no clears, and the framebuffer of a pass does not change between
    // its draws.
    void bindRenderTargets(bool depthNeeded);
    // Sends the clear waiting on a surface, if any, in a framebuffer of its own; before the
    // surface is read or sampled.
    void sendClear(Surface* surface);
    // Bookkeeping of the objects made through the device.
    void adopt(DeviceChild* child) { children.insert(child); }
    void forget(DeviceChild* child) { children.erase(child); }
    void forgetSurface(const Surface* surface);

    unsigned presentCount() const { return presents; }
    port::testing::DrawStats drawStats() const;
    DWORD behaviorFlags() const { return flags; }
    const D3DPRESENT_PARAMETERS& presentParameters() const { return params; }

private:
    Device() = default;
    ~Device() override;
    void applyViewport();
    // Whether a clear of the viewport covers every surface of the bound framebuffer, all of
    // one size, so that it can wait for the surfaces' next use.
    bool clearCoversTargets() const;
    // Sends the clears waiting on the surfaces of the bound framebuffer into it; `depth` is
    // the depth surface attached there, if any.
    void sendBoundClears(Surface* depth);
    // Sends a surface's waiting clear into the bound framebuffer, where it is attached at
    // colour index `index` (a depth-stencil surface at the depth-stencil attachment).
    void sendClear(Surface& surface, GLint index);
    // Whether a surface given by the program was made by this device, and is of a kind.
    Surface* ownSurface(IDirect3DSurface9* surface) const;

    HWND hwnd = nullptr;
    win32::SdlWindowPtr window;
    SDL_GLContext context = nullptr;
    DWORD flags = 0;
    D3DPRESENT_PARAMETERS params = {};

    std::set<DeviceChild*> children;
    Surface* backBuffer = nullptr;
    Surface* autoDepthStencil = nullptr;
    // Bound surfaces, each holding a reference.
    std::array<Surface*, 4> renderTargets = {};
    Surface* depthStencil = nullptr;
    FramebufferCache framebuffers;

    // The vertex input, each bound buffer holding a reference (device_buffers.cpp).
    VertexBuffer* streamSource = nullptr;
    UINT streamOffset = 0;
    UINT streamStride = 0;
    IndexBuffer* indexBuffer = nullptr;
    DWORD vertexFormat = 0;

    D3DVIEWPORT9 viewport = {};
    RenderStates renderStates = {};
    bool inScene = false;
    unsigned presents = 0;

    // ---- Drawing state (device_draw.cpp, pipeline.cpp) ----
public:
    // How the effects bind their programs: the only part of the device's GL state they see.
    ProgramBinding& programBinding() { return pipeline.programBinding(); }
    // The GL state the device last sent: the device's own objects that bind or delete GL
    // objects keep it true through this.
    GlState& glState() { return pipeline.glState(); }
    unsigned samplerParameterCalls() const { return pipeline.samplerParameterCalls(); }
    unsigned renderStateGroupsSent() const { return pipeline.renderStateGroupsSent(); }

private:
    // Binds the targets and applies the drawing state for a draw from `buffer`; false when
    // there is nothing to draw with.
    bool prepareDraw(GLuint buffer, GLintptr offset, UINT stride);
    // Counts a draw of `triangles` into the bound targets.
    void countDraw(uint64_t triangles);
    // Whether the `indices` indices from `startIndex` of the bound index buffer, each added
    // to the base vertex, name vertices that the call gives (`numVertices` from
    // `minVertexIndex`) and the bound stream holds, as Direct3D's debug runtime checks. Only
    // the check builds check; the refusal is reported.
    bool indicesInRange(INT baseVertexIndex, UINT minVertexIndex, UINT numVertices, UINT startIndex,
                        UINT indices) const;

    port::testing::DrawStats stats; // framebuffer changes are counted by the GL state

    // Textures (holding references), sampler and stage states, transforms and the GL objects
    // of drawing. Declared last: it lets go of its textures after the device's body has run.
    Pipeline pipeline;
};

} // namespace port::d3d9
