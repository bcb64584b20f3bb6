// The device's drawing state beyond render states (textures, sampler and texture-stage states,
// transforms, the effect pass's program) and how it all reaches GL before a draw.
//
// Draws inside an effect pass use the pass's GLSL program; draws outside any pass use the
// fixed-function emulation (fixed_function.h), a program the port chooses from the
// texture-stage states, the alpha test and the vertex format. A configuration the emulation
// does not cover has no program, and such a draw draws nothing.
#pragma once

#include <array>

#include <d3d9.h>
#include <epoxy/gl.h>

#include "d3d9/fixed_function.h"
#include "d3d9/gl_state.h"
#include "d3d9/program_binding.h"

namespace port::d3d9 {

class Device;

inline constexpr DWORD kTextureStages = 8;
inline constexpr DWORD kSamplerStateCount = D3DSAMP_DMAPOFFSET + 1;
inline constexpr DWORD kTextureStageStateCount = D3DTSS_CONSTANT + 1;

// The device's render states, indexed by D3DRS_*.
inline constexpr DWORD kRenderStateCount = 256;
using RenderStates = std::array<DWORD, kRenderStateCount>;

// Transform slots: view, projection and the texture transforms at their own states' numbers,
// then the world matrices from kFirstWorldSlot.
inline constexpr DWORD kFirstWorldSlot = D3DTS_TEXTURE7 + 1;
inline constexpr DWORD kWorldMatrices = 256;

// Bytes of one vertex of a flexible vertex format.
UINT fvfVertexSize(DWORD fvf);

// The render states that reach GL together, one group each: a draw sends a group only when one
// of its states changed, or GL's state of it was changed past the draw path, since the last
// draw that sent it.
enum RenderStateGroup : uint32_t {
    kBlendStates = 1u << 0,   // blending on or off, its factors and operations
    kDepthStates = 1u << 1,   // the depth test, its function, depth writes
    kRasterStates = 1u << 2,  // culling, colour writes, the fill mode
    kStencilStates = 1u << 3, // the stencil test, its function, operations and write mask
    kAllRenderStates = 15u,
};
// The group of a render state; 0 for one that the draw reads itself (the alpha test, the
// texture factor) or that GL has no state for.
uint32_t renderStateGroup(DWORD state);

class Pipeline {
public:
    Pipeline();
    ~Pipeline(); // lets go of the bound textures; GL objects go with the context
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    // Each answers D3DERR_INVALIDCALL for a stage, sampler or state out of range.
    HRESULT setTexture(DWORD stage, IDirect3DBaseTexture9* texture, const Device* device);
    HRESULT getTexture(DWORD stage, IDirect3DBaseTexture9** texture) const;
    // The texture of a stage (below kTextureStages), without a reference.
    IDirect3DBaseTexture9* texture(DWORD stage) const { return textures[stage]; }
    HRESULT setSamplerState(DWORD sampler, DWORD type, DWORD value);
    HRESULT getSamplerState(DWORD sampler, DWORD type, DWORD* value) const;
    HRESULT setStageState(DWORD stage, DWORD type, DWORD value);
    HRESULT getStageState(DWORD stage, DWORD type, DWORD* value) const;
    HRESULT setTransform(DWORD state, const D3DMATRIX* matrix);
    HRESULT getTransform(DWORD state, D3DMATRIX* matrix) const;

    ProgramBinding& programBinding() { return programs; }

    // A render state took a new value: its group goes to GL with the next draw.
    void renderStateChanged(DWORD state) { dirtyGroups |= renderStateGroup(state); }
    // Opens the GL write masks a clear needs (GL clears through them). A mask that the render
    // states last sent already hold open is left as it is; one that is opened goes back to
    // the render states with the next draw.
    void openWriteMasks(const RenderStates& renderStates, bool color, bool depth, bool stencil);

    // Whether the render and sampler states the next draw sends to GL hold values that GL can
    // follow. Direct3D takes any value of a state and leaves it to the draw; a draw with a
    // value outside the state's enumeration (or one GL has nothing like) is refused, the check
    // builds saying which state once for each state and value, and GL's state stays as it was.
    bool drawable(const RenderStates& renderStates) const;

    // With the device's context current and its targets bound: applies the render states,
    // samplers and textures, binds the program and lays the vertex format `fvf` over
    // `buffer` (bytes from `offset`, `stride` apart), each sent to GL only where it changed
    // since it was last sent. False when the format is not drawable or no program can draw
    // it; nothing is drawn then.
    // The states must be drawable().
    bool prepare(const RenderStates& renderStates, DWORD fvf, GLuint buffer, GLintptr offset,
                 UINT stride);
    // A GL buffer of the port's own, holding `size` bytes copied from `data`.
    GLuint upload(const void* data, GLsizeiptr size);

    // The GL state last sent; code that changes GL state past it tells it here.
    GlState& glState() { return gl; }
    const GlState& glState() const { return gl; }
    // How many sampler parameters and render-state groups have been sent to GL (a test
    // observes that unchanged states are not sent again).
    unsigned samplerParameterCalls() const { return samplerCalls; }
    unsigned renderStateGroupsSent() const { return groupsSent; }

private:
    void createGlObjects();
    void applySamplers();
    // The fixed-function emulation's program for the current texture-stage configuration and
    // alpha test with vertices of format `fvf`, or 0 when there is none.
    GLuint fixedFunctionProgram(const RenderStates& renderStates, DWORD fvf);

    std::array<IDirect3DBaseTexture9*, kTextureStages> textures = {}; // each holds a reference
    std::array<std::array<DWORD, kSamplerStateCount>, kTextureStages> samplerStates;
    // Per stage, one bit per sampler state (bit n for state n) that changed since it was last
    // sent to the unit's sampler object: all of them before the first draw.
    std::array<uint32_t, kTextureStages> dirtySamplerStates;
    unsigned samplerCalls = 0;
    // The render-state groups to send with the next draw: all of them before the first.
    uint32_t dirtyGroups = kAllRenderStates;
    unsigned groupsSent = 0;
    std::array<std::array<DWORD, kTextureStageStateCount>, kTextureStages> stageStates;
    std::array<D3DMATRIX, kFirstWorldSlot + kWorldMatrices> transforms;

    bool glReady = false;
    GLuint vertexArray = 0;
    GLuint scratchBuffer = 0;
    GLuint emptyTexture = 0; // bound for a stage without a texture
    GLsizeiptr scratchSize = 0;
    std::array<GLuint, kTextureStages> samplers = {};
    FixedFunction fixedFunction;
    GlState gl;
    ProgramBinding programs{gl};
};

} // namespace port::d3d9
