// The model and texture tools write the same bytes on every run: running each again into a
// scratch folder reproduces every file the build left in data/.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/scratch.h"

namespace {

std::vector<char> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Regeneration, ModelAndTextureToolsWriteTheSameBytesAgain) {
    for (const char* tool : {VELMO_MODELS_TOOL, VELMO_TEXTURES_TOOL}) {
        SCOPED_TRACE(tool);
        ScratchDir dir;
        const std::string command =
            std::string("\"") + tool + "\" \"" + dir.path().string() + "\" > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            SCOPED_TRACE(entry.path().filename().string());
            ++files;
            const std::vector<char> again = readBytes(entry.path());
            EXPECT_FALSE(again.empty());
            EXPECT_TRUE(again == readBytes("data" / entry.path().filename()));
        }
        EXPECT_GT(files, 0);
    }
}

} // namespace
