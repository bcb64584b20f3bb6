// Whole data files read once and kept for the run, keyed by the name the caller gave.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmo {

// One file read whole: its name as the caller gave it, and its bytes, kept for the whole run.
struct FileCacheEntry {
    std::string name;
    const unsigned char* data = nullptr;
    uint32_t size = 0;
};

// The process-wide cache of whole files, from which textures and effects are made.
class FileCache {
public:
    // The single cache, created empty on first use and never freed.
    static FileCache* instance();

    // The entry of that exact name, or null when the file was never read.
    const FileCacheEntry* find(const std::string& name) const;

    // Reads "data/" + name, or else name itself, unless the name is cached already. Only a
    // regular file opens (not a directory or a pipe in its place), and only one of less than
    // 4 GiB is read. When neither opens, tells the user in a message box naming the file (once
    // per name for the run, however often the name is asked for again) and caches nothing; the
    // run goes on and whoever wanted the file does without it.
    void load(const std::string& name);

    std::vector<FileCacheEntry> entries;

private:
    FileCache() = default;

    // The names that could not be opened and have been reported already.
    std::vector<std::string> reportedMissing;
};

// Has the file cache read the named file and gives the name back, to be passed straight on to
// the texture or effect that is made from the file.
std::string preloadFile(const char* name);
std::string preloadFile(const std::string& name);

} // namespace velmo
