#include "engine/resources/file_cache.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>

#include "engine/resources/data_file.h"

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
    DataFile file;
    const bool opened = file.open("data/" + name) || file.open(name);
    // An entry holds at most 4 GiB - 1 bytes: a larger file is not cut to its low 32 bits but
    // taken as one that cannot be opened, as is one there is no memory for.
    const char* unreadable = nullptr;
    unsigned char* data = nullptr;
    if (opened && file.size() > UINT32_MAX) {
        unreadable = "is larger than 4 GiB";
    } else if (opened) {
        data = new (std::nothrow) unsigned char[file.size() == 0 ? 1 : file.size()];
        if (data == nullptr) {
            unreadable = "does not fit into memory";
        }
    }
    if (data == nullptr) {
        // A name asked for again (an effect looked up on every draw) is tried again, but the
        // user hears about it once.
        if (std::find(reportedMissing.begin(), reportedMissing.end(), name) ==
            reportedMissing.end()) {
            reportedMissing.push_back(name);
            if (unreadable != nullptr) {
                std::fprintf(stderr, "velmo 08: %s %s (%llu bytes): it is not read\n", name.c_str(),
                             unreadable, static_cast<unsigned long long>(file.size()));
            }
            reportUnopenedFile(name);
        }
        return;
    }
    const auto size = static_cast<uint32_t>(file.size());
    // Kept for the rest of the run. A file that gives fewer bytes than its size (cut short
    // while it is read) keeps its size, and what did not arrive reads as zeros.
    const size_t read = file.read(data, size);
    std::fill(data + read, data + size, 0);
    entries.push_back({name, data, size});
}

std::string preloadFile(const char* name) {
    return preloadFile(std::string(name));
}

std::string preloadFile(const std::string& name) {
    FileCache::instance()->load(name);
    return name;
}

} // namespace velmo
