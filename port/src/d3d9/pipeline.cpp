#include "d3d9/pipeline.h"

#include <bit>
#include <cstring>

#include "d3d9/texture.h"
#include "d3d9/vertex_attributes.h"

namespace port::d3d9 {

namespace {

// Render states and sampler states that the public headers do not name.
constexpr DWORD kSampMipLodBias = 8;
constexpr DWORD kSampMaxMipLevel = 9;
constexpr D3DTEXTUREFILTERTYPE kFilterAnisotropic = D3DTEXF_ANISOTROPIC;

// Parts of a flexible vertex format that have no attribute slot but take room in a vertex.
constexpr DWORD kFvfPositionMask = 0x400E;
constexpr DWORD kFvfPointSize = 0x020;
constexpr DWORD kFvfDiffuse = 0x040;
constexpr DWORD kFvfSpecular = 0x080;

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
        (state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + kTextureStages)) {
        return static_cast<int>(state);
    }
    if (state >= D3DTS_WORLD && state < D3DTS_WORLD + 256) {
        return static_cast<int>(24 + state - D3DTS_WORLD);
    }
    return -1;
}

GLenum blendFactor(DWORD blend) {
    switch (blend) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
        return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR:
        return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR:
        return GL_ONE_MINUS_CONSTANT_COLOR;
    default:
        return GL_ONE;
    }
}

GLenum blendEquation(DWORD op) {
    switch (op) {
    case D3DBLENDOP_SUBTRACT:
        return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
        return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
        return GL_MIN;
    case D3DBLENDOP_MAX:
        return GL_MAX;
    default:
        return GL_FUNC_ADD;
    }
}

