#pragma once

#include <string>

namespace velmo {

// Has the file cache read the named file, so that textures and effects can be made from it.
void preloadFile(const std::string& name);

} // namespace velmo
