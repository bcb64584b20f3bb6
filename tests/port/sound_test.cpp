#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <sys/resource.h>

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

// An audio device lost while it plays: SDL's disk driver writes the sound to a file, and a file
// size limit makes its writes fail, which SDL reports as the device lost. From then on the
// position follows the port's clock from where it was (not SDL's timer, which would drift),
// never going back; about a second later the device is opened again (the file is written
// anew) and the position follows the sound from the same place.
TEST(Sound, ALostAudioDeviceHandsThePositionToTheClockAndIsOpenedAgain) {
    ScratchDir dir;
    writeToneMp3(dir.file("tone.mp3"), 30.0);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", dir.file("out.raw").c_str(), 1);
    // A write past the limit fails with EFBIG instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = {};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit previousLimit = limit;
    limit.rlim_cur = 64 * 1024; // about 0.4 s of sound
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);

    DWORD now = 100;
    port::testing::setClock([&now] { return now; });
    Playing p = play(dir.file("tone.mp3"));
    ASSERT_EQ(p.played, FMOD_OK);

    // The clock stands still: only the device moves the position, until the device is lost.
    unsigned position = 0, lostAt = 0;
    const auto start = std::chrono::steady_clock::now();
    unsigned previous = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
        ASSERT_EQ(p.channel->getPosition(&position, FMOD_TIMEUNIT_MS), FMOD_OK);
        ASSERT_GE(position, previous);
        if (position == previous && position > 0) {
            // Two readings a while apart that agree: the position no longer follows the
            // device.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            p.channel->getPosition(&position, FMOD_TIMEUNIT_MS);
            if (position == previous) {
                lostAt = position;
                break;
            }
        }
        previous = position;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_GT(lostAt, 0u) << "the position kept moving with the clock standing still";
    EXPECT_LT(lostAt, 1500u);

    // Now the clock moves the position, exactly.
    now += 300;
    ASSERT_EQ(p.channel->getPosition(&position, FMOD_TIMEUNIT_MS), FMOD_OK);
    EXPECT_EQ(position, lostAt + 300);
    now += 400;
    ASSERT_EQ(p.channel->getPosition(&position, FMOD_TIMEUNIT_MS), FMOD_OK);
    EXPECT_EQ(position, lostAt + 700);

    // A second after the loss the device opens again and plays on from the same place.
    std::filesystem::remove(dir.file("out.raw"));
    now += 300;
    ASSERT_EQ(p.channel->getPosition(&position, FMOD_TIMEUNIT_MS), FMOD_OK);
    EXPECT_GE(position, lostAt + 1000);
    const unsigned reopenedAt = position;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(p.channel->getPosition(&position, FMOD_TIMEUNIT_MS), FMOD_OK);
    EXPECT_GT(position, reopenedAt) << "the reopened device does not move the position";
    EXPECT_LT(position, reopenedAt + 1000);
    EXPECT_TRUE(std::filesystem::exists(dir.file("out.raw")));

    release(p);
    port::testing::setClock({});
    setrlimit(RLIMIT_FSIZE, &previousLimit);
}

} // namespace
