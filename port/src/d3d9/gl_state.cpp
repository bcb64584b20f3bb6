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

bool GlState::sameLayout(const Layout& wanted) {
    return !change(layout, wanted);
}

} // namespace port::d3d9
