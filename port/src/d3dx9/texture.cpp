// Textures from JPEG and PNG files in memory, decoded with stb_image.
#include <d3dx9.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <type_traits>
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

// The decoded file as it came: four bytes per pixel (red, green, blue, alpha), top row first.
// It is the one copy of the whole image; levels are made from it without widening it first.
struct DecodedImage {
    UINT width = 0;
    UINT height = 0;
    const stbi_uc* rgba = nullptr;
};

template <typename Source> const auto* pixels(const Source& image) {
    if constexpr (std::is_same_v<Source, Image>) {
        return image.rgba.data();
    } else {
        return image.rgba;
    }
}

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

template <typename Source> Image resample(const Source& src, UINT width, UINT height) {
    const auto* in = pixels(src);
    if (src.width == width && src.height == height) {
        return {width, height, std::vector<float>(in, in + size_t(width) * height * 4)};
    }
    const auto across = areaWeights(src.width, width);
    const auto down = areaWeights(src.height, height);
    // Across first, then down, one source row at a time: the row resampled across is kept
    // while consecutive destination rows share it, and no image-sized intermediate is made.
    std::vector<float> row(size_t(width) * 4);
    UINT rowIndex = UINT_MAX;
    Image result{width, height, std::vector<float>(size_t(width) * height * 4, 0.0f)};
    for (UINT y = 0; y < height; ++y) {
        float* out = &result.rgba[size_t(y) * width * 4];
        for (const Tap& t : down[y]) {
            if (t.index != rowIndex) {
                rowIndex = t.index;
                std::fill(row.begin(), row.end(), 0.0f);
                for (UINT x = 0; x < width; ++x) {
                    float* o = &row[size_t(x) * 4];
                    for (const Tap& a : across[x]) {
                        const auto* p = &in[(size_t(t.index) * src.width + a.index) * 4];
                        for (int c = 0; c < 4; ++c) {
                            o[c] += static_cast<float>(p[c]) * a.weight;
                        }
                    }
                }
            }
            for (size_t k = 0; k < size_t(width) * 4; ++k) {
                out[k] += row[k] * t.weight;
            }
        }
    }
    return result;
}

// Bytes B, G, R, A per pixel, as A8R8G8B8 and X8R8G8B8 lie in memory.
template <typename Source> std::vector<unsigned char> toBgra(const Source& image, bool opaque) {
    const auto* rgba = pixels(image);
    std::vector<unsigned char> bytes(size_t(image.width) * image.height * 4);
    const auto byte = [](auto v) {
        if constexpr (std::is_same_v<decltype(v), float>) {
            return static_cast<unsigned char>(std::clamp(std::lround(v), 0l, 255l));
        } else {
            return static_cast<unsigned char>(v);
        }
    };
    for (size_t p = 0; p < size_t(image.width) * image.height; ++p) {
        const auto* in = &rgba[p * 4];
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
    // The header first: an image larger than the device can hold is refused before anything
    // is decoded.
    int w = 0, h = 0, channels = 0;
    if (stbi_info_from_memory(bytes, static_cast<int>(srcDataSize), &w, &h, &channels) == 0 ||
        w <= 0 || h <= 0) {
        return D3DXERR_INVALIDDATA;
    }
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    const bool defaultWidth = width == 0 || width == D3DX_DEFAULT;
    const bool defaultHeight = height == 0 || height == D3DX_DEFAULT;
    if (defaultWidth) {
        width = powerOfTwoAtOrAbove(UINT(w));
    }
    if (defaultHeight) {
        height = powerOfTwoAtOrAbove(UINT(h));
    }
    if (maxSize <= 0 || UINT(w) > UINT(maxSize) || UINT(h) > UINT(maxSize) ||
        (defaultWidth && width > UINT(maxSize)) || (defaultHeight && height > UINT(maxSize))) {
        return D3DXERR_INVALIDDATA;
    }
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
    const DecodedImage image{UINT(w), UINT(h), decoded.get()};
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
    // Beside the decoded image only the level being made and its upload exist at a time. A
    // level 0 of the image's own size is uploaded straight from the decoded bytes.
    const bool sameSize = image.width == width && image.height == height;
    Image level;
    if (!sameSize) {
        level = resample(image, width, height);
        decoded.reset();
    }
    for (UINT i = 0; i < port->GetLevelCount(); ++i) {
        if (i == 1 && sameSize) {
            level = resample(image, std::max(width / 2, 1u), std::max(height / 2, 1u));
        } else if (i > 0) {
            level = resample(level, std::max(level.width / 2, 1u), std::max(level.height / 2, 1u));
        }
        if (i == 1 && sameSize) {
            decoded.reset();
        }
        hr = port->writeLevel(
            i, (i == 0 && sameSize ? toBgra(image, opaque) : toBgra(level, opaque)).data());
        if (FAILED(hr)) {
            created->Release();
            return hr;
        }
    }

    if (srcInfo != nullptr) {
        *srcInfo = {UINT(w),
                    UINT(h),
                    1,
                    1,
                    alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8,
                    D3DRTYPE_TEXTURE,
                    png ? D3DXIFF_PNG : D3DXIFF_JPG};
    }
    *texture = created;
    return D3D_OK;
}
