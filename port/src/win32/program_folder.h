// The folder the program starts in.
#pragma once

#include <filesystem>

namespace port::win32 {

// Makes the executable's folder the working folder when the working folder has no data/
// folder, so the program finds its data wherever it is started from. Returns the working
// folder afterwards.
std::filesystem::path enterProgramFolder();

} // namespace port::win32
