#include <gtest/gtest.h>
#include <port_testing.h>

#include "demo/main_loop.h"
#include "demo/timeline.h"
#include "support/engine_fixture.h"
#include "support/scratch.h"

namespace {

class MainLoop : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        port::testing::setClock([this] { return now; });
        spectrum = SpectrumData::load(dir.file("missing.vek"));
    }
    void TearDown() override {
        port::testing::setClock({});
        EngineTest::TearDown();
    }

    DWORD now = 1000;
    LoopClock clock{1000, 1000, 0};
    ScratchDir dir;
    SpectrumData spectrum;
};

TEST_F(MainLoop, AFrameRunsOneUpdatePerWhole50MsAndKeepsTheRest) {
    const struct {
        DWORD frameMs;
        unsigned updates;
        DWORD kept;
    } frames[] = {{120, 2, 20}, {10, 0, 30}, {20, 1, 0}, {49, 0, 49}, {1, 1, 0}};
    for (const auto& f : frames) {
        now += f.frameMs;
        const FrameReport r = runFrame(*engine->window, device, nullptr, clock, spectrum);
        EXPECT_EQ(r.updates, f.updates) << "after a " << f.frameMs << " ms frame";
        EXPECT_EQ(clock.accumulator, f.kept) << "after a " << f.frameMs << " ms frame";
    }
}

TEST_F(MainLoop, TheFrameAtTheRunLengthCompletesThenTheLoopEnds) {
    now += runLengthMs - 1;
    runFrame(*engine->window, device, nullptr, clock, spectrum);
    EXPECT_FALSE(engine->window->quit);
    clock.accumulator = 0;

    now += 1; // exactly 217000 ms since the start
    const unsigned presentsBefore = port::testing::presentCount(device);
    demoTime = -1.0f;
    const FrameReport r = runFrame(*engine->window, device, nullptr, clock, spectrum);
    EXPECT_TRUE(engine->window->quit);
    EXPECT_TRUE(port::testing::isMinimised(engine->window->window));
    EXPECT_EQ(demoTime, 0.0f); // rendered, with t = 0 since no music plays
    EXPECT_EQ(port::testing::presentCount(device), presentsBefore + 1);
    EXPECT_EQ(r.updates, 0u);
}

TEST_F(MainLoop, ClocksWrapAround) {
    now = clock.start = clock.previousFrame = 0xFFFFFFF0u;
    now += 0x60; // wraps past zero: a 96 ms frame
    const FrameReport r = runFrame(*engine->window, device, nullptr, clock, spectrum);
    EXPECT_EQ(r.updates, 1u);
    EXPECT_EQ(clock.accumulator, 46u);
    EXPECT_FALSE(engine->window->quit);
}

TEST_F(MainLoop, BarsAroundThePictureAreBlackAndTheLetterboxIsSetForTheScene) {
    runFrame(*engine->window, device, nullptr, clock, spectrum);
    D3DVIEWPORT9 vp;
    device->GetViewport(&vp);
    EXPECT_EQ(vp.X, 0u);
    EXPECT_EQ(vp.Y, 60u);
    EXPECT_EQ(vp.Width, 640u);
    EXPECT_EQ(vp.Height, 359u);
}

TEST_F(MainLoop, EscapeDuringTheRunFinishesTheFrame) {
    port::testing::pressKey(engine->window->window, VK_ESCAPE);
    const unsigned presentsBefore = port::testing::presentCount(device);
    runFrame(*engine->window, device, nullptr, clock, spectrum);
    EXPECT_TRUE(engine->window->quit);
    EXPECT_EQ(port::testing::presentCount(device), presentsBefore + 1);
}

} // namespace
