#include "demo/data_folder.h"

#include <cstdio>
#include <system_error>

#include <windows.h>

namespace {

// The files the production reads from data/, by their names there. The folder is told apart
// by these alone.
constexpr const char* productionFiles[] = {
    "loading.jpg",
    "moon.jpg",
    "pum.jpg",
    "moon_normal.jpg",
    "partikle.png",
    "sali2.jpg",
    "smog.jpg",
    "block1.x",
    "piippu.3ds",
    "lolo.x",
    "talo.x",
    "talomaa.x",
    "rattais.x",
    "harmonia.x",
    "SkyTeaPot.x",
    "quellan2.x",
    "quelmobile2.x",
    "town.x",
    "valot.x",
    "chain.x",
    "koriste.x",
    "liberty.x",
    "SolidObject.fxo",
    "HSVEffect.fxo",
    "MappedDistortion.fxo",
    "MappedBlur.fxo",
    "BloomEffect.fxo",
    "Quad.fxo",
    "corvena (short version) 192kbps.mp3",
    "mirel.vek",
    "Shadowed Black Wide.ttf",
    "CHOPS___.TTF",
};

bool holdsProductionFiles(const std::filesystem::path& folder) {
    std::error_code error;
    const std::filesystem::path data = folder / "data";
    if (!std::filesystem::is_directory(data, error)) {
        return false;
    }
    for (const char* name : productionFiles) {
        if (std::filesystem::exists(data / name, error)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool dataFolderFound(const std::filesystem::path& programFolder) {
    std::error_code error;
    if (holdsProductionFiles(".")) {
        return true;
    }
    if (!programFolder.empty() && holdsProductionFiles(programFolder)) {
        std::filesystem::current_path(programFolder, error);
        if (!error) {
            return true;
        }
    }
    const char* text = "The data folder was not found!\n"
                       "velmo 08 needs its folder \"data\" in the folder it is started from "
                       "or beside the program.";
    std::fprintf(stderr, "velmo 08: no data folder: \"data\" with the production's files is "
                         "neither in the working folder nor beside the program\n");
    std::fflush(stderr);
    MessageBoxA(nullptr, text, "error", MB_OK | MB_ICONERROR);
    return false;
}

std::filesystem::path programFolder() {
    char path[4096];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return {};
    }
    return std::filesystem::path(path).parent_path();
}
