#include "d3d9/gl_state.h"

namespace port::d3d9 {

namespace {

// Sets `held` to `wanted` and answers whether it differed.
template <typename T> bool change(T& held, const T& wanted) {
    if (held == wanted) {
        return false;
    }
    held = wanted;
    return true;
}

} // namespace

void GlState::forget() {
    program = drawFramebuffer = activeUnit = vertexArray = kUnknown;
    viewportKnown = false;
    textures.fill(kUnknown);
    layout = {};
    caps.fill(-1);
    blendState.fill(kUnknown);
    depthFunction = kUnknown;
    depthWrite = -1;
    cullState.fill(kUnknown);
    colorWrite = kUnknown;
    fillMode = kUnknown;
    stencilState.fill(kUnknown);
    stencilWrite = kUnknown;
}

void GlState::forgetTexture(GLuint name) {
    for (GLuint& bound : textures) {
        if (bound == name) {
            bound = kUnknown;
        }
    }
}

void GlState::useProgram(GLuint wanted) {
    if (change(program, wanted)) {
        glUseProgram(wanted);
    }
}

void GlState::bindDrawFramebuffer(GLuint wanted) {
    if (change(drawFramebuffer, wanted)) {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, wanted);
        ++drawFramebufferCalls;
    }
}

void GlState::viewport(GLint x, GLint y, GLsizei width, GLsizei height, float minZ, float maxZ) {
    const std::array<GLint, 4> box = {x, y, width, height};
    const std::array<float, 2> range = {minZ, maxZ};
    if (viewportKnown && box == viewportBox && range == depthRange) {
        return;
    }
    viewportKnown = true;
    viewportBox = box;
    depthRange = range;
    glViewport(x, y, width, height);
    glDepthRange(minZ, maxZ);
}

void GlState::bindTexture(GLuint unit, GLuint texture) {
    if (textures[unit] == texture) {
        return;
    }
    if (change(activeUnit, unit)) {
        glActiveTexture(GL_TEXTURE0 + unit);
    }
    glBindTexture(GL_TEXTURE_2D, texture);
    textures[unit] = texture;
}

void GlState::bindVertexArray(GLuint wanted) {
    if (change(vertexArray, wanted)) {
        glBindVertexArray(wanted);
    }
}

void GlState::enable(GLenum capability, bool on) {
    int index = 0;
    switch (capability) {
    case GL_BLEND:
        index = kBlend;
        break;
    case GL_DEPTH_TEST:
        index = kDepthTest;
        break;
    case GL_CULL_FACE:
        index = kCullFace;
        break;
    default:
        index = kStencilTest;
        break;
    }
    if (change(caps[size_t(index)], on ? 1 : 0)) {
        on ? glEnable(capability) : glDisable(capability);
    }
}

void GlState::blend(GLenum srcColor, GLenum destColor, GLenum srcAlpha, GLenum destAlpha,
                    GLenum colorOp, GLenum alphaOp) {
    const std::array<GLenum, 6> wanted = {srcColor,  destColor, srcAlpha,
                                          destAlpha, colorOp,   alphaOp};
    if (change(blendState, wanted)) {
        glBlendFuncSeparate(srcColor, destColor, srcAlpha, destAlpha);
        glBlendEquationSeparate(colorOp, alphaOp);
    }
}

void GlState::depth(GLenum function, bool write) {
    if (change(depthFunction, function)) {
        glDepthFunc(function);
    }
    depthMask(write);
}

void GlState::depthMask(bool write) {
    if (change(depthWrite, write ? 1 : 0)) {
        glDepthMask(write ? GL_TRUE : GL_FALSE);
    }
}

void GlState::cull(GLenum face, GLenum front) {
    if (change(cullState, std::array<GLenum, 2>{face, front})) {
        glCullFace(face);
        glFrontFace(front);
    }
}

void GlState::colorMask(uint32_t mask) {
    if (change(colorWrite, mask & 15u)) {
        glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
    }
}

void GlState::polygonMode(GLenum mode) {
    if (change(fillMode, mode)) {
        glPolygonMode(GL_FRONT_AND_BACK, mode);
    }
}

void GlState::stencil(GLenum function, GLint ref, GLuint mask, GLenum fail, GLenum depthFail,
                      GLenum pass) {
    const std::array<GLuint, 6> wanted = {function, GLuint(ref), mask, fail, depthFail, pass};
    if (change(stencilState, wanted)) {
        glStencilFunc(function, ref, mask);
        glStencilOp(fail, depthFail, pass);
    }
}

void GlState::stencilMask(GLuint mask) {
    if (change(stencilWrite, mask)) {
        glStencilMask(mask);
    }
}

bool GlState::sameLayout(const Layout& wanted) {
    return !change(layout, wanted);
}

} // namespace port::d3d9
