// The test hooks that read the port's objects through their public interfaces or their
// handles' tables: surface read-back, the swap interval, buffer uploads and resolved fonts.
#include <port_testing.h>

#include <SDL.h>

#include "d3d9/buffers.h"
#include "gdi/objects.h"

std::vector<unsigned char> port::testing::surfacePixels(IDirect3DDevice9* device,
                                                        IDirect3DSurface9* surface) {
    if (device == nullptr || surface == nullptr) {
        return {};
    }
    D3DSURFACE_DESC desc = {};
    surface->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    std::vector<unsigned char> pixels;
    D3DLOCKED_RECT locked = {};
    if (SUCCEEDED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                      D3DPOOL_SYSTEMMEM, &copy, nullptr)) &&
        SUCCEEDED(device->GetRenderTargetData(surface, copy)) &&
        SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        const auto* bytes = static_cast<const unsigned char*>(locked.pBits);
        pixels.assign(bytes, bytes + size_t(locked.Pitch) * desc.Height);
        copy->UnlockRect();
    }
    if (copy != nullptr) {
        copy->Release();
    }
    return pixels;
}

std::vector<unsigned char> port::testing::surfaceRgb(IDirect3DDevice9* device,
                                                     IDirect3DSurface9* surface) {
    D3DSURFACE_DESC desc = {};
    if (surface == nullptr || FAILED(surface->GetDesc(&desc)) ||
        (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8)) {
        return {};
    }
    const std::vector<unsigned char> pixels = surfacePixels(device, surface);
    std::vector<unsigned char> rgb(pixels.size() / 4 * 3);
    for (size_t i = 0, o = 0; o < rgb.size(); i += 4, o += 3) {
        // In memory a pixel is blue, green, red, then alpha or unused.
        rgb[o] = pixels[i + 2];
        rgb[o + 1] = pixels[i + 1];
        rgb[o + 2] = pixels[i];
    }
    return rgb;
}

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
