// The whole production on damaged data: every data file missing in turn, a truncated model,
// texture, effect, font and music file, an empty music file, a spectrum file of 3 bytes, and a
// named pipe and a directory in place of an effect, a texture, a model, the music and the
// spectrum. Each case loads the demo from a copy of data/ with the one file damaged and shows a
// few frames of every scene: nothing may crash or wait, and the only message boxes are the ones
// for files that do not open, the file cache's and the music's.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "production_run.h"
#include "support/message_boxes.h"
#include "support/not_regular.h"
#include "support/scratch.h"

namespace fs = std::filesystem;

namespace {

// How the program reads a file, which decides what a damaged one gives.
enum class Reader {
    FileCache,    // textures and effects: a box when the file does not open, then done without
    ModelLoader,  // models: read by the importer; a file that does not parse gives no model
    FontRegistry, // fonts: faces registered from data/; without one the font is substituted
    Music,        // the stream: a box when it does not open; without it the demo time stays 0
    Spectrum,     // read whole; what is not whole rows reads as silence
};

enum class Damage { Missing, Truncated, Empty, ThreeBytes, Pipe, Directory };

struct Case {
    const char* file; // under data/
    Reader reader;
    Damage damage;
};

constexpr const char* kMusic = "corvena (short version) 192kbps.mp3";

// Every file of data/ the production reads, missing in turn, then the damaged ones.
const Case kCases[] = {
    {"loading.jpg", Reader::FileCache, Damage::Missing},
    {"moon.jpg", Reader::FileCache, Damage::Missing},
    {"pum.jpg", Reader::FileCache, Damage::Missing},
    {"moon_normal.jpg", Reader::FileCache, Damage::Missing},
    {"partikle.png", Reader::FileCache, Damage::Missing},
    {"sali2.jpg", Reader::FileCache, Damage::Missing},
    {"smog.jpg", Reader::FileCache, Damage::Missing},
    {"block.jpg", Reader::FileCache, Damage::Missing},
    {"chain.jpg", Reader::FileCache, Damage::Missing},
    {"langat.jpg", Reader::FileCache, Damage::Missing},
    {"liberty.jpg", Reader::FileCache, Damage::Missing},
    {"mobile_envelope.jpg", Reader::FileCache, Damage::Missing},
    {"sky.jpg", Reader::FileCache, Damage::Missing},
    {"talo_roof.jpg", Reader::FileCache, Damage::Missing},
    {"talo_spire.jpg", Reader::FileCache, Damage::Missing},
    {"talo_tower.jpg", Reader::FileCache, Damage::Missing},
    {"talo_walls.jpg", Reader::FileCache, Damage::Missing},
    {"talomaa.jpg", Reader::FileCache, Damage::Missing},
    {"town_billboard.png", Reader::FileCache, Damage::Missing},
    {"town_brick.jpg", Reader::FileCache, Damage::Missing},
    {"town_conifer.png", Reader::FileCache, Damage::Missing},
    {"town_fence.png", Reader::FileCache, Damage::Missing},
    {"town_flags.png", Reader::FileCache, Damage::Missing},
    {"town_grass.jpg", Reader::FileCache, Damage::Missing},
    {"town_lawn.jpg", Reader::FileCache, Damage::Missing},
    {"town_office.jpg", Reader::FileCache, Damage::Missing},
    {"town_pavement.jpg", Reader::FileCache, Damage::Missing},
    {"town_plaster.jpg", Reader::FileCache, Damage::Missing},
    {"town_roof.jpg", Reader::FileCache, Damage::Missing},
    {"town_signs.png", Reader::FileCache, Damage::Missing},
    {"town_street.jpg", Reader::FileCache, Damage::Missing},
    {"town_tiles.jpg", Reader::FileCache, Damage::Missing},
    {"town_tree.png", Reader::FileCache, Damage::Missing},
    {"valot_halo.jpg", Reader::FileCache, Damage::Missing},
    {"valot_pool.jpg", Reader::FileCache, Damage::Missing},
    {"valot_windows.jpg", Reader::FileCache, Damage::Missing},
    {"SolidObject.fxo", Reader::FileCache, Damage::Missing},
    {"data/HSVEffect.fxo", Reader::FileCache, Damage::Missing},
    {"MappedDistortion.fxo", Reader::FileCache, Damage::Missing},
    {"MappedBlur.fxo", Reader::FileCache, Damage::Missing},
    {"BloomEffect.fxo", Reader::FileCache, Damage::Missing},
    {"Quad.fxo", Reader::FileCache, Damage::Missing},
    {"block1.x", Reader::ModelLoader, Damage::Missing},
    {"piippu.3ds", Reader::ModelLoader, Damage::Missing},
    {"lolo.x", Reader::ModelLoader, Damage::Missing},
    {"talo.x", Reader::ModelLoader, Damage::Missing},
    {"talomaa.x", Reader::ModelLoader, Damage::Missing},
    {"rattais.x", Reader::ModelLoader, Damage::Missing},
    {"harmonia.x", Reader::ModelLoader, Damage::Missing},
    {"SkyTeaPot.x", Reader::ModelLoader, Damage::Missing},
    {"quellan2.x", Reader::ModelLoader, Damage::Missing},
    {"quelmobile2.x", Reader::ModelLoader, Damage::Missing},
    {"town.x", Reader::ModelLoader, Damage::Missing},
    {"valot.x", Reader::ModelLoader, Damage::Missing},
    {"chain.x", Reader::ModelLoader, Damage::Missing},
    {"koriste.x", Reader::ModelLoader, Damage::Missing},
    {"liberty.x", Reader::ModelLoader, Damage::Missing},
    {"Shadowed Black Wide.ttf", Reader::FontRegistry, Damage::Missing},
    {"CHOPS___.TTF", Reader::FontRegistry, Damage::Missing},
    {kMusic, Reader::Music, Damage::Missing},
    {"mirel.vek", Reader::Spectrum, Damage::Missing},

    {"talo.x", Reader::ModelLoader, Damage::Truncated},
    {"moon.jpg", Reader::FileCache, Damage::Truncated},
    {"SolidObject.fxo", Reader::FileCache, Damage::Truncated},
    {"CHOPS___.TTF", Reader::FontRegistry, Damage::Truncated},
    {kMusic, Reader::Music, Damage::Truncated},
    {kMusic, Reader::Music, Damage::Empty},
    {"mirel.vek", Reader::Spectrum, Damage::ThreeBytes},

    {"SolidObject.fxo", Reader::FileCache, Damage::Pipe},
    {"SolidObject.fxo", Reader::FileCache, Damage::Directory},
    {"moon.jpg", Reader::FileCache, Damage::Pipe},
    {"moon.jpg", Reader::FileCache, Damage::Directory},
    {"town.x", Reader::ModelLoader, Damage::Pipe},
    {"town.x", Reader::ModelLoader, Damage::Directory},
    {kMusic, Reader::Music, Damage::Pipe},
    {kMusic, Reader::Music, Damage::Directory},
    {"mirel.vek", Reader::Spectrum, Damage::Pipe},
    {"mirel.vek", Reader::Spectrum, Damage::Directory},
};

// Whether the file does not open: missing, or no regular file.
bool doesNotOpen(Damage damage) {
    return damage == Damage::Missing || damage == Damage::Pipe || damage == Damage::Directory;
}

// Files in data/ that only the tests read.
const std::set<std::string> kTestOnlyFiles = {"TestEffect.fxo", "SceneTestEffect.fxo"};

const char* damageName(Damage damage) {
    static const char* const names[] = {"Missing",    "Truncated", "Empty",
                                        "ThreeBytes", "Pipe",      "Directory"};
    return names[int(damage)];
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    std::string name = damageName(info.param.damage);
    name += '_';
    for (const char* c = info.param.file; *c != '\0'; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    }
    return name;
}

void PrintTo(const Case& c, std::ostream* out) {
    *out << damageName(c.damage) << " data/" << c.file;
}

// The files of the build's data/, as paths relative to it.
std::vector<std::string> dataFiles(const fs::path& data) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path().lexically_relative(data).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A few frames from each scene's start, as the clock would reach them.
const unsigned kSceneStartsMs[] = {0,      42000,  47000,  52000,  77000, 128500,
                                   135000, 155000, 170000, 206000, 216800};

class BadData : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        build = fs::current_path();
        // A copy of data/ that links to the real files, with the case's file damaged.
        const fs::path data = build / "data";
        const fs::path copy = scratch.path() / "data";
        for (const std::string& file : dataFiles(data)) {
            fs::create_directories((copy / file).parent_path());
            if (file != GetParam().file) {
                fs::create_symlink(data / file, copy / file);
            }
        }
        const fs::path damaged = copy / GetParam().file;
        const auto size = fs::file_size(data / GetParam().file);
        switch (GetParam().damage) {
        case Damage::Missing:
            break;
        case Damage::Truncated:
            fs::copy_file(data / GetParam().file, damaged);
            fs::resize_file(damaged, size / 2);
            break;
        case Damage::Empty:
            writeFile(damaged.string(), "", 0);
            break;
        case Damage::ThreeBytes:
            fs::copy_file(data / GetParam().file, damaged);
            fs::resize_file(damaged, 3);
            break;
        case Damage::Pipe:
            makeNotRegular(damaged.string(), NotRegular::Pipe);
            break;
        case Damage::Directory:
            makeNotRegular(damaged.string(), NotRegular::Directory);
            break;
        }
        fs::current_path(scratch.path());
    }
    void TearDown() override { fs::current_path(build); }

    fs::path build;
    ScratchDir scratch;
};

