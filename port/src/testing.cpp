// The test hooks that read the port's objects through their public interfaces or their
// handles' tables: the swap interval, buffer uploads and resolved fonts.
#include <port_testing.h>

#include <SDL.h>

#include "d3d9/buffers.h"
#include "gdi/objects.h"

void port::testing::setVsync(bool on) {
    SDL_GL_SetSwapInterval(on ? 1 : 0);
}

uint64_t port::testing::uploadedBytes(IDirect3DVertexBuffer9* buffer) {
    return buffer == nullptr ? 0 : static_cast<const d3d9::VertexBuffer*>(buffer)->uploadedBytes();
}

std::string port::testing::fontFile(HFONT font) {
    const gdi::Font* resolved = gdi::fontFromHandle(font);
    return resolved == nullptr ? std::string() : resolved->file();
}

std::string port::testing::fontFamily(HFONT font) {
    const gdi::Font* resolved = gdi::fontFromHandle(font);
    return resolved == nullptr ? std::string() : resolved->family();
}

unsigned port::testing::fontGlyphIndex(HFONT font, unsigned char c) {
    const gdi::Font* resolved = gdi::fontFromHandle(font);
    return resolved == nullptr ? 0 : resolved->glyphIndex(c);
}
