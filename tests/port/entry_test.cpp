// Where and whether the program starts: the working folder it runs in (its own when data/ is
// not in the one it was started from), and video that never falls back to a driver without a
// display unless one is asked for.
#include <cstdlib>
#include <filesystem>

#include <SDL.h>
#include <gtest/gtest.h>

#include "support/scratch.h"
#include "win32/program_folder.h"
#include "win32/window_table.h"

namespace {

namespace fs = std::filesystem;

class ProgramFolder : public ::testing::Test {
protected:
    void TearDown() override { fs::current_path(started); }

    const fs::path started = fs::current_path();
    ScratchDir scratch;
};

TEST_F(ProgramFolder, WithoutDataHereTheProgramsOwnFolderIsEntered) {
    fs::current_path(scratch.path());
    const fs::path program = fs::read_symlink("/proc/self/exe").parent_path();
    EXPECT_EQ(port::win32::enterProgramFolder(), program);
    EXPECT_EQ(fs::current_path(), program);
}

TEST_F(ProgramFolder, WithDataHereTheWorkingFolderStays) {
    fs::create_directory(scratch.path() / "data");
    fs::current_path(scratch.path());
    EXPECT_EQ(port::win32::enterProgramFolder(), fs::current_path());
    EXPECT_TRUE(fs::equivalent(fs::current_path(), scratch.path()));
}

// With no display named and no driver asked for, video does not start (and says so) rather
// than open windows on a driver nobody can see.
TEST(Video, WithoutADisplayNoDriverStartsUnlessOneIsAskedFor) {
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(port::win32::ensureVideo());
    EXPECT_TRUE(port::win32::videoFailed());
    EXPECT_EQ(SDL_GetCurrentVideoDriver(), nullptr);
}

TEST(Video, ADisplaylessDriverStartsWhenAskedFor) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    unsetenv("DISPLAY");
    ASSERT_TRUE(port::win32::ensureVideo());
    EXPECT_FALSE(port::win32::videoFailed());
    EXPECT_STREQ(SDL_GetCurrentVideoDriver(), "offscreen");
}

} // namespace
