#include <gtest/gtest.h>

#include "demo/main_loop.h"
#include "demo/timeline.h"

namespace {

struct PlanCase {
    float t;
    int line;
    int mode;
    DemoPart scene;
};

class Timeline : public ::testing::TestWithParam<PlanCase> {};

TEST_P(Timeline, PicksTheOverlayLineAndSceneOfTheFrame) {
    const PlanCase c = GetParam();
    const FramePlan plan = framePlanAt(c.t);
    EXPECT_EQ(plan.overlayLine, c.line) << "t = " << c.t;
    if (c.line >= 0) {
        EXPECT_EQ(plan.overlayMode, c.mode) << "t = " << c.t;
    }
    EXPECT_EQ(plan.scene, c.scene) << "t = " << c.t;
    EXPECT_EQ(updatePartAt(c.t), c.scene) << "t = " << c.t;
}

// Boundaries belong to the later span; lines 22 and 23 are never shown.
INSTANTIATE_TEST_SUITE_P(
    Boundaries, Timeline,
    ::testing::Values(PlanCase{0.0f, -1, 0, DemoPart::Intro}, PlanCase{42.0f, -1, 0, DemoPart::Intro},
                      PlanCase{42.01f, 0, 0, DemoPart::Intro}, PlanCase{48.0f, 0, 0, DemoPart::Intro},
                      PlanCase{48.01f, 1, 0, DemoPart::Intro}, PlanCase{51.99f, 1, 0, DemoPart::Intro},
                      PlanCase{52.0f, 2, 1, DemoPart::House}, PlanCase{55.99f, 2, 1, DemoPart::House},
                      PlanCase{56.0f, 3, 1, DemoPart::House}, PlanCase{76.5f, 8, 1, DemoPart::House},
                      PlanCase{128.49f, 21, 1, DemoPart::House},
                      PlanCase{128.5f, -1, 0, DemoPart::Harmonia},
                      PlanCase{154.99f, -1, 0, DemoPart::Harmonia},
                      PlanCase{155.0f, 24, 1, DemoPart::Finale},
                      PlanCase{217.0f, 39, 1, DemoPart::Finale}));

TEST(Timeline, MusicAt48SecondsIsJustPast48AndShowsLineOne) {
    const float t = demoTimeAt(48000);
    EXPECT_GT(t, 48.0f);
    EXPECT_EQ(framePlanAt(t).overlayLine, 1);
    EXPECT_EQ(demoTimeAt(0), 0.0f);
}

TEST(Timeline, HouseIntensityFollowsItsSpans) {
    const struct {
        float t;
        bool intense;
    } cases[] = {{52.0f, false}, {76.49f, false}, {76.5f, true},  {102.49f, true}, {102.5f, false},
                 {113.99f, false}, {114.0f, true}, {128.49f, true}};
    for (const auto& c : cases) {
        houseSceneIntense = !c.intense;
        updateDemo(c.t);
        EXPECT_EQ(houseSceneIntense, c.intense) << "t = " << c.t;
    }
}

TEST(Timeline, HarmoniaProgressRunsFromZeroAtItsStart) {
    harmoniaProgress = -1.0f;
    updateDemo(128.5f);
    EXPECT_EQ(harmoniaProgress, 0.0f);
    updateDemo(154.99f);
    EXPECT_NEAR(harmoniaProgress, 2.6163f, 1e-3f);
}

TEST(Timeline, IntensityAndProgressKeepTheirValuesOutsideTheirScenes) {
    houseSceneIntense = true;
    harmoniaProgress = 1.5f;
    updateDemo(10.0f);
    updateDemo(160.0f);
    EXPECT_TRUE(houseSceneIntense);
    EXPECT_EQ(harmoniaProgress, 1.5f);
}

TEST(Timeline, RenderStoresTheDemoTime) {
    renderDemo(130.25f);
    EXPECT_EQ(demoTime, 130.25f);
}

TEST(Timeline, DemoDisplayDefaultsKeepDepthAndTitle) {
    velmo::DisplaySettings s{1, 2, 32, true, "velmo 08", 1.0f};
    configureDisplaySettings(s);
    EXPECT_EQ(s.width, 640u);
    EXPECT_EQ(s.height, 480u);
    EXPECT_FALSE(s.fullscreen);
    EXPECT_EQ(s.aspectRatio, 16.0f / 9.0f);
    EXPECT_EQ(s.bitsPerPixel, 32u);
    EXPECT_STREQ(s.title, "velmo 08");
}

} // namespace
