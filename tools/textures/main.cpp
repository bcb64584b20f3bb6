// velmo_textures: writes every texture file of the production into a folder.
//
//   velmo_textures OUTDIR
//
// The table below names each file and the function that draws it (textures.h); the format
// follows the extension (.jpg or .png). Files are drawn on worker threads. Prints one line per
// file: name, size, milliseconds.
#include <chrono>
#include <cstdio>
#include <exception>
#include <future>
#include <string>
#include <vector>

#include "textures.h"

namespace {

using namespace textures;

struct TextureFile {
    const char* name;
    Image (*make)();
};

const TextureFile kTextures[] = {
    {"moon.jpg", makeMoon},
    {"moon_normal.jpg", makeMoonNormal},
    {"pum.jpg", makePum},
    {"partikle.png", makePartikle},
    {"sali2.jpg", makeSali2},
    {"smog.jpg", makeSmog},
    {"block.jpg", makeBlock},
    {"langat.jpg", makeLangat},
    {"chain.jpg", makeChain},
    {"liberty.jpg", makeLiberty},
    {"talo_tower.jpg", makeTaloTower},
    {"talo_walls.jpg", makeTaloWalls},
    {"talo_roof.jpg", makeTaloRoof},
    {"talo_spire.jpg", makeTaloSpire},
    {"talomaa.jpg", makeTalomaa},
    {"sky.jpg", makeSky},
    {"mobile_envelope.jpg", makeMobileEnvelope},
    {"town_grass.jpg", makeTownGrass},
    {"town_lawn.jpg", makeTownLawn},
    {"town_street.jpg", makeTownStreet},
    {"town_pavement.jpg", makeTownPavement},
    {"town_brick.jpg", makeTownBrick},
    {"town_office.jpg", makeTownOffice},
    {"town_plaster.jpg", makeTownPlaster},
    {"town_roof.jpg", makeTownRoof},
    {"town_tiles.jpg", makeTownTiles},
    {"town_tree.png", makeTownTree},
    {"town_conifer.png", makeTownConifer},
    {"town_fence.png", makeTownFence},
    {"town_signs.png", makeTownSigns},
    {"town_billboard.png", makeTownBillboard},
    {"town_flags.png", makeTownFlags},
    {"valot_windows.jpg", makeValotWindows},
    {"valot_halo.jpg", makeValotHalo},
    {"valot_pool.jpg", makeValotPool},
};

std::string writeTexture(const TextureFile& file, const std::string& folder) {
    auto start = std::chrono::steady_clock::now();
    Image image = file.make();
    writeImage(image, folder + "/" + file.name);
    auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
    char line[160];
    std::snprintf(line, sizeof line, "%-20s %4d x %-4d %8.1f ms", file.name, image.width(),
                  image.height(), ms.count());
    return line;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmo_textures OUTDIR\n");
        return 2;
    }
    std::string folder = argv[1];
    std::vector<std::future<std::string>> jobs;
    for (const TextureFile& file : kTextures)
        jobs.push_back(std::async(std::launch::async, writeTexture, std::cref(file), folder));
    int failures = 0;
    for (auto& job : jobs) {
        try {
            std::printf("%s\n", job.get().c_str());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "velmo_textures: %s\n", e.what());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
