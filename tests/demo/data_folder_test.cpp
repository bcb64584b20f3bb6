// Which folder's data/ the program runs from: the working folder's when it holds the
// production's files, else the program's own; neither, and the user is told once.
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "demo/data_folder.h"
#include "support/message_boxes.h"
#include "support/scratch.h"

namespace {

namespace fs = std::filesystem;

// What a folder holds under data/.
enum class Data {
    None,       // no data/ at all
    Empty,      // an empty data/
    Unrelated,  // another program's files
    Production, // the production's files
    Damaged,    // a few of the production's files, the rest lost
};

void make(const fs::path& folder, Data data) {
    fs::create_directories(folder);
    const fs::path dir = folder / "data";
    switch (data) {
    case Data::None:
        return;
    case Data::Empty:
        fs::create_directory(dir);
        return;
    case Data::Unrelated:
        fs::create_directories(dir / "cache");
        writeFile((dir / "notes.txt").string(), "notes", 5);
        writeFile((dir / "scores.csv").string(), "1,2", 3);
        return;
    case Data::Production:
        fs::create_directory(dir);
        for (const char* name : {"loading.jpg", "SolidObject.fxo", "talo.x", "mirel.vek"}) {
            writeFile((dir / name).string(), "x", 1);
        }
        return;
    case Data::Damaged:
        fs::create_directory(dir);
        writeFile((dir / "corvena (short version) 192kbps.mp3").string(), "x", 1);
        return;
    }
}

enum class Chosen { Working, Program, Neither };

struct FolderCase {
    const char* name;
    Data working, program;
    Chosen chosen;
};

void PrintTo(const FolderCase& c, std::ostream* out) {
    *out << c.name;
}

class DataFolder : public ::testing::TestWithParam<FolderCase> {
protected:
    void TearDown() override { fs::current_path(started); }
    const fs::path started = fs::current_path();
    ScratchDir scratch;
};

TEST_P(DataFolder, IsTheFirstThatHoldsTheProductionsFiles) {
    const FolderCase c = GetParam();
    const fs::path working = scratch.path() / "working", program = scratch.path() / "program";
    make(working, c.working);
    make(program, c.program);
    fs::current_path(working);
    MessageBoxRecorder boxes;
    ::testing::internal::CaptureStderr();

    const bool found = dataFolderFound(program);

    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(found, c.chosen != Chosen::Neither);
    EXPECT_TRUE(
        fs::equivalent(fs::current_path(), c.chosen == Chosen::Program ? program : working));
    if (c.chosen == Chosen::Neither) {
        EXPECT_EQ(said, "velmo 08: no data folder: \"data\" with the production's files is neither "
                        "in the working folder nor beside the program\n");
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].caption, "error");
        EXPECT_EQ(boxes.boxes()[0].text.find("The data folder was not found!"), 0u);
    } else {
        EXPECT_EQ(said, "");
        EXPECT_TRUE(boxes.boxes().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataFolder,
    ::testing::Values(
        FolderCase{"WorkingHoldsThem", Data::Production, Data::Production, Chosen::Working},
        FolderCase{"OnlyWorkingHoldsThem", Data::Production, Data::None, Chosen::Working},
        FolderCase{"NoDataHere", Data::None, Data::Production, Chosen::Program},
        FolderCase{"EmptyDataHere", Data::Empty, Data::Production, Chosen::Program},
        FolderCase{"UnrelatedDataHere", Data::Unrelated, Data::Production, Chosen::Program},
        // A damaged copy is still the production's: its missing files are
        // reported by name when they are read.
        FolderCase{"DamagedDataHere", Data::Damaged, Data::Production, Chosen::Working},
        FolderCase{"DamagedDataOnlyBesideTheProgram", Data::Unrelated, Data::Damaged,
                   Chosen::Program},
        FolderCase{"UnrelatedAndEmpty", Data::Unrelated, Data::Empty, Chosen::Neither},
        FolderCase{"NoneAnywhere", Data::None, Data::None, Chosen::Neither}),
    [](const auto& info) { return std::string(info.param.name); });

// The program's folder is the executable's.
TEST(ProgramFolder, IsTheExecutablesFolder) {
    EXPECT_EQ(programFolder(), fs::read_symlink("/proc/self/exe").parent_path());
}

} // namespace
