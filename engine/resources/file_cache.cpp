#include "engine/resources/file_cache.h"

namespace velmo {

// The whole-file cache arrives with the resource loaders; nothing reads files yet.
void preloadFile(const std::string&) {}

} // namespace velmo
