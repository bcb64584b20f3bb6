#include "d3d9/formats.h"

namespace port::d3d9 {

const ColorFormat* colorFormat(D3DFORMAT format) {
    // A8R8G8B8 is the little-endian DWORD 0xAARRGGBB: bytes B, G, R, A in memory, which is GL's
    // BGRA. X8R8G8B8 has the same bytes but samples with alpha 1; R32F samples as (r, 1, 1, 1).
    static const ColorFormat argb = {
        GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
    static const ColorFormat xrgb = {
        GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
    static const ColorFormat r32f = {
        GL_R32F, GL_RED, GL_FLOAT, 4, {GL_RED, GL_ONE, GL_ONE, GL_ONE}};
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return &argb;
    case D3DFMT_X8R8G8B8:
        return &xrgb;
    case D3DFMT_R32F:
        return &r32f;
    default:
        return nullptr;
    }
}

} // namespace port::d3d9
