#include "engine/resources/file_cache.h"

#include <algorithm>
#include <cstdio>

#include <windows.h>

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

void FileCache::load(const std::string& name) {
    if (find(name) != nullptr) {
        return;
    }
    FILE* file = std::fopen(("data/" + name).c_str(), "rb");
    if (file == nullptr) {
        file = std::fopen(name.c_str(), "rb");
    }
    if (file == nullptr) {
        // A name asked for again (an effect looked up on every draw) is tried again, but the
        // user hears about it once.
        if (std::find(reportedMissing.begin(), reportedMissing.end(), name) ==
            reportedMissing.end()) {
            reportedMissing.push_back(name);
            MessageBoxA(nullptr, ("Couldn't open file!\n" + name).c_str(), "error", MB_OK);
        }
        return;
    }
    std::fseek(file, 0, SEEK_END);
    const auto size = static_cast<uint32_t>(std::ftell(file));
    // Kept for the rest of the run; a short read leaves the rest of the block unset.
    auto* data = new unsigned char[size == 0 ? 1 : size];
    std::fseek(file, 0, SEEK_SET);
    const size_t read = std::fread(data, 1, size, file);
    static_cast<void>(read);
    entries.push_back({name, data, size});
    std::fclose(file);
}

std::string preloadFile(const char* name) {
    return preloadFile(std::string(name));
}

std::string preloadFile(const std::string& name) {
    FileCache::instance()->load(name);
    return name;
}

} // namespace velmo
