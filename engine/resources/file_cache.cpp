#include "engine/resources/file_cache.h"

namespace velmo {

FileCache* FileCache::instance() {
    static FileCache* cache = new FileCache;
    return cache;
}

const FileCacheEntry* FileCache::find(const std::string& name) const {
    for (const FileCacheEntry& entry : entries) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

// Reading files into the cache arrives with the resource loaders; nothing reads files yet.
void preloadFile(const std::string&) {}

} // namespace velmo
