// velmo_textures: draws every texture that the models name into a folder.
//
//   velmo_textures OUTDIR
//
// Each file has one generator (the table below); ".png" files keep their alpha, ".jpg" files
// are written without it (quality 90). Files are drawn on worker threads; each file's bytes
// depend only on its generator. Prints one line per file: name, size, milliseconds.
#include <chrono>
#include <cstdio>
#include <exception>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "scenery_textures.h"

namespace {

using namespace textures;

struct TextureFile {
    const char* name;
    Canvas (*draw)();
};

const TextureFile kTextures[] = {
    {"talo_tower.jpg", taloTower},
    {"talo_walls.jpg", taloWalls},
    {"talo_roof.jpg", taloRoof},
    {"talo_spire.jpg", taloSpire},
    {"talomaa.jpg", talomaa},
    {"sky.jpg", sky},
    {"mobile_envelope.jpg", mobileEnvelope},
    {"town_grass.jpg", townGrass},
    {"town_lawn.jpg", townLawn},
    {"town_street.jpg", townStreet},
    {"town_pavement.jpg", townPavement},
    {"town_brick.jpg", townBrick},
    {"town_office.jpg", townOffice},
    {"town_plaster.jpg", townPlaster},
    {"town_roof.jpg", townRoof},
    {"town_tiles.jpg", townTiles},
    {"town_tree.png", townTree},
    {"town_conifer.png", townConifer},
    {"town_fence.png", townFence},
    {"town_signs.png", townSigns},
    {"town_billboard.png", townBillboard},
    {"town_flags.png", townFlags},
    {"valot_windows.jpg", valotWindows},
    {"valot_halo.jpg", valotHalo},
    {"valot_pool.jpg", valotPool},
};

// Draws and writes one file; returns its report line.
std::string writeTexture(const TextureFile& file, const std::string& folder) {
    auto start = std::chrono::steady_clock::now();
    Canvas canvas = file.draw();
    std::vector<uint8_t> rgba = canvas.bytes();
    std::string path = folder + "/" + file.name;
    std::string name = file.name;
    bool png = name.size() > 4 && name.substr(name.size() - 4) == ".png";
    int ok;
    if (png) {
        ok = stbi_write_png(path.c_str(), canvas.width, canvas.height, 4, rgba.data(),
                            canvas.width * 4);
    } else {
        std::vector<uint8_t> rgb;
        rgb.reserve(rgba.size() / 4 * 3);
        for (size_t i = 0; i < rgba.size(); i += 4)
            rgb.insert(rgb.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
        ok = stbi_write_jpg(path.c_str(), canvas.width, canvas.height, 3, rgb.data(), 90);
    }
    if (!ok)
        throw std::runtime_error("cannot write " + path);
    auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
    char line[160];
    std::snprintf(line, sizeof line, "%-22s %4d x %-4d %8.1f ms", file.name, canvas.width,
                  canvas.height, ms.count());
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
