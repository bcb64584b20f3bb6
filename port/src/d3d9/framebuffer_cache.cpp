#include "d3d9/framebuffer_cache.h"

#include <algorithm>

#include <SDL.h>

#include "d3d9/surface.h"

namespace port::d3d9 {

GLuint FramebufferCache::get(const Attachments& a) {
    const Key key = {a.colors[0], a.colors[1], a.colors[2], a.colors[3], a.depth};
    if (auto it = framebuffers.find(key); it != framebuffers.end()) {
        return it->second;
    }
    GLint drawBinding = 0, readBinding = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBinding);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readBinding);

    GLuint fbo = 0;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    std::array<GLenum, 4> drawBuffers = {GL_NONE, GL_NONE, GL_NONE, GL_NONE};
    GLenum readBuffer = GL_NONE;
    for (GLenum i = 0; i < 4; ++i) {
        if (a.colors[i] != nullptr) {
            a.colors[i]->attachTo(GL_COLOR_ATTACHMENT0 + i);
            drawBuffers[i] = GL_COLOR_ATTACHMENT0 + i;
            if (readBuffer == GL_NONE) {
                readBuffer = GL_COLOR_ATTACHMENT0 + i;
            }
        }
    }
    if (a.depth != nullptr) {
        a.depth->attachTo(GL_DEPTH_STENCIL_ATTACHMENT);
    }
    glDrawBuffers(4, drawBuffers.data());
    glReadBuffer(readBuffer);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        SDL_Log("framebuffer of the bound surfaces is incomplete (0x%x)", status);
    }

    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawBinding));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readBinding));
    framebuffers.emplace(key, fbo);
    return fbo;
}

void FramebufferCache::forget(const Surface* surface) {
    for (auto it = framebuffers.begin(); it != framebuffers.end();) {
        if (std::find(it->first.begin(), it->first.end(), surface) != it->first.end()) {
            glDeleteFramebuffers(1, &it->second);
            it = framebuffers.erase(it);
        } else {
            ++it;
        }
    }
}

void FramebufferCache::clear() {
    for (auto& [key, fbo] : framebuffers) {
        glDeleteFramebuffers(1, &fbo);
    }
    framebuffers.clear();
}

} // namespace port::d3d9
