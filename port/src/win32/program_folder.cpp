#include "win32/program_folder.h"

#include <system_error>

namespace port::win32 {

std::filesystem::path enterProgramFolder() {
    std::error_code error;
    if (!std::filesystem::is_directory("data", error)) {
        const std::filesystem::path program =
            std::filesystem::read_symlink("/proc/self/exe", error);
        if (!error) {
            std::filesystem::current_path(program.parent_path(), error);
        }
    }
    return std::filesystem::current_path(error);
}

} // namespace port::win32
