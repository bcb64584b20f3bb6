#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>

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

// A path that is missing, not an mp3, or not a regular file (a named pipe, whose open would
// wait for a writer, or a directory) fails at once.
TEST(Sound, MissingUndecodableOrIrregularFilesGiveNoChannel) {
    ScratchDir dir;
    const char junk[] = "this is not an mp3 file at all";
    writeFile(dir.file("junk.mp3"), junk, sizeof junk);
    ASSERT_EQ(mkfifo(dir.file("pipe.mp3").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder.mp3"));
    for (const std::string& path : {dir.file("missing.mp3"), dir.file("junk.mp3"),
                                    dir.file("pipe.mp3"), dir.file("folder.mp3")}) {
        const auto start = std::chrono::steady_clock::now();
        Playing p = play(path);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << path;
        EXPECT_NE(p.created, FMOD_OK) << path;
        EXPECT_EQ(p.sound, nullptr);
        EXPECT_NE(p.played, FMOD_OK);
        EXPECT_EQ(p.channel, nullptr);
        release(p);
    }
}

// Seconds of sound in a raw 16-bit stereo 44.1 kHz file up to its last sample that is not
// silent.
double soundUpToLastNonSilentSample(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    const auto* samples = reinterpret_cast<const int16_t*>(bytes.data());
    size_t n = bytes.size() / sizeof(int16_t);
    while (n > 0 && samples[n - 1] == 0) {
        --n;
    }
    return static_cast<double>(n) / (2 * 44100);
}

struct DamageCase {
    const char* name;
    size_t at, size;  // bytes of the mp3 overwritten with noise; size 0: to the end
    double heardPast; // seconds: the sound goes on at least this far
};

class DamagedStream : public ::testing::TestWithParam<DamageCase> {};

// Noise over part of an mp3 file: decoding skips it and goes on to the real end of the file;
// noise up to the end still ends the stream. SDL's disk driver, without its delay, plays the
// stream as fast as it decodes into a file, where the last sound shows how far decoding went
// (the noise may decode to some frames of its own).
TEST_P(DamagedStream, DecodesPastTheDamageToTheEnd) {
    const DamageCase c = GetParam();
    ScratchDir dir;
    writeToneMp3(dir.file("tone.mp3"), 30.0); // 128 kbit/s: 16 KB a second
    std::vector<char> mp3;
    {
        std::ifstream in(dir.file("tone.mp3"), std::ios::binary);
        mp3.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::mt19937 noise(7);
    const size_t end = c.size == 0 ? mp3.size() : c.at + c.size;
    ASSERT_LT(c.at, mp3.size());
    for (size_t i = c.at; i < end; ++i) {
        mp3[i] = static_cast<char>(noise());
    }
    writeFile(dir.file("damaged.mp3"), mp3.data(), mp3.size());
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", dir.file("out.raw").c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);

    Playing p = play(dir.file("damaged.mp3"));
    ASSERT_EQ(p.created, FMOD_OK);
    ASSERT_EQ(p.played, FMOD_OK);
    unsigned position = 0;
    const auto start = std::chrono::steady_clock::now();
    while (p.channel->getPosition(&position, FMOD_TIMEUNIT_MS) == FMOD_OK &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NE(p.channel->getPosition(&position, FMOD_TIMEUNIT_MS), FMOD_OK)
        << "the stream never ended";
    release(p); // closes the device, so the file holds all it was given
    EXPECT_GE(soundUpToLastNonSilentSample(dir.file("out.raw")), c.heardPast);
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedStream,
                         ::testing::Values(
                             // 8.75 s of tone, 12.5 s of noise, 8.75 s of tone
                             DamageCase{"InTheMiddle", 140000, 200000, 17.0},
                             DamageCase{"ToTheEnd", 160000, 0, 9.5}),
                         [](const auto& info) { return std::string(info.param.name); });

// A device that asks for far less than it plays, as a sound server does that leaves a new
// stream waiting behind seconds it had buffered: SDL's disk driver, told to wait half a second
// after each buffer of 23 ms. The position still follows the wall clock, a little behind it,
// never going back, and the stream, skipping what the device missed, ends on time.
TEST(Sound, AStalledDeviceLeavesThePositionOnTheClock) {
    ScratchDir dir;
    writeToneMp3(dir.file("tone.mp3"), 2.0);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", dir.file("out.raw").c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "500", 1);
    Playing p = play(dir.file("tone.mp3"));
    ASSERT_EQ(p.played, FMOD_OK);
    const auto start = std::chrono::steady_clock::now();
    unsigned position = 0, previous = 0;
    for (;;) {
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count();
        if (p.channel->getPosition(&position, FMOD_TIMEUNIT_MS) != FMOD_OK) {
            EXPECT_GT(elapsed, 1700) << "the stream ended early";
            EXPECT_LT(elapsed, 3500) << "the stream ended late";
            break;
        }
        ASSERT_GE(position, previous);
        ASSERT_LT(elapsed, 3500) << "the stream never ended; position " << position;
        EXPECT_GE(position + 250, static_cast<unsigned>(elapsed)) << "the position fell behind";
        EXPECT_LE(position, static_cast<unsigned>(elapsed) + 50) << "the position ran ahead";
        previous = position;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    release(p);
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
