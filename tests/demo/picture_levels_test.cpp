// The production as a viewer sees it: one frame inside each span of the timeline, rendered by
// the real program on the substituted clock, must be neither black nor a white blot. A frame
// fails when its mean grey lies below a floor (the scene all but invisible) or when too much
// of it is pure white (the scene burnt out).
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "production_run.h"

namespace {

struct Moment {
    const char* span;
    unsigned spanStartMs; // where the run starts, so the scene has its ordinary history
    unsigned ms;          // the frame looked at
    double meanGreyFloor; // about half of what the span reads at
};

std::ostream& operator<<(std::ostream& out, const Moment& m) {
    return out << m.span << " at " << m.ms / 1000.0 << " s";
}

// One time well inside each span: the intro's flight over the town, the first overlay line
// over it, the house and its arms with an overlay line, the harmonia arrangement between two
// programme phrases, and the finale's chains in their room once the anchors swing. Each floor
// lies at a half to two thirds of what its span reads at: the scenes differ, from a lit town
// at dusk to a dark room.
const Moment kMoments[] = {
    {"intro", 0, 31000, 0.07},         {"overlay over intro", 42000, 44000, 0.07},
    {"house", 52000, 90000, 0.07},     {"harmonia", 128500, 147000, 0.07},
    {"finale", 155000, 185000, 0.012},
};

// A tenth of the picture pure white is a blot, not a highlight.
constexpr double kWhiteShareCeiling = 0.10;

// The run steps from the span's start at this rate of demo time up to the frame looked at.
constexpr unsigned kFps = 10;

struct Levels {
    double meanGrey = 0.0;
    double whiteShare = 0.0;
};

Levels measure(const std::vector<unsigned char>& rgb) {
    Levels levels;
    const size_t pixels = rgb.size() / 3;
    if (pixels == 0) {
        return levels;
    }
    size_t white = 0;
    for (size_t i = 0; i < pixels; ++i) {
        const unsigned char* p = &rgb[3 * i];
        levels.meanGrey += (0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]) / 255.0;
        white += p[0] == 255 && p[1] == 255 && p[2] == 255;
    }
    levels.meanGrey /= static_cast<double>(pixels);
    levels.whiteShare = static_cast<double>(white) / static_cast<double>(pixels);
    return levels;
}

class PictureLevels : public ::testing::TestWithParam<Moment> {};

TEST_P(PictureLevels, FrameIsNeitherBlackNorBurntOut) {
    const Moment moment = GetParam();
    ProductionRun run(320, 240, false);
    ASSERT_TRUE(run.ready()) << run.problem();
    ASSERT_TRUE(run.musicPlays()) << run.problem();

    const unsigned from = moment.spanStartMs;
    run.skipTo(from);
    for (unsigned frame = 0;; ++frame) {
        const unsigned ms = from + frame * 1000 / kFps;
        if (ms >= moment.ms) {
            break;
        }
        run.frameAt(ms);
    }
    run.frameAt(moment.ms);

    unsigned width = 0;
    unsigned height = 0;
    const Levels levels = measure(run.backBufferRgb(width, height));
    ASSERT_EQ(width, 320u);
    ASSERT_EQ(height, 240u);
    std::printf("%s: mean grey %.4f, pure white %.4f\n", moment.span, levels.meanGrey,
                levels.whiteShare);
    EXPECT_GE(levels.meanGrey, moment.meanGreyFloor) << "the frame is all but black";
    EXPECT_LE(levels.whiteShare, kWhiteShareCeiling) << "the frame is burnt out";
}

INSTANTIATE_TEST_SUITE_P(Timeline, PictureLevels, ::testing::ValuesIn(kMoments),
                         [](const ::testing::TestParamInfo<Moment>& info) {
                             std::string name;
                             for (const char* c = info.param.span; *c; ++c) {
                                 name += *c == ' ' ? '_' : *c;
                             }
                             return name;
                         });

} // namespace
