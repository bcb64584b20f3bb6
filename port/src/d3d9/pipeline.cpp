#include "d3d9/pipeline.h"

#include <bit>
#include <cstring>
#include <string>

#include "d3d9/gl_check.h"
#include "d3d9/texture.h"
#include "d3d9/vertex_attributes.h"

namespace port::d3d9 {

namespace {

// Parts of a flexible vertex format that have no attribute slot but take room in a vertex.
constexpr DWORD kFvfUnreadParts[] = {D3DFVF_PSIZE, D3DFVF_DIFFUSE, D3DFVF_SPECULAR};

// Surfaces are stored top row first and the clip origin is the upper left; GL then decides
// facing in that same orientation, so clockwise in the stored picture is GL's clockwise.
constexpr GLenum kClockwiseInPicture = GL_CW;
constexpr GLenum kCounterClockwiseInPicture = GL_CCW;

D3DMATRIX identity() {
    D3DMATRIX m = {};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// Index into the transform table, or -1 for a state that is no transform.
int transformSlot(DWORD state) {
    if (state == D3DTS_VIEW || state == D3DTS_PROJECTION ||
        (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7)) {
        return static_cast<int>(state);
    }
    if (state >= D3DTS_WORLD && state < D3DTS_WORLD + kWorldMatrices) {
        return static_cast<int>(kFirstWorldSlot + state - D3DTS_WORLD);
    }
    return -1;
}

// The GL value of each value of a Direct3D enumeration, indexed by the Direct3D value;
// kNoGlValue where Direct3D defines no such value or GL 3.3 core has nothing like it. A table's
// length is checked against the enumeration's last value, so that no entry goes missing.
constexpr GLenum kNoGlValue = GL_INVALID_ENUM;

template <class... Values> constexpr auto glValues(Values... values) {
    return std::array<GLenum, sizeof...(Values)>{static_cast<GLenum>(values)...};
}

template <std::size_t N> GLenum glValue(const std::array<GLenum, N>& table, DWORD value) {
    return value < N ? table[value] : kNoGlValue;
}

// Values 12 and 13, the obsolete factors that set both source and destination, have no GL
// factor.
constexpr auto kBlendFactors =
    glValues(kNoGlValue, GL_ZERO, GL_ONE, GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR, GL_SRC_ALPHA,
             GL_ONE_MINUS_SRC_ALPHA, GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA, GL_DST_COLOR,
             GL_ONE_MINUS_DST_COLOR, GL_SRC_ALPHA_SATURATE, kNoGlValue, kNoGlValue,
             GL_CONSTANT_COLOR, GL_ONE_MINUS_CONSTANT_COLOR);
static_assert(kBlendFactors.size() == D3DBLEND_INVBLENDFACTOR + 1);

constexpr auto kBlendEquations =
    glValues(kNoGlValue, GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT, GL_MIN, GL_MAX);
static_assert(kBlendEquations.size() == D3DBLENDOP_MAX + 1);

constexpr auto kCompareFunctions = glValues(kNoGlValue, GL_NEVER, GL_LESS, GL_EQUAL, GL_LEQUAL,
                                            GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS);
static_assert(kCompareFunctions.size() == D3DCMP_ALWAYS + 1);

constexpr auto kStencilOperations = glValues(kNoGlValue, GL_KEEP, GL_ZERO, GL_REPLACE, GL_INCR,
                                             GL_DECR, GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP);
static_assert(kStencilOperations.size() == D3DSTENCILOP_DECR + 1);

constexpr auto kPolygonModes = glValues(kNoGlValue, GL_POINT, GL_LINE, GL_FILL);
static_assert(kPolygonModes.size() == D3DFILL_SOLID + 1);

// GL 3.3 core has no mirror-once: it mirrors on.
constexpr auto kAddressModes = glValues(kNoGlValue, GL_REPEAT, GL_MIRRORED_REPEAT, GL_CLAMP_TO_EDGE,
                                        GL_CLAMP_TO_BORDER, GL_MIRRORED_REPEAT);
static_assert(kAddressModes.size() == D3DTADDRESS_MIRRORONCE + 1);

// Magnification: anisotropic filtering is linear filtering with more samples where the driver
// has the extension. None is a mip filter only; the pyramidal, Gaussian and convolution
// filters have no GL form.
constexpr auto kMagFilters = glValues(kNoGlValue, GL_NEAREST, GL_LINEAR, GL_LINEAR);
static_assert(kMagFilters.size() == D3DTEXF_ANISOTROPIC + 1);

// Minification by the mip filter (none, point, linear), then whether the texels are filtered
// linearly.
constexpr std::array<std::array<GLenum, 2>, D3DTEXF_LINEAR + 1> kMinFilters = {{
    {GL_NEAREST, GL_LINEAR},
    {GL_NEAREST_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_NEAREST},
    {GL_NEAREST_MIPMAP_LINEAR, GL_LINEAR_MIPMAP_LINEAR},
}};

bool knownCull(DWORD cull) {
    return cull == D3DCULL_NONE || cull == D3DCULL_CW || cull == D3DCULL_CCW;
}

// A state whose value must be one of its enumeration's that GL can follow.
struct EnumeratedState {
    DWORD state;
    bool (*known)(DWORD value);
};

template <const auto& table> bool inTable(DWORD value) {
    return glValue(table, value) != kNoGlValue;
}

constexpr EnumeratedState kEnumeratedRenderStates[] = {
    {D3DRS_SRCBLEND, inTable<kBlendFactors>},
    {D3DRS_DESTBLEND, inTable<kBlendFactors>},
    {D3DRS_SRCBLENDALPHA, inTable<kBlendFactors>},
    {D3DRS_DESTBLENDALPHA, inTable<kBlendFactors>},
    {D3DRS_BLENDOP, inTable<kBlendEquations>},
    {D3DRS_BLENDOPALPHA, inTable<kBlendEquations>},
    {D3DRS_ZFUNC, inTable<kCompareFunctions>},
    {D3DRS_CULLMODE, knownCull},
    {D3DRS_FILLMODE, inTable<kPolygonModes>},
    {D3DRS_STENCILFUNC, inTable<kCompareFunctions>},
    {D3DRS_STENCILFAIL, inTable<kStencilOperations>},
    {D3DRS_STENCILZFAIL, inTable<kStencilOperations>},
    {D3DRS_STENCILPASS, inTable<kStencilOperations>},
};

constexpr EnumeratedState kEnumeratedSamplerStates[] = {
    {D3DSAMP_ADDRESSU, inTable<kAddressModes>},
    {D3DSAMP_ADDRESSV, inTable<kAddressModes>},
    {D3DSAMP_ADDRESSW, inTable<kAddressModes>},
    {D3DSAMP_MAGFILTER, inTable<kMagFilters>},
    {D3DSAMP_MINFILTER, inTable<kMagFilters>},
    {D3DSAMP_MIPFILTER, [](DWORD mip) { return mip < kMinFilters.size(); }},
};

GLint minFilter(DWORD min, DWORD mip) {
    return static_cast<GLint>(kMinFilters[mip][min == D3DTEXF_POINT ? 0 : 1]);
}

// Sends the render-state groups named in `groups` as `rs` holds them. Every value is one of its
// table's, as the draw checked (Pipeline::drawable); were one not, GL would be sent
// GL_INVALID_ENUM, which the check builds' GL check stops at.
void applyRenderStates(const RenderStates& rs, uint32_t groups) {
    const auto enable = [](GLenum capability, bool on) {
        on ? glEnable(capability) : glDisable(capability);
    };
    if (groups & kBlendStates) {
        enable(GL_BLEND, rs[D3DRS_ALPHABLENDENABLE] != FALSE);
        if (rs[D3DRS_ALPHABLENDENABLE]) {
            const bool separate = rs[D3DRS_SEPARATEALPHABLENDENABLE] != FALSE;
            const DWORD srcAlpha = separate ? rs[D3DRS_SRCBLENDALPHA] : rs[D3DRS_SRCBLEND];
            const DWORD destAlpha = separate ? rs[D3DRS_DESTBLENDALPHA] : rs[D3DRS_DESTBLEND];
            const DWORD opAlpha = separate ? rs[D3DRS_BLENDOPALPHA] : rs[D3DRS_BLENDOP];
            const auto factor = [](DWORD blend) { return glValue(kBlendFactors, blend); };
            glBlendFuncSeparate(factor(rs[D3DRS_SRCBLEND]), factor(rs[D3DRS_DESTBLEND]),
                                factor(srcAlpha), factor(destAlpha));
            glBlendEquationSeparate(glValue(kBlendEquations, rs[D3DRS_BLENDOP]),
                                    glValue(kBlendEquations, opAlpha));
        }
    }

    if (groups & kDepthStates) {
        enable(GL_DEPTH_TEST, rs[D3DRS_ZENABLE] != D3DZB_FALSE);
        if (rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
            glDepthFunc(glValue(kCompareFunctions, rs[D3DRS_ZFUNC]));
        }
        glDepthMask(rs[D3DRS_ZWRITEENABLE] != FALSE ? GL_TRUE : GL_FALSE);
    }

    if (groups & kRasterStates) {
        const DWORD cull = rs[D3DRS_CULLMODE];
        enable(GL_CULL_FACE, cull == D3DCULL_CW || cull == D3DCULL_CCW);
        if (cull == D3DCULL_CW || cull == D3DCULL_CCW) {
            glCullFace(GL_BACK);
            glFrontFace(cull == D3DCULL_CW ? kCounterClockwiseInPicture : kClockwiseInPicture);
        }
        const DWORD mask = rs[D3DRS_COLORWRITEENABLE];
        glColorMask((mask & D3DCOLORWRITEENABLE_RED) != 0, (mask & D3DCOLORWRITEENABLE_GREEN) != 0,
                    (mask & D3DCOLORWRITEENABLE_BLUE) != 0,
                    (mask & D3DCOLORWRITEENABLE_ALPHA) != 0);
        glPolygonMode(GL_FRONT_AND_BACK, glValue(kPolygonModes, rs[D3DRS_FILLMODE]));
    }

    if (groups & kStencilStates) {
        enable(GL_STENCIL_TEST, rs[D3DRS_STENCILENABLE] != FALSE);
        if (rs[D3DRS_STENCILENABLE]) {
            glStencilFunc(glValue(kCompareFunctions, rs[D3DRS_STENCILFUNC]),
                          static_cast<GLint>(rs[D3DRS_STENCILREF]), rs[D3DRS_STENCILMASK]);
            const auto operation = [](DWORD op) { return glValue(kStencilOperations, op); };
            glStencilOp(operation(rs[D3DRS_STENCILFAIL]), operation(rs[D3DRS_STENCILZFAIL]),
                        operation(rs[D3DRS_STENCILPASS]));
            glStencilMask(rs[D3DRS_STENCILWRITEMASK]);
        }
    }

    // GL 3.3 core has no alpha test: an effect that needs one discards in its fragment stage,
    // and the fixed-function emulation reads D3DRS_ALPHATESTENABLE, D3DRS_ALPHAFUNC and
    // D3DRS_ALPHAREF itself. The device has no scissor rectangle: scissoring stays off (a
    // clear turns it on and off again).
}

} // namespace

uint32_t renderStateGroup(DWORD state) {
    switch (state) {
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_SEPARATEALPHABLENDENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_BLENDOP:
    case D3DRS_SRCBLENDALPHA:
    case D3DRS_DESTBLENDALPHA:
    case D3DRS_BLENDOPALPHA:
        return kBlendStates;
    case D3DRS_ZENABLE:
    case D3DRS_ZFUNC:
    case D3DRS_ZWRITEENABLE:
        return kDepthStates;
    case D3DRS_CULLMODE:
    case D3DRS_COLORWRITEENABLE:
    case D3DRS_FILLMODE:
        return kRasterStates;
    case D3DRS_STENCILENABLE:
    case D3DRS_STENCILFUNC:
    case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK:
    case D3DRS_STENCILFAIL:
    case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS:
    case D3DRS_STENCILWRITEMASK:
        return kStencilStates;
    default:
        return 0;
    }
}

UINT fvfVertexSize(DWORD fvf) {
    UINT size = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZ ? 12 : 0;
    size += (fvf & D3DFVF_NORMAL) ? 12 : 0;
    for (DWORD part : kFvfUnreadParts) {
        size += (fvf & part) ? 4 : 0;
    }
    for (unsigned set = 0; set < texCoordSetCount(fvf); ++set) {
        size += texCoordSize(fvf, set) * 4;
    }
    return size;
}

Pipeline::Pipeline() {
    for (DWORD i = 0; i < kTextureStages; ++i) {
        auto& s = samplerStates[i];
        s.fill(0);
        s[D3DSAMP_ADDRESSU] = s[D3DSAMP_ADDRESSV] = s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        s[D3DSAMP_MAGFILTER] = s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        s[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        s[D3DSAMP_MAXANISOTROPY] = 1;

        auto& t = stageStates[i];
        t.fill(0);
        t[D3DTSS_COLOROP] = i == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        t[D3DTSS_ALPHAOP] = i == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        t[D3DTSS_TEXCOORDINDEX] = i;
        t[D3DTSS_COLORARG0] = t[D3DTSS_ALPHAARG0] = t[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    transforms.fill(identity());
    dirtySamplerStates.fill(~0u);
}

Pipeline::~Pipeline() {
    for (IDirect3DBaseTexture9*& texture : textures) {
        if (texture != nullptr) {
            texture->Release();
            texture = nullptr;
        }
    }
}

HRESULT Pipeline::setTexture(DWORD stage, IDirect3DBaseTexture9* texture, const Device* device) {
    if (stage >= kTextureStages) {
        return D3DERR_INVALIDCALL;
    }
    if (texture != nullptr) {
        const auto* own = dynamic_cast<const Texture*>(texture);
        if (own == nullptr || own->device() != device) {
            return D3DERR_INVALIDCALL;
        }
        texture->AddRef();
    }
    if (textures[stage] != nullptr) {
        textures[stage]->Release();
    }
    textures[stage] = texture;
    return D3D_OK;
}

HRESULT Pipeline::getTexture(DWORD stage, IDirect3DBaseTexture9** texture) const {
    if (stage >= kTextureStages || texture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *texture = textures[stage];
    if (*texture != nullptr) {
        (*texture)->AddRef();
    }
    return D3D_OK;
}

HRESULT Pipeline::setSamplerState(DWORD sampler, DWORD type, DWORD value) {
    if (sampler >= kTextureStages || type == 0 || type >= kSamplerStateCount) {
        return D3DERR_INVALIDCALL;
    }
    if (samplerStates[sampler][type] != value) {
        samplerStates[sampler][type] = value;
        dirtySamplerStates[sampler] |= 1u << type;
    }
    return D3D_OK;
}

HRESULT Pipeline::getSamplerState(DWORD sampler, DWORD type, DWORD* value) const {
    if (sampler >= kTextureStages || type == 0 || type >= kSamplerStateCount || value == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *value = samplerStates[sampler][type];
    return D3D_OK;
}

HRESULT Pipeline::setStageState(DWORD stage, DWORD type, DWORD value) {
    if (stage >= kTextureStages || type == 0 || type >= kTextureStageStateCount) {
        return D3DERR_INVALIDCALL;
    }
    stageStates[stage][type] = value;
    return D3D_OK;
}

HRESULT Pipeline::getStageState(DWORD stage, DWORD type, DWORD* value) const {
    if (stage >= kTextureStages || type == 0 || type >= kTextureStageStateCount ||
        value == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *value = stageStates[stage][type];
    return D3D_OK;
}

HRESULT Pipeline::setTransform(DWORD state, const D3DMATRIX* matrix) {
    const int slot = transformSlot(state);
    if (slot < 0 || matrix == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    transforms[static_cast<size_t>(slot)] = *matrix;
    return D3D_OK;
}

HRESULT Pipeline::getTransform(DWORD state, D3DMATRIX* matrix) const {
    const int slot = transformSlot(state);
    if (slot < 0 || matrix == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *matrix = transforms[static_cast<size_t>(slot)];
    return D3D_OK;
}

void Pipeline::createGlObjects() {
    glGenVertexArrays(1, &vertexArray);
    glGenBuffers(1, &scratchBuffer);
    glGenSamplers(static_cast<GLsizei>(samplers.size()), samplers.data());
    // Each unit keeps its own sampler object; only the objects' parameters change.
    for (GLuint i = 0; i < kTextureStages; ++i) {
        glBindSampler(i, samplers[i]);
    }
    // What an empty stage samples, the same on every driver: one opaque white texel, so that
    // "no texture" leaves a colour it multiplies unchanged.
    const unsigned char white[4] = {255, 255, 255, 255};
    const ScopedTextureBinding keep;
    glGenTextures(1, &emptyTexture);
    glBindTexture(GL_TEXTURE_2D, emptyTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glReady = true;
}

GLuint Pipeline::upload(const void* data, GLsizeiptr size) {
    if (!glReady) {
        createGlObjects();
    }
    glBindBuffer(GL_ARRAY_BUFFER, scratchBuffer);
    if (size > scratchSize) {
        glBufferData(GL_ARRAY_BUFFER, size, data, GL_STREAM_DRAW);
        scratchSize = size;
    } else {
        glBufferSubData(GL_ARRAY_BUFFER, 0, size, data);
    }
    return scratchBuffer;
}

void Pipeline::applySamplers() {
    static const bool anisotropy = epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic");
    for (DWORD i = 0; i < kTextureStages; ++i) {
        const auto& s = samplerStates[i];
        const uint32_t dirty = dirtySamplerStates[i];
        const GLuint sampler = samplers[i];
        // Whether any of the states changed since they were last sent (or were never sent).
        const auto changed = [dirty](std::initializer_list<DWORD> types) {
            uint32_t bits = 0;
            for (DWORD type : types) {
                bits |= 1u << type;
            }
            return (dirty & bits) != 0;
        };
        const auto parameter = [&](GLenum name, GLint value) {
            glSamplerParameteri(sampler, name, value);
            ++samplerCalls;
        };
        const auto address = [](DWORD mode) {
            return static_cast<GLint>(glValue(kAddressModes, mode));
        };
        const auto parameterf = [&](GLenum name, GLfloat value) {
            glSamplerParameterf(sampler, name, value);
            ++samplerCalls;
        };
        if (changed({D3DSAMP_ADDRESSU})) {
            parameter(GL_TEXTURE_WRAP_S, address(s[D3DSAMP_ADDRESSU]));
        }
        if (changed({D3DSAMP_ADDRESSV})) {
            parameter(GL_TEXTURE_WRAP_T, address(s[D3DSAMP_ADDRESSV]));
        }
        if (changed({D3DSAMP_ADDRESSW})) {
            parameter(GL_TEXTURE_WRAP_R, address(s[D3DSAMP_ADDRESSW]));
        }
        if (changed({D3DSAMP_BORDERCOLOR})) {
            const DWORD border = s[D3DSAMP_BORDERCOLOR];
            const GLfloat color[4] = {((border >> 16) & 0xff) / 255.0f,
                                      ((border >> 8) & 0xff) / 255.0f, (border & 0xff) / 255.0f,
                                      ((border >> 24) & 0xff) / 255.0f};
            glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, color);
            ++samplerCalls;
        }
        if (changed({D3DSAMP_MAGFILTER})) {
            parameter(GL_TEXTURE_MAG_FILTER,
                      static_cast<GLint>(glValue(kMagFilters, s[D3DSAMP_MAGFILTER])));
        }
        if (changed({D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER})) {
            parameter(GL_TEXTURE_MIN_FILTER, minFilter(s[D3DSAMP_MINFILTER], s[D3DSAMP_MIPFILTER]));
        }
        if (changed({D3DSAMP_MIPMAPLODBIAS})) {
            parameterf(GL_TEXTURE_LOD_BIAS, std::bit_cast<float>(s[D3DSAMP_MIPMAPLODBIAS]));
        }
        if (changed({D3DSAMP_MAXMIPLEVEL})) {
            parameterf(GL_TEXTURE_MIN_LOD, static_cast<float>(s[D3DSAMP_MAXMIPLEVEL]));
        }
        if (anisotropy && changed({D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MAXANISOTROPY})) {
            const bool on = s[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC ||
                            s[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC;
            const DWORD level = s[D3DSAMP_MAXANISOTROPY] == 0 ? 1 : s[D3DSAMP_MAXANISOTROPY];
            parameterf(GL_TEXTURE_MAX_ANISOTROPY_EXT, on ? static_cast<float>(level) : 1.0f);
        }
        dirtySamplerStates[i] = 0;
        const auto* texture = static_cast<const Texture*>(textures[i]);
        gl.bindTexture(i, texture != nullptr ? texture->glName() : emptyTexture);
    }
}

bool Pipeline::drawable(const RenderStates& rs) const {
    const auto refuse = [](const std::string& state, DWORD value) {
        reportRefusal(state + " holds " + std::to_string(value) + ", which GL cannot follow");
        return false;
    };
    // Only states waiting to be sent: those sent were checked then.
    if (dirtyGroups != 0) {
        for (const EnumeratedState& e : kEnumeratedRenderStates) {
            if ((dirtyGroups & renderStateGroup(e.state)) != 0 && !e.known(rs[e.state])) {
                return refuse("render state " + std::to_string(e.state), rs[e.state]);
            }
        }
    }
    for (DWORD i = 0; i < kTextureStages; ++i) {
        if (dirtySamplerStates[i] == 0) {
            continue;
        }
        for (const EnumeratedState& e : kEnumeratedSamplerStates) {
            const DWORD value = samplerStates[i][e.state];
            if ((dirtySamplerStates[i] & (1u << e.state)) != 0 && !e.known(value)) {
                return refuse("sampler " + std::to_string(i) + " state " + std::to_string(e.state),
                              value);
            }
        }
    }
    return true;
}

void Pipeline::openWriteMasks(const RenderStates& rs, bool color, bool depth, bool stencil) {
    // Whether a mask the clear needs must be sent: GL does not hold it open already (its
    // group is waiting to be sent, or its states close the mask).
    const auto mustOpen = [&](bool needed, uint32_t group, bool heldOpen) {
        if (!needed || (heldOpen && (dirtyGroups & group) == 0)) {
            return false;
        }
        dirtyGroups |= group;
        return true;
    };
    constexpr DWORD allChannels = D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_GREEN |
                                  D3DCOLORWRITEENABLE_BLUE | D3DCOLORWRITEENABLE_ALPHA;
    if (mustOpen(color, kRasterStates, (rs[D3DRS_COLORWRITEENABLE] & allChannels) == allChannels)) {
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    }
    if (mustOpen(depth, kDepthStates, rs[D3DRS_ZWRITEENABLE] != FALSE)) {
        glDepthMask(GL_TRUE);
    }
    // The stencil write mask is sent only while the stencil test is on.
    if (mustOpen(stencil, kStencilStates,
                 rs[D3DRS_STENCILENABLE] != FALSE && (rs[D3DRS_STENCILWRITEMASK] & 0xFF) == 0xFF)) {
        glStencilMask(0xFF);
    }
}

GLuint Pipeline::fixedFunctionProgram(const RenderStates& renderStates, DWORD fvf) {
    return fixedFunction.program(fvf, stageStates[0].data(), textures[0] != nullptr,
                                 renderStates[D3DRS_ALPHATESTENABLE] != FALSE,
                                 renderStates[D3DRS_ALPHAFUNC]);
}

bool Pipeline::prepare(const RenderStates& renderStates, DWORD fvf, GLuint buffer, GLintptr offset,
                       UINT stride) {
    if ((fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ) {
        return false;
    }
    const GLuint passProgram = programs.passProgram();
    const GLuint program = passProgram != 0 ? passProgram : fixedFunctionProgram(renderStates, fvf);
    if (program == 0) {
        return false;
    }
    if (!glReady) {
        createGlObjects();
    }
    if (dirtyGroups != 0) {
        applyRenderStates(renderStates, dirtyGroups);
        groupsSent += static_cast<unsigned>(std::popcount(dirtyGroups));
        dirtyGroups = 0;
    }
    applySamplers();
    gl.useProgram(program);
    if (passProgram == 0) {
        const auto transform = [this](DWORD state) {
            return &transforms[static_cast<size_t>(transformSlot(state))];
        };
        fixedFunction.setUniforms({transform(D3DTS_WORLD), transform(D3DTS_VIEW),
                                   transform(D3DTS_PROJECTION), renderStates[D3DRS_TEXTUREFACTOR],
                                   renderStates[D3DRS_ALPHAREF]});
    }

    gl.bindVertexArray(vertexArray);
    if (gl.sameLayout({fvf, buffer, offset, stride})) {
        return true;
    }
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    GLintptr at = offset;
    unsigned enabled = 0; // attribute slots this format uses, one bit each
    const auto attribute = [&](unsigned slot, GLint components) {
        glEnableVertexAttribArray(slot);
        glVertexAttribPointer(slot, components, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride),
                              reinterpret_cast<const void*>(at));
        enabled |= 1u << slot;
    };
    attribute(kPositionSlot, 3);
    at += 12;
    if (fvf & D3DFVF_NORMAL) {
        attribute(kNormalSlot, 3);
        at += 12;
    }
    for (DWORD part : kFvfUnreadParts) {
        at += (fvf & part) ? 4 : 0;
    }
    for (unsigned set = 0; set < texCoordSetCount(fvf); ++set) {
        const unsigned size = texCoordSize(fvf, set);
        if (set < kTexCoordSetSlots) {
            attribute(kTexCoord0Slot + set, static_cast<GLint>(size));
        }
        at += static_cast<GLintptr>(size * 4);
    }
    for (unsigned slot = 0; slot < kVertexAttributeSlots; ++slot) {
        if ((enabled & (1u << slot)) == 0) {
            glDisableVertexAttribArray(slot);
        }
    }
    return true;
}

} // namespace port::d3d9
