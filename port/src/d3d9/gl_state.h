// The GL state the device last sent, so that a draw sends only what changed since the draw
// before. Every state the draw path sets goes through here; code that changes one of these
// states directly (clears, Present, object creation and deletion) tells this cache, by the
// matching forget, that GL may now hold something else.
//
// The driver revalidates on every state call, even one that repeats the current value (a
// sampler's border colour most of all), so the cache is what keeps a draw cheap.
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

    // Render states.
    void enable(GLenum capability, bool on);
    void blend(GLenum srcColor, GLenum destColor, GLenum srcAlpha, GLenum destAlpha, GLenum colorOp,
               GLenum alphaOp);
    void depth(GLenum function, bool write);
    void depthMask(bool write);
    void cull(GLenum face, GLenum front);
    // Bits 0 to 3: red, green, blue, alpha.
    void colorMask(uint32_t mask);
    void polygonMode(GLenum mode);
    void stencil(GLenum function, GLint ref, GLuint mask, GLenum fail, GLenum depthFail,
                 GLenum pass);
    void stencilMask(GLuint mask);

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
    enum Cap { kBlend, kDepthTest, kCullFace, kStencilTest, kCapCount };

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

    std::array<int, kCapCount> caps = {}; // -1 unknown, 0 off, 1 on
    std::array<GLenum, 6> blendState = {};
    GLenum depthFunction = kUnknown;
    int depthWrite = -1;
    std::array<GLenum, 2> cullState = {};
    uint32_t colorWrite = kUnknown;
    GLenum fillMode = kUnknown;
    std::array<GLuint, 6> stencilState = {};
    GLuint stencilWrite = kUnknown;
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
