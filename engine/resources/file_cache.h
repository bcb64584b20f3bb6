#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmo {

// One file read whole: its name as the caller gave it, and its bytes, kept for the whole run.
struct FileCacheEntry {
    std::string name;
    unsigned char* data = nullptr;
    uint32_t size = 0;
};

// The process-wide cache of whole files, from which textures and effects are made.
class FileCache {
public:
    static FileCache* instance();

    // The entry of that exact name, or null when the file was never read.
    const FileCacheEntry* find(const std::string& name) const;

    std::vector<FileCacheEntry> entries;

private:
    FileCache() = default;
};

// Has the file cache read the named file, so that textures and effects can be made from it.
void preloadFile(const std::string& name);

} // namespace velmo
