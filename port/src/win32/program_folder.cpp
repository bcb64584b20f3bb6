#include "win32/program_folder.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include <windows.h>

namespace port::win32 {

namespace {

std::filesystem::path programPath(std::error_code& error) {
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

} // namespace

std::filesystem::path enterProgramFolder() {
    std::error_code error;
    if (!std::filesystem::is_directory("data", error)) {
        const std::filesystem::path program = programPath(error);
        if (!error) {
            std::filesystem::current_path(program.parent_path(), error);
        }
    }
    return std::filesystem::current_path(error);
}

} // namespace port::win32

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    std::error_code error;
    const std::filesystem::path program = port::win32::programPath(error);
    if (module != nullptr || error || fileName == nullptr || size == 0) {
        return 0;
    }
    const std::string text = program.string();
    const size_t copied = std::min<size_t>(text.size(), size - 1);
    std::memcpy(fileName, text.data(), copied);
    fileName[copied] = '\0';
    return copied < text.size() ? size : static_cast<DWORD>(copied);
}
