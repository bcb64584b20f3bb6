// The GL bindings the device last sent (program, draw framebuffer, viewport, textures, vertex
// array and layout), so that a draw sends only what changed since the draw before. Every
// binding the draw path makes goes through here; code that changes one directly (Present,
// object creation and deletion) tells this cache, by the matching forget, that GL may now
// hold something else. Render states and sampler states need no copy of GL's: the pipeline
// sends them when they change (pipeline.h).
//
// The driver revalidates on every state call, even one that repeats the current value, so
// sending only changes is what keeps a draw cheap.
#pragma once

#include <array>
#include <cstdint>

#include <epoxy/gl.h>

namespace port::d3d9 {

class GlState {
public:
    GlState() { forget(); }

    // Everything unknown: the next setter of each state sends it.
    void forget();
    // A texture, buffer or framebuffer that GL deleted: bindings of its name are unknown now,
    // since GL unbinds a deleted object and may give its name to a new one.
    void forgetTexture(GLuint name);
    void forgetFramebuffer() { drawFramebuffer = kUnknown; }
    void forgetVertexLayout() { layout = {}; }

    void useProgram(GLuint program);
    void bindDrawFramebuffer(GLuint framebuffer);
    void viewport(GLint x, GLint y, GLsizei width, GLsizei height, float minZ, float maxZ);
    // Binds the texture (0 for none) to a texture unit's 2D target.
    void bindTexture(GLuint unit, GLuint texture);
    void bindVertexArray(GLuint vertexArray);

    // The vertex layout last specified on the vertex array: format, buffer, offset, stride.
    struct Layout {
        uint32_t fvf = 0;
        GLuint buffer = 0;
        GLintptr offset = -1;
        GLuint stride = 0;
        bool operator==(const Layout&) const = default;
    };
    // True when the vertex array already holds this layout; otherwise records it as held, and
    // the caller specifies it.
    bool sameLayout(const Layout& wanted);

    // How often the draw framebuffer binding was sent to GL.
    uint64_t framebufferChanges() const { return drawFramebufferCalls; }

private:
    static constexpr GLuint kUnknown = ~0u;

    GLuint program = kUnknown;
    GLuint drawFramebuffer = kUnknown;
    uint64_t drawFramebufferCalls = 0;
    std::array<GLint, 4> viewportBox = {};
    std::array<float, 2> depthRange = {};
    bool viewportKnown = false;
    std::array<GLuint, 16> textures = {};
    GLuint activeUnit = kUnknown;
    GLuint vertexArray = kUnknown;
    Layout layout;
};

// Puts the active unit's 2D texture binding back at the end of a scope that binds a texture
// to create, fill or read it, so that the cache's record of the units stays true.
class ScopedTextureBinding {
public:
    ScopedTextureBinding() { glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous); }
    ~ScopedTextureBinding() { glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous)); }
    ScopedTextureBinding(const ScopedTextureBinding&) = delete;
    ScopedTextureBinding& operator=(const ScopedTextureBinding&) = delete;

private:
    GLint previous = 0;
};

} // namespace port::d3d9
