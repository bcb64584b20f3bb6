// How the Direct3D colour formats the port supports are stored in OpenGL.
#pragma once

#include <array>

#include <d3d9types.h>
#include <epoxy/gl.h>

namespace port::d3d9 {

struct ColorFormat {
    GLenum internalFormat;
    GLenum format; // client-side layout, matching Direct3D's bytes in memory
    GLenum type;
    UINT bytesPerPixel;
    std::array<GLint, 4> swizzle; // what sampling returns for red, green, blue and alpha
};

// Null for formats the port cannot store as colour.
const ColorFormat* colorFormat(D3DFORMAT format);

} // namespace port::d3d9
