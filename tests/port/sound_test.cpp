#include <cstdlib>
#include <thread>

#include <fmod.hpp>
#include <gtest/gtest.h>
#include <port_testing.h>

#include "support/scratch.h"

namespace {

struct Playing {
    FMOD::System* system = nullptr;
    FMOD::Sound* sound = nullptr;
    FMOD::Channel* channel = nullptr;
    FMOD_RESULT created = FMOD_OK;
    FMOD_RESULT played = FMOD_OK;
};

// Stops the output first: the audio callback reads the stream until then.
void release(Playing& p) {
    p.system->release();
    if (p.sound != nullptr) {
        p.sound->release();
    }
}

Playing play(const std::string& path) {
    Playing p;
    FMOD_System_Create(&p.system);
    p.system->init(1, FMOD_INIT_NORMAL, nullptr);
    p.created = p.system->createStream(path.c_str(), FMOD_2D | FMOD_SOFTWARE, nullptr, &p.sound);
    p.played = p.system->playSound(FMOD_CHANNEL_FREE, p.sound, false, &p.channel);
    return p;
}

// The position advances with what is heard, smoothly and never backwards, and the channel
// ends with the stream.
TEST(Sound, StreamPositionAdvancesSmoothlyAndEndsWithTheStream) {
    ScratchDir dir;
    writeToneMp3(dir.file("tone.mp3"), 1.5);
    Playing p = play(dir.file("tone.mp3"));
    ASSERT_EQ(p.created, FMOD_OK);
    ASSERT_EQ(p.played, FMOD_OK);
    unsigned length = 0;
    p.sound->getLength(&length, FMOD_TIMEUNIT_MS);
    EXPECT_GE(length, 1500u); // the encoder pads the end of a raw stream
    EXPECT_LE(length, 1600u);

    unsigned previous = 0, largestStep = 0, last = 0;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(600)) {
        unsigned position = 0;
        ASSERT_EQ(p.channel->getPosition(&position, FMOD_TIMEUNIT_MS), FMOD_OK);
        ASSERT_GE(position, previous);
        largestStep = std::max(largestStep, position - previous);
        previous = last = position;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GT(last, 300u);
    EXPECT_LT(largestStep, 40u) << "the position jumps between audio callbacks";

    std::this_thread::sleep_for(std::chrono::milliseconds(1600));
    unsigned position = 0;
    EXPECT_NE(p.channel->getPosition(&position, FMOD_TIMEUNIT_MS), FMOD_OK);
    EXPECT_EQ(position, 0u);
    release(p);
}

TEST(Sound, MissingOrUndecodableFilesGiveNoChannel) {
    ScratchDir dir;
    const char junk[] = "this is not an mp3 file at all";
    writeFile(dir.file("junk.mp3"), junk, sizeof junk);
    for (const std::string& path : {dir.file("missing.mp3"), dir.file("junk.mp3")}) {
        Playing p = play(path);
        EXPECT_NE(p.created, FMOD_OK) << path;
        EXPECT_EQ(p.sound, nullptr);
        EXPECT_NE(p.played, FMOD_OK);
        EXPECT_EQ(p.channel, nullptr);
        release(p);
    }
}

// Without an audio device the position follows the clock alone.
TEST(Sound, WithoutAnAudioDeviceThePositionFollowsTheClock) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    DWORD now = 100;
    port::testing::setClock([&now] { return now; });
    ScratchDir dir;
    writeToneMp3(dir.file("tone.mp3"), 1.0);
    Playing p = play(dir.file("tone.mp3"));
    ASSERT_EQ(p.played, FMOD_OK);
    unsigned position = 1;
    ASSERT_EQ(p.channel->getPosition(&position, FMOD_TIMEUNIT_MS), FMOD_OK);
    EXPECT_EQ(position, 0u);
    now += 420;
    p.channel->getPosition(&position, FMOD_TIMEUNIT_MS);
    EXPECT_EQ(position, 420u);
    now += 2000;
    EXPECT_NE(p.channel->getPosition(&position, FMOD_TIMEUNIT_MS), FMOD_OK);
    port::testing::setClock({});
    release(p);
}

} // namespace
