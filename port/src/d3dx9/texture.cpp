// Textures from JPEG and PNG files in memory, decoded with stb_image.
#include <d3dx9.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "d3d9/texture.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace {

// An image as four float channels per pixel (red, green, blue, alpha), top row first.
struct Image {
    UINT width = 0;
    UINT height = 0;
    std::vector<float> rgba;
};

struct Tap {
    UINT index;
    float weight;
};

// Area weights along one axis: destination pixel i covers [i, i + 1) * source / destination of
// the source, and every source pixel it overlaps counts by the length of the overlap.
std::vector<std::vector<Tap>> areaWeights(UINT source, UINT destination) {
    std::vector<std::vector<Tap>> taps(destination);
    const double scale = double(source) / destination;
    for (UINT i = 0; i < destination; ++i) {
        const double lo = i * scale, hi = (i + 1) * scale;
        for (UINT j = static_cast<UINT>(lo); j < source && j < hi; ++j) {
            const double overlap = std::min(hi, j + 1.0) - std::max(lo, double(j));
            if (overlap > 0.0) {
                taps[i].push_back({j, static_cast<float>(overlap / scale)});
            }
        }
    }
    return taps;
}

Image resample(const Image& src, UINT width, UINT height) {
    if (src.width == width && src.height == height) {
        return src;
    }
    const auto across = areaWeights(src.width, width);
    const auto down = areaWeights(src.height, height);
    Image rows{width, src.height, std::vector<float>(size_t(width) * src.height * 4, 0.0f)};
    for (UINT y = 0; y < src.height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            float* out = &rows.rgba[(size_t(y) * width + x) * 4];
            for (const Tap& t : across[x]) {
                const float* in = &src.rgba[(size_t(y) * src.width + t.index) * 4];
                for (int c = 0; c < 4; ++c) {
                    out[c] += in[c] * t.weight;
                }
            }
        }
    }
    Image result{width, height, std::vector<float>(size_t(width) * height * 4, 0.0f)};
    for (UINT y = 0; y < height; ++y) {
        for (const Tap& t : down[y]) {
            const float* in = &rows.rgba[size_t(t.index) * width * 4];
            float* out = &result.rgba[size_t(y) * width * 4];
            for (size_t k = 0; k < size_t(width) * 4; ++k) {
                out[k] += in[k] * t.weight;
            }
        }
    }
    return result;
}

// Bytes B, G, R, A per pixel, as A8R8G8B8 and X8R8G8B8 lie in memory.
std::vector<unsigned char> toBgra(const Image& image, bool opaque) {
    std::vector<unsigned char> bytes(size_t(image.width) * image.height * 4);
    const auto byte = [](float v) {
        return static_cast<unsigned char>(std::clamp(std::lround(v), 0l, 255l));
    };
    for (size_t p = 0; p < size_t(image.width) * image.height; ++p) {
        const float* in = &image.rgba[p * 4];
        bytes[p * 4 + 0] = byte(in[2]);
        bytes[p * 4 + 1] = byte(in[1]);
        bytes[p * 4 + 2] = byte(in[0]);
        bytes[p * 4 + 3] = opaque ? 255 : byte(in[3]);
    }
    return bytes;
}

UINT powerOfTwoAtOrAbove(UINT n) {
    UINT p = 1;
    while (p < n && p <= UINT_MAX / 2) {
        p <<= 1;
    }
    return p;
}

bool isPng(const unsigned char* b, UINT size) {
    return size >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0;
}

bool isJpeg(const unsigned char* b, UINT size) {
    return size >= 3 && b[0] == 0xFF && b[1] == 0xD8;
}

} // namespace

HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* srcData,
                                                   UINT srcDataSize, UINT width, UINT height,
                                                   UINT mipLevels, DWORD usage, D3DFORMAT format,
                                                   D3DPOOL pool, DWORD, DWORD, D3DCOLOR colorKey,
                                                   D3DXIMAGE_INFO* srcInfo, PALETTEENTRY*,
                                                   IDirect3DTexture9** texture) {
    if (texture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *texture = nullptr;
    if (device == nullptr || srcData == nullptr || srcDataSize == 0 || colorKey != 0 ||
        (format != D3DFMT_UNKNOWN && format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8)) {
        return D3DERR_INVALIDCALL;
    }
    const auto* bytes = static_cast<const unsigned char*>(srcData);
    const bool png = isPng(bytes, srcDataSize);
    if ((!png && !isJpeg(bytes, srcDataSize)) || srcDataSize > UINT(INT_MAX)) {
        return D3DXERR_INVALIDDATA;
    }
    int w = 0, h = 0, channels = 0;
    std::unique_ptr<stbi_uc, decltype(&stbi_image_free)> decoded(
        stbi_load_from_memory(bytes, static_cast<int>(srcDataSize), &w, &h, &channels, 4),
        &stbi_image_free);
    if (decoded == nullptr || w <= 0 || h <= 0) {
        return D3DXERR_INVALIDDATA;
    }

    const bool alpha = channels == 2 || channels == 4;
    if (format == D3DFMT_UNKNOWN) {
        format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
    Image image{UINT(w), UINT(h), {}};
    image.rgba.assign(decoded.get(), decoded.get() + size_t(w) * size_t(h) * 4);
    decoded.reset();
    if (width == 0 || width == D3DX_DEFAULT) {
        width = powerOfTwoAtOrAbove(image.width);
    }
    if (height == 0 || height == D3DX_DEFAULT) {
        height = powerOfTwoAtOrAbove(image.height);
    }
    if (mipLevels == D3DX_DEFAULT) {
        mipLevels = 0;
    }

    IDirect3DTexture9* created = nullptr;
    HRESULT hr =
        device->CreateTexture(width, height, mipLevels, usage, format, pool, &created, nullptr);
    if (FAILED(hr)) {
        return hr;
    }
    auto* port = static_cast<port::d3d9::Texture*>(created);
    const bool opaque = format == D3DFMT_X8R8G8B8;
    Image level = resample(image, width, height);
    for (UINT i = 0; i < port->GetLevelCount(); ++i) {
        if (i > 0) {
            level = resample(level, std::max(level.width / 2, 1u), std::max(level.height / 2, 1u));
        }
        hr = port->writeLevel(i, toBgra(level, opaque).data());
        if (FAILED(hr)) {
            created->Release();
            return hr;
        }
    }

    if (srcInfo != nullptr) {
        *srcInfo = {image.width,
                    image.height,
                    1,
                    1,
                    alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8,
                    D3DRTYPE_TEXTURE,
                    png ? D3DXIFF_PNG : D3DXIFF_JPG};
    }
    *texture = created;
    return D3D_OK;
}
