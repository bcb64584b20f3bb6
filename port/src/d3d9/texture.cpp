#include "d3d9/texture.h"

#include <port_testing.h>

#include <algorithm>

#include "d3d9/device.h"
#include "d3d9/formats.h"
#include "d3d9/surface.h"

namespace port::d3d9 {

namespace {

UINT fullChainLength(UINT width, UINT height) {
    UINT n = 1;
    for (UINT size = std::max(width, height); size > 1; size >>= 1) {
        ++n;
    }
    return n;
}

} // namespace

HRESULT Texture::create(Device* device, UINT width, UINT height, UINT levelCount, DWORD usage,
                        D3DFORMAT format, D3DPOOL pool, Texture** result) {
    if (result == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *result = nullptr;
    const ColorFormat* cf = colorFormat(format);
    const bool renderTarget = (usage & D3DUSAGE_RENDERTARGET) != 0;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    const UINT fullChain = fullChainLength(width, height);
    if (cf == nullptr || width == 0 || height == 0 || width > UINT(maxSize) ||
        height > UINT(maxSize) || levelCount > fullChain ||
        (usage & ~DWORD(D3DUSAGE_RENDERTARGET)) != 0 ||
        (pool != D3DPOOL_DEFAULT && (renderTarget || pool != D3DPOOL_MANAGED))) {
        return D3DERR_INVALIDCALL;
    }
    if (levelCount == 0) {
        levelCount = fullChain;
    }

    while (glGetError() != GL_NO_ERROR) {
    }
    auto* texture = new Texture(device);
    const ScopedTextureBinding keep;
    glGenTextures(1, &texture->glTexture);
    glBindTexture(GL_TEXTURE_2D, texture->glTexture);
    for (UINT i = 0; i < levelCount; ++i) {
        const UINT w = std::max(width >> i, 1u), h = std::max(height >> i, 1u);
        glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), static_cast<GLint>(cf->internalFormat),
                     static_cast<GLsizei>(w), static_cast<GLsizei>(h), 0, cf->format, cf->type,
                     nullptr);
        texture->levels.push_back(
            new Surface(device, texture, i, surfaceDesc(w, h, format, usage, pool)));
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levelCount - 1));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    levelCount > 1 ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, cf->swizzle.data());
    if (glGetError() != GL_NO_ERROR) {
        texture->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *result = texture;
    return D3D_OK;
}

Texture::~Texture() {
    for (Surface* level : levels) {
        delete level;
    }
    if (owner != nullptr && glTexture != 0 && owner->makeCurrent()) {
        owner->glState().forgetTexture(glTexture);
        glDeleteTextures(1, &glTexture);
    }
}

void Texture::detach() {
    if (glTexture != 0) {
        glDeleteTextures(1, &glTexture);
        glTexture = 0;
    }
    owner = nullptr;
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (level >= levels.size() || desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    return levels[level]->GetDesc(desc);
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
    if (surface == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *surface = nullptr;
    if (level >= levels.size() || owner == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    AddRef();
    *surface = levels[level];
    return D3D_OK;
}

HRESULT Texture::writeLevel(UINT level, const void* pixels) {
    if (level >= levels.size() || pixels == nullptr || owner == nullptr || !owner->makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    owner->sendClear(levels[level]);
    const D3DSURFACE_DESC& d = levels[level]->desc();
    const ColorFormat* cf = colorFormat(d.Format);
    const ScopedTextureBinding keep;
    glBindTexture(GL_TEXTURE_2D, glTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(d.Width),
                    static_cast<GLsizei>(d.Height), cf->format, cf->type, pixels);
    return D3D_OK;
}

HRESULT Texture::readLevel(UINT level, std::vector<unsigned char>& pixels) {
    if (level >= levels.size() || owner == nullptr || !owner->makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    owner->sendClear(levels[level]);
    const D3DSURFACE_DESC& d = levels[level]->desc();
    const ColorFormat* cf = colorFormat(d.Format);
    pixels.assign(size_t(d.Width) * d.Height * cf->bytesPerPixel, 0);
    const ScopedTextureBinding keep;
    glBindTexture(GL_TEXTURE_2D, glTexture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(level), cf->format, cf->type, pixels.data());
    return D3D_OK;
}

} // namespace port::d3d9

std::vector<unsigned char> port::testing::textureLevelPixels(IDirect3DTexture9* texture,
                                                             UINT level) {
    std::vector<unsigned char> pixels;
    if (texture == nullptr ||
        FAILED(static_cast<port::d3d9::Texture*>(texture)->readLevel(level, pixels))) {
        pixels.clear();
    }
    return pixels;
}
