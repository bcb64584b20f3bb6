// velmo_models: writes every model file of the production into a folder.
//
//   velmo_models OUTDIR
//
// Each file has one generator (generators.h); the table below names the files, their
// generators and whether the program loads the file with its normals negated (the writer then
// stores them negated, so they point the intended way after loading). Files are built on
// worker threads; each file's bytes depend only on its generator. Prints one line per file:
// name, triangle count, milliseconds.
#include <chrono>
#include <cstdio>
#include <exception>
#include <future>
#include <string>
#include <vector>

#include "generators.h"
#include "geometry.h"
#include "threeds.h"
#include "xfile.h"

namespace {

using namespace models;

struct ModelFile {
    const char* name;
    Frame (*make)();
    bool negatedOnLoad;
};

const ModelFile kModels[] = {
    {"block1.x", makeBlock1, true},
    {"piippu.3ds", makePiippu, true},
    {"lolo.x", makeLolo, true},
    {"harmonia.x", makeHarmonia, true},
    {"chain.x", makeChain, false},
    {"koriste.x", makeKoriste, false},
    {"liberty.x", makeLiberty, false},
    {"talo.x", makeTalo, true},
    {"talomaa.x", makeTalomaa, true},
    {"rattais.x", makeRattais, true},
    {"SkyTeaPot.x", makeSkyTeaPot, true},
    {"quellan2.x", makeQuellan2, false},
    {"quelmobile2.x", makeQuelmobile2, false},
    {"town.x", makeTown, false},
    {"valot.x", makeValot, false},
};

// Builds and writes one file; returns its report line.
std::string writeModel(const ModelFile& file, const std::string& folder) {
    auto start = std::chrono::steady_clock::now();
    Frame root = file.make();
    std::string path = folder + "/" + file.name;
    std::string name = file.name;
    if (name.size() > 4 && name.substr(name.size() - 4) == ".3ds")
        write3dsFile(root, path);
    else
        writeXFile(root, file.negatedOnLoad, path);
    auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
    char line[160];
    std::snprintf(line, sizeof line, "%-16s %6zu triangles %8.1f ms", file.name,
                  triangleCount(root), ms.count());
    return line;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmo_models OUTDIR\n");
        return 2;
    }
    std::string folder = argv[1];
    std::vector<std::future<std::string>> jobs;
    for (const ModelFile& file : kModels)
        jobs.push_back(std::async(std::launch::async, writeModel, std::cref(file), folder));
    int failures = 0;
    for (auto& job : jobs) {
        try {
            std::printf("%s\n", job.get().c_str());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "velmo_models: %s\n", e.what());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