TEST(BadDataTable, NamesEveryFileOfDataThatTheProductionReads) {
    std::set<std::string> named;
    for (const Case& c : kCases) {
        named.insert(c.file);
    }
    for (const std::string& file : dataFiles(fs::current_path() / "data")) {
        if (kTestOnlyFiles.count(file) == 0) {
            EXPECT_EQ(named.count(file), 1u) << file << " has no case";
        }
    }
}

TEST_P(BadData, TheRunGoesOnWithTheStatedBehaviour) {
    std::vector<RecordedBox> boxes;
    {
        // Nothing waits on a pipe: a run that does fails here, long before the suite's limit.
        const Deadline deadline(150);
        ProductionRun run(320, 240, false,
                          [&](HWND, const char* text, const char* caption, UINT type) {
                              boxes.push_back({text, caption, type});
                              return IDOK;
                          });
        ASSERT_TRUE(run.ready());
        EXPECT_EQ(run.musicPlays(),
                  GetParam().reader != Reader::Music || GetParam().damage == Damage::Truncated);
        for (unsigned start : kSceneStartsMs) {
            run.skipTo(start);
            for (unsigned ms = start; ms <= start + 100; ms += 50) {
                run.frameAt(ms);
                ASSERT_FALSE(run.over()) << "at " << ms << " ms";
            }
        }
    }
    // A file that opens gives no box, however damaged; an effect, texture or the music that
    // does not gives the box naming it, once for the run however often it is asked for. Music
    // that gives no sound (an empty file) gives the same box.
    const bool boxExpected =
        (doesNotOpen(GetParam().damage) &&
         (GetParam().reader == Reader::FileCache || GetParam().reader == Reader::Music)) ||
        (GetParam().reader == Reader::Music && GetParam().damage == Damage::Empty);
    EXPECT_EQ(boxes.size(), boxExpected ? 1u : 0u);
    for (const RecordedBox& box : boxes) {
        // The name as the production asks for it, with or without "data/" in front.
        const std::string first = "Couldn't open file!\n";
        EXPECT_TRUE(box.text == first + GetParam().file ||
                    box.text == first + "data/" + GetParam().file)
            << box.text;
        EXPECT_EQ(box.caption, "error");
        EXPECT_EQ(box.type, UINT(MB_OK));
    }
}

INSTANTIATE_TEST_SUITE_P(Files, BadData, ::testing::ValuesIn(kCases), caseName);

} // namespace
