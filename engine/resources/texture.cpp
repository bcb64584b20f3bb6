#include "engine/resources/texture.h"

#include <d3dx9.h>

#include "engine/resources/device_state.h"
#include "engine/resources/file_cache.h"

namespace velmo {

Texture::Texture() : record(std::make_unique<Record>()) {}

Texture::~Texture() {
    if (record->texture != nullptr) {
        record->texture->Release();
    }
}

void Texture::load(const std::string& name) {
    loadFromMemory(name);
}

void Texture::loadFromMemory(const std::string& name) {
    if (record->loaded) {
        return;
    }
    // Never a file read here: only what the cache already holds.
    const FileCacheEntry* entry = FileCache::instance()->find(name);
    const void* bytes = entry != nullptr ? entry->data : nullptr;
    const UINT size = entry != nullptr ? entry->size : 0;

    D3DXIMAGE_INFO info = {};
    IDirect3DTexture9* created = nullptr;
    const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
        Device::instance()->state->device, bytes, size, D3DX_DEFAULT, D3DX_DEFAULT, 0, 0,
        D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER, D3DX_FILTER_BOX,
        0, &info, nullptr, &created);
    if (FAILED(hr)) {
        return;
    }
    D3DSURFACE_DESC desc = {};
    created->GetLevelDesc(0, &desc);
    record->texture = created;
    record->width = desc.Width;
    record->height = desc.Height;
    record->sourceWidth = info.Width;
    record->sourceHeight = info.Height;
    record->scaleU = 1.0f;
    record->scaleV = 1.0f;
    record->loaded = true;
}

} // namespace velmo
