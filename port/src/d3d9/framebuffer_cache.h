// One GL framebuffer object per combination of bound surfaces, made on first use.
#pragma once

#include <array>
#include <map>

#include <epoxy/gl.h>

namespace port::d3d9 {

class Surface;

struct Attachments {
    std::array<const Surface*, 4> colors = {};
    const Surface* depth = nullptr;
};

class FramebufferCache {
public:
    // The framebuffer with exactly these attachments, its draw buffers naming the bound colour
    // slots and its read buffer the first of them. The GL bindings are left as they were.
    GLuint get(const Attachments& attachments);
    // Deletes every framebuffer that uses the surface (which is going away).
    void forget(const Surface* surface);
    // Deletes every framebuffer.
    void clear();

private:
    using Key = std::array<const Surface*, 5>;
    std::map<Key, GLuint> framebuffers;
};

} // namespace port::d3d9
