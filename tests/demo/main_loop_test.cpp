#include <cstdlib>

#include <fmod.hpp>
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

// Music shorter than the run: while the stream plays the demo time is its position; once it
// has played to its end (the channel gives no position any more) the demo time goes on from
// the last position with the wall clock, neither stopping nor falling back to 0.
TEST_F(MainLoop, AfterTheMusicEndsTheDemoTimeFollowsTheWallClock) {
    // No audio device: the music position follows the substituted clock.
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    writeToneMp3(dir.file("short.mp3"), 1.0);
    FMOD::System* system = nullptr;
    FMOD::Sound* stream = nullptr;
    FMOD::Channel* channel = nullptr;
    FMOD_System_Create(&system);
    system->init(1, FMOD_INIT_NORMAL, nullptr);
    ASSERT_EQ(system->createStream(dir.file("short.mp3").c_str(), FMOD_2D | FMOD_SOFTWARE, nullptr,
                                   &stream),
              FMOD_OK);
    system->playSound(FMOD_CHANNEL_FREE, stream, false, &channel);
    ASSERT_NE(channel, nullptr);
    const DWORD musicStart = now;

    const struct {
        DWORD atMs; // since the music started
        bool playing;
    } frames[] = {{0, true},     {400, true},   {900, true},
                  {1300, false}, {5000, false}, {60000, false}};
    for (const auto& f : frames) {
        now = musicStart + f.atMs;
        unsigned position = 0;
        EXPECT_EQ(channel->getPosition(&position, FMOD_TIMEUNIT_MS) == FMOD_OK, f.playing)
            << f.atMs << " ms";
        EXPECT_EQ(musicPosition(channel, clock, now), f.atMs);
    }
    // Without music, or before it gives a position, the position is 0.
    LoopClock silent;
    EXPECT_EQ(musicPosition(nullptr, silent, now), 0u);
    system->release();
    stream->release();
}

} // namespace
