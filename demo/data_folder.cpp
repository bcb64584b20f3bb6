#include "demo/data_folder.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include <windows.h>

bool dataFolderFound() {
    std::error_code error;
    if (std::filesystem::is_directory("data", error)) {
        return true;
    }
    const char* text = "The data folder was not found!\n"
                       "velmo 08 needs its folder \"data\" in the folder it is started from "
                       "or beside the program.";
    std::fprintf(stderr, "velmo 08: no data folder: \"data\" is neither in the working folder "
                         "nor beside the program\n");
    std::fflush(stderr);
    MessageBoxA(nullptr, text, "error", MB_OK | MB_ICONERROR);
    return false;
}
