// The generated loading picture, as the build leaves it in data/: a 16:9 JPEG with the light
// title over a dark background, the same bytes on every run.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/images.h"
#include "support/scratch.h"

namespace {

const char* const kPicture = "data/loading.jpg";

std::vector<unsigned char> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(LoadingPicture, IsASixteenByNineJpegWithALightTitleOverADarkBackground) {
    std::vector<unsigned char> bytes = readBytes(kPicture);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF); // JPEG start-of-image marker
    EXPECT_EQ(bytes[1], 0xD8);

    RgbImage p = loadRgbImage(kPicture);
    ASSERT_FALSE(p.rgb.empty()) << "not a readable JPEG";
    EXPECT_EQ(p.width * 9, p.height * 16) << p.width << " x " << p.height;
    EXPECT_GE(p.width, 1024);

    // Corners: dark. Title band (the middle third, upper half): white letters and warm ones.
    auto luminance = [](const unsigned char* c) {
        return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
    };
    const struct {
        int x, y;
    } corners[] = {{0, 0}, {p.width - 32, 0}, {0, p.height - 32}, {p.width - 32, p.height - 32}};
    for (const auto& corner : corners) {
        double sum = 0;
        for (int y = corner.y; y < corner.y + 32; ++y)
            for (int x = corner.x; x < corner.x + 32; ++x)
                sum += luminance(p.at(x, y));
        EXPECT_LT(sum / (32 * 32), 40.0) << "corner at " << corner.x << ", " << corner.y;
    }
    int white = 0, warm = 0;
    for (int y = p.height / 4; y < p.height / 2 + p.height / 8; ++y) {
        for (int x = p.width / 6; x < p.width * 5 / 6; ++x) {
            const unsigned char* c = p.at(x, y);
            if (c[0] > 220 && c[1] > 220 && c[2] > 220)
                ++white;
            if (c[0] > 220 && c[1] > 120 && c[1] < 200 && c[2] < 130)
                ++warm;
        }
    }
    EXPECT_GT(white, 3000) << "no light title letters";
    EXPECT_GT(warm, 1000) << "no warm accent in the title";
}

TEST(LoadingPicture, GeneratingAgainGivesIdenticalBytes) {
    ScratchDir dir;
    std::string out = dir.file("loading.jpg");
    std::string command = std::string("\"") + VELMO_LOADING_TOOL + "\" \"" + out + "\" > \"" +
                          dir.file("log.txt") + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<unsigned char> built = readBytes(kPicture), again = readBytes(out);
    ASSERT_FALSE(built.empty());
    EXPECT_TRUE(built == again);
}

} // namespace
