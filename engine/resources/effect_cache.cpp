#include "engine/resources/effect_cache.h"

#include <cstdio>

#include "engine/platform/log.h"
#include "engine/resources/device_state.h"
#include "engine/resources/file_cache.h"

namespace velmo {

EffectCache* EffectCache::single = nullptr;

EffectCache* EffectCache::instance() {
    if (single == nullptr) {
        single = new EffectCache;
    }
    return single;
}

EffectCache::~EffectCache() {
    releaseAll();
}

EffectCacheEntry* EffectCache::find(const std::string& name) {
    for (EffectCacheEntry& entry : entries) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

ID3DXEffect* EffectCache::get(const std::string& name) {
    EffectCacheEntry* entry = find(name);
    if (entry != nullptr && entry->effect != nullptr) {
        return entry->effect;
    }
    // Effects are made only from cached bytes; reading the file here first means every effect
    // file the engine names is found, not only the ones someone preloaded.
    FileCache::instance()->load(name);
    const FileCacheEntry* file = FileCache::instance()->find(name);
    const unsigned char* bytes = file != nullptr ? file->data : nullptr;
    IDirect3DDevice9* device = Device::instance()->state->device;
    if (entry != nullptr && entry->failedBytes == bytes && entry->failedDevice == device) {
        return nullptr;
    }
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT hr = D3DXCreateEffect(device, bytes, file != nullptr ? file->size : 0, nullptr,
                                        nullptr, 0, nullptr, &effect, &errors);
    if (FAILED(hr)) {
        lookUp(hr);
        effect = nullptr;
    }
    if (entry == nullptr) {
        entries.push_back({name, effect});
        entry = &entries.back();
    } else {
        entry->effect = effect;
    }
    // Why the effect was not made, with the file's name, once for the file: a user who edits
    // an effect file sees which file and line to fix.
    if (errors != nullptr) {
        if (!entry->reported) {
            entry->reported = true;
            std::fprintf(stderr, "velmo 08: effect %s: %s\n", name.c_str(),
                         static_cast<const char*>(errors->GetBufferPointer()));
        }
        errors->Release();
    }
    entry->failedBytes = effect == nullptr ? bytes : nullptr;
    entry->failedDevice = effect == nullptr ? device : nullptr;
    return entry->effect;
}

void EffectCache::releaseAll() {
    for (EffectCacheEntry& entry : entries) {
        if (entry.effect != nullptr) {
            entry.effect->Release();
            entry.effect = nullptr;
        }
    }
}

} // namespace velmo
