// One shared effect per effect file name, made from the file cache's bytes on first use.
#pragma once

#include <string>
#include <vector>

#include <d3dx9.h>

namespace velmo {

struct EffectCacheEntry {
    std::string name;
    ID3DXEffect* effect = nullptr; // null when creation failed
    // What the failed creation had: the file cache's bytes (null: none) and the device.
    const unsigned char* failedBytes = nullptr;
    IDirect3DDevice9* failedDevice = nullptr;
    // Whether the reason a creation failed has been said; it is said once for the file.
    bool reported = false;
};

class EffectCache {
public:
    // The single cache, created empty on first use.
    static EffectCache* instance();
    // The single cache, or null when none was made; the program's shutdown deletes it and
    // clears this pointer.
    static EffectCache* single;

    // Releases every effect it made.
    ~EffectCache();
    EffectCache(const EffectCache&) = delete;
    EffectCache& operator=(const EffectCache&) = delete;

    EffectCacheEntry* find(const std::string& name);
    // The effect of that file, made on first use: the file cache reads the file (a name that
    // opens neither way shows its box), then the effect is created from its bytes. Null when
    // that fails; a failed name is tried again on the next call, but only made again when the
    // file's bytes or the device are other than what the failure had (the same would fail the
    // same way, at the cost of a parse and a message on every draw). The first failure's reason
    // goes to standard error with the file's name.
    ID3DXEffect* get(const std::string& name);
    void releaseAll();

    std::vector<EffectCacheEntry> entries;

private:
    EffectCache() = default;
};

} // namespace velmo