GLenum compareFunction(DWORD cmp) {
    switch (cmp) {
    case D3DCMP_NEVER:
        return GL_NEVER;
    case D3DCMP_LESS:
        return GL_LESS;
    case D3DCMP_EQUAL:
        return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
        return GL_LEQUAL;
    case D3DCMP_GREATER:
        return GL_GREATER;
    case D3DCMP_NOTEQUAL:
        return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

GLenum stencilOperation(DWORD op) {
    switch (op) {
    case D3DSTENCILOP_ZERO:
        return GL_ZERO;
    case D3DSTENCILOP_REPLACE:
        return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT:
        return GL_INCR;
    case D3DSTENCILOP_DECRSAT:
        return GL_DECR;
    case D3DSTENCILOP_INVERT:
        return GL_INVERT;
    case D3DSTENCILOP_INCR:
        return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR:
        return GL_DECR_WRAP;
    default:
        return GL_KEEP;
    }
}

GLint addressMode(DWORD mode) {
    switch (mode) {
    case D3DTADDRESS_MIRROR:
    case 5: // D3DTADDRESS_MIRRORONCE: GL 3.3 core has no mirror-once
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    default:
        return GL_REPEAT;
    }
}

GLint minFilter(DWORD min, DWORD mip) {
    const bool linear = min != D3DTEXF_POINT && min != D3DTEXF_NONE;
    switch (mip) {
    case D3DTEXF_NONE:
        return linear ? GL_LINEAR : GL_NEAREST;
    case D3DTEXF_POINT:
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    default:
        return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    }
}

// Sends the render-state groups named in `groups` as `rs` holds them.
void applyRenderStates(const std::array<DWORD, 256>& rs, uint32_t groups) {
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
            glBlendFuncSeparate(blendFactor(rs[D3DRS_SRCBLEND]), blendFactor(rs[D3DRS_DESTBLEND]),
                                blendFactor(srcAlpha), blendFactor(destAlpha));
            glBlendEquationSeparate(blendEquation(rs[D3DRS_BLENDOP]), blendEquation(opAlpha));
        }
    }

    if (groups & kDepthStates) {
        enable(GL_DEPTH_TEST, rs[D3DRS_ZENABLE] != D3DZB_FALSE);
        if (rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
            glDepthFunc(compareFunction(rs[D3DRS_ZFUNC]));
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
        glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
        switch (rs[D3DRS_FILLMODE]) {
        case D3DFILL_POINT:
            glPolygonMode(GL_FRONT_AND_BACK, GL_POINT);
            break;
        case D3DFILL_WIREFRAME:
            glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
            break;
        default:
            glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
            break;
        }
    }

    if (groups & kStencilStates) {
        enable(GL_STENCIL_TEST, rs[D3DRS_STENCILENABLE] != FALSE);
        if (rs[D3DRS_STENCILENABLE]) {
            glStencilFunc(compareFunction(rs[D3DRS_STENCILFUNC]),
                          static_cast<GLint>(rs[D3DRS_STENCILREF]), rs[D3DRS_STENCILMASK]);
            glStencilOp(stencilOperation(rs[D3DRS_STENCILFAIL]),
                        stencilOperation(rs[D3DRS_STENCILZFAIL]),
                        stencilOperation(rs[D3DRS_STENCILPASS]));
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
    UINT size = (fvf & kFvfPositionMask) == D3DFVF_XYZ ? 12 : 0;
    size += (fvf & D3DFVF_NORMAL) ? 12 : 0;
    for (DWORD part : {kFvfPointSize, kFvfDiffuse, kFvfSpecular}) {
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
        t[11] = i;                             // D3DTSS_TEXCOORDINDEX
        t[26] = t[27] = t[28] = D3DTA_CURRENT; // COLORARG0, ALPHAARG0, RESULTARG
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
        const auto parameterf = [&](GLenum name, GLfloat value) {
            glSamplerParameterf(sampler, name, value);
            ++samplerCalls;
        };
        if (changed({D3DSAMP_ADDRESSU})) {
            parameter(GL_TEXTURE_WRAP_S, addressMode(s[D3DSAMP_ADDRESSU]));
        }
        if (changed({D3DSAMP_ADDRESSV})) {
            parameter(GL_TEXTURE_WRAP_T, addressMode(s[D3DSAMP_ADDRESSV]));
        }
        if (changed({D3DSAMP_ADDRESSW})) {
            parameter(GL_TEXTURE_WRAP_R, addressMode(s[D3DSAMP_ADDRESSW]));
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
                      s[D3DSAMP_MAGFILTER] == D3DTEXF_POINT ? GL_NEAREST : GL_LINEAR);
        }
        if (changed({D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER})) {
            parameter(GL_TEXTURE_MIN_FILTER, minFilter(s[D3DSAMP_MINFILTER], s[D3DSAMP_MIPFILTER]));
        }
        if (changed({kSampMipLodBias})) {
            parameterf(GL_TEXTURE_LOD_BIAS, std::bit_cast<float>(s[kSampMipLodBias]));
        }
        if (changed({kSampMaxMipLevel})) {
            parameterf(GL_TEXTURE_MIN_LOD, static_cast<float>(s[kSampMaxMipLevel]));
        }
        if (anisotropy && changed({D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MAXANISOTROPY})) {
            const bool on = s[D3DSAMP_MINFILTER] == kFilterAnisotropic ||
                            s[D3DSAMP_MAGFILTER] == kFilterAnisotropic;
            const DWORD level = s[D3DSAMP_MAXANISOTROPY] == 0 ? 1 : s[D3DSAMP_MAXANISOTROPY];
            parameterf(GL_TEXTURE_MAX_ANISOTROPY_EXT, on ? static_cast<float>(level) : 1.0f);
        }
        dirtySamplerStates[i] = 0;
        const auto* texture = static_cast<const Texture*>(textures[i]);
        gl.bindTexture(i, texture != nullptr ? texture->glName() : emptyTexture);
    }
}

void Pipeline::openWriteMasks(const std::array<DWORD, 256>& rs, bool color, bool depth,
                              bool stencil) {
    // Whether a mask the clear needs must be sent: GL does not hold it open already (its
    // group is waiting to be sent, or its states close the mask).
    const auto mustOpen = [&](bool needed, uint32_t group, bool heldOpen) {
        if (!needed || (heldOpen && (dirtyGroups & group) == 0)) {
            return false;
        }
        dirtyGroups |= group;
        return true;
    };
    if (mustOpen(color, kRasterStates, (rs[D3DRS_COLORWRITEENABLE] & 15) == 15)) {
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

GLuint Pipeline::fixedFunctionProgram(const std::array<DWORD, 256>& renderStates, DWORD fvf) {
    return fixedFunction.program(fvf, stageStates[0].data(), textures[0] != nullptr,
                                 renderStates[D3DRS_ALPHATESTENABLE] != FALSE,
                                 renderStates[D3DRS_ALPHAFUNC]);
}

bool Pipeline::prepare(const std::array<DWORD, 256>& renderStates, DWORD fvf, GLuint buffer,
                       GLintptr offset, UINT stride) {
    if ((fvf & kFvfPositionMask) != D3DFVF_XYZ) {
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
    for (DWORD part : {kFvfPointSize, kFvfDiffuse, kFvfSpecular}) {
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
