#include <cmath>
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
#include <lame/lame.h>
#include <port_testing.h>

#include "support/scratch.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// The port's audio device takes a stream in buffers of this many frames; the position may run a
// buffer ahead of what a read a moment before saw, as a callback hands the device a new one.
constexpr unsigned deviceBufferFrames = 1024;
// How far the position may fall behind the time the stream has played before it follows the
// clock (a stalled device), and how far behind the clock a stream that skipped after a stall
// goes on.
constexpr double stallMs = 200;
constexpr double afterStallMs = 100;

double bufferMs(int rate) {
    return deviceBufferFrames * 1000.0 / rate;
}

double msBetween(SteadyClock::time_point from, SteadyClock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Playing {
    FMOD::System* system = nullptr;
    FMOD::Sound* sound = nullptr;
    FMOD::Channel* channel = nullptr;
    FMOD_RESULT created = FMOD_OK;
    FMOD_RESULT played = FMOD_OK;
    // Around playSound: the stream started to play between the two.
    SteadyClock::time_point playCalled, playReturned;
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
    p.playCalled = SteadyClock::now();
    p.played = p.system->playSound(FMOD_CHANNEL_FREE, p.sound, false, &p.channel);
    p.playReturned = SteadyClock::now();
    return p;
}

// A reading of the position with the least and the most time the stream can have played when
// it was taken: from playSound's return to the read's call, and from playSound's call to the
// read's return. However late the test's thread runs, the real time lies between the two.
struct Reading {
    FMOD_RESULT result = FMOD_OK;
    unsigned position = 0;
    SteadyClock::time_point called, returned;
    double least = 0, most = 0;
};

Reading read(const Playing& p) {
    Reading r;
    r.called = SteadyClock::now();
    r.result = p.channel->getPosition(&r.position, FMOD_TIMEUNIT_MS);
    r.returned = SteadyClock::now();
    r.least = msBetween(p.playReturned, r.called);
    r.most = msBetween(p.playCalled, r.returned);
    return r;
}

// Reads the position every few milliseconds until the stream ends (or long after it should
// have), returning the readings, the last one the first that failed.
std::vector<Reading> readUntilTheEnd(const Playing& p, unsigned lengthMs) {
    std::vector<Reading> readings;
    do {
        readings.push_back(read(p));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (readings.back().result == FMOD_OK &&
             readings.back().least < lengthMs + stallMs + 10000);
    return readings;
}

// What the position promises while a device plays the stream, compared with the time that
// really passed, so that it holds however the scheduler runs the test and the device's thread:
// it never goes back; it is never ahead of the time the stream has played (beyond what a
// device that runs fast by the fraction fastBy takes) nor behind it by more than a stall; a
// step between two readings is no larger than the time between them plus a device buffer,
// unless the stream skips after a stall, which leaves it no nearer the clock than the skip
// does; and the stream ends when it has played its length, not before and at most a stall
// after.
void expectOnTheClock(const std::vector<Reading>& readings, unsigned lengthMs, int rate,
                      double fastBy) {
    ASSERT_FALSE(readings.empty());
    const Reading* previous = nullptr;
    for (const Reading& r : readings) {
        const std::string at = "at " + std::to_string(r.least) + "-" + std::to_string(r.most) +
                               " ms, position " + std::to_string(r.position);
        if (r.result != FMOD_OK) {
            EXPECT_GE(r.most * (1 + fastBy) + 1, lengthMs) << "the stream ended early, " << at;
            EXPECT_EQ(r.position, 0u) << "an ended stream gave a position";
            break;
        }
        EXPECT_LT(r.least, lengthMs + stallMs + 1) << "the stream did not end, " << at;
        EXPECT_LE(r.position, r.most * (1 + fastBy) + 1) << "the position ran ahead, " << at;
        EXPECT_GE(r.position + stallMs + 1, r.least) << "the position fell behind, " << at;
        if (previous != nullptr) {
            ASSERT_GE(r.position, previous->position) << "the position went back, " << at;
            const double passed = msBetween(previous->called, r.returned);
            const bool steady =
                r.position <= previous->position + passed * (1 + fastBy) + bufferMs(rate) + 1;
            const bool caughtUp = r.position + afterStallMs <= r.most * (1 + fastBy) + 1;
            EXPECT_TRUE(steady || caughtUp)
                << "the position jumps by " << r.position - previous->position << " ms in "
                << passed << " ms, " << at;
        }
        previous = &r;
    }
    EXPECT_NE(readings.back().result, FMOD_OK) << "the stream never ended";
}

// SDL's disk driver writes what the device is given to a file, waiting delayMs after each
// buffer; without a wait it takes the stream as fast as it decodes.
void recordToFile(const std::string& path, unsigned delayMs) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", std::to_string(delayMs).c_str(), 1);
}

// The wait after each buffer with which the disk driver plays at the pace of the sound: whole
// milliseconds, rounded up, so that the device never runs ahead of the wall clock.
unsigned playingPace(int rate) {
    return static_cast<unsigned>(std::ceil(bufferMs(rate)));
}

// With the port's clock standing still, the position moves once the device plays, from where
// it was when the device opened, and never ahead of the real time since.
void expectFollowsTheDevice(const Playing& p, const Reading& opened) {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const Reading r = read(p);
        ASSERT_EQ(r.result, FMOD_OK);
        EXPECT_LE(r.position, opened.position + msBetween(opened.called, r.returned) + 1)
            << "the position ran ahead of the device";
        if (r.position > opened.position) {
            return;
        }
        ASSERT_LT(msBetween(opened.returned, r.called), 20000) << "the device does not play";
    }
}

// Seconds of sound in a raw 16-bit stereo file at the given rate, from its first sample that is
// not silent to its last: SDL writes silence while a device is paused, before the stream starts.
double recordedSoundSeconds(const std::string& path, int rate) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    const auto* samples = reinterpret_cast<const int16_t*>(bytes.data());
    size_t first = 0, end = bytes.size() / sizeof(int16_t);
    while (end > 0 && samples[end - 1] == 0) {
        --end;
    }
    while (first < end && samples[first] == 0) {
        ++first;
    }
    return static_cast<double>(end - first) / (2 * rate);
}

// The position advances with what is heard, smoothly and never backwards, and the channel
// ends with the stream. SDL's dummy driver asks for a buffer and then sleeps for as long as
// one plays, in whole milliseconds rounded down: it may run up to a percent fast.
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

    const std::vector<Reading> readings = readUntilTheEnd(p, length);
    expectOnTheClock(readings, length, 44100, 0.01);
    release(p);
}

// A RIFF WAVE file of a 16-bit stereo 44.1 kHz tone, some 40 MB: another kind of sound file
// under an mp3's name.
void writeWave(const std::string& path) {
    constexpr uint32_t frames = 44100 * 230;
    std::vector<int16_t> samples(size_t(frames) * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] =
            static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440.0 * double(i / 2) / 44100));
    }
    const uint32_t dataBytes = frames * 4;
    std::ofstream out(path, std::ios::binary);
    const auto u32 = [&out](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&out](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    out.write("data", 4);
    u32(dataBytes);
    out.write(reinterpret_cast<const char*>(samples.data()), std::streamsize(dataBytes));
}

// An mp3 file that holds only its tags, a title at the start and at the end, and no frame.
void writeTagsOnly(const std::string& path) {
    std::string tag = "ID3";
    tag += std::string{3, 0, 0}; // version 2.3, no flags
    const std::string title = std::string(1, '\0') + "velmo tag only";
    std::string frame = "TIT2";
    frame += std::string{0, 0, 0, char(title.size())} + std::string(2, '\0') + title;
    frame += std::string(256, '\0'); // padding
    tag += std::string{0, 0, char(frame.size() >> 7), char(frame.size() & 0x7f)} + frame;
    std::string v1 = "TAG" + std::string("velmo tag only");
    v1.resize(128, '\0');
    tag += v1;
    writeFile(path, tag.data(), tag.size());
}

struct UnplayableCase {
    const char* name;
    void (*make)(const std::string& path);
};

class UnplayableFile : public ::testing::TestWithParam<UnplayableCase> {};

// A path that is missing, not a regular file (a named pipe, whose open would wait for a writer,
// or a directory), or a file that gives no sound (empty, not an mp3, only tags) gives no stream
// and no channel. Opening reads a bounded part of the file whatever it holds: before, 40 MB of
// another kind of file were searched a byte at a time for an mp3 frame.
TEST_P(UnplayableFile, GivesNoStreamAfterABoundedRead) {
    ScratchDir dir;
    const std::string path = dir.file("music.mp3");
    GetParam().make(path);
    const uint64_t readBefore = port::testing::soundFileBytesRead();
    const auto start = SteadyClock::now();
    Playing p = play(path);
    // An open that waits on a pipe never returns; this only reports one that did, late.
    EXPECT_LT(SteadyClock::now() - start, std::chrono::seconds(20)) << "the open waited";
    EXPECT_LE(port::testing::soundFileBytesRead() - readBefore, 1024u * 1024u);
    EXPECT_NE(p.created, FMOD_OK);
    EXPECT_EQ(p.sound, nullptr);
    EXPECT_NE(p.played, FMOD_OK);
    EXPECT_EQ(p.channel, nullptr);
    release(p);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnplayableFile,
    ::testing::Values(
        UnplayableCase{"Missing", [](const std::string&) {}},
        UnplayableCase{"NamedPipe",
                       [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }},
        UnplayableCase{"Directory",
                       [](const std::string& path) { std::filesystem::create_directory(path); }},
        UnplayableCase{"Empty", [](const std::string& path) { writeFile(path, "", 0); }},
        UnplayableCase{"Text",
                       [](const std::string& path) {
                           const char junk[] = "this is not an mp3 file at all";
                           writeFile(path, junk, sizeof junk);
                       }},
        UnplayableCase{"OnlyTags", writeTagsOnly}, UnplayableCase{"LargeWave", writeWave},
        UnplayableCase{"LargeNoise",
                       [](const std::string& path) {
                           std::vector<uint32_t> noise(10 * 1024 * 1024);
                           std::mt19937 random(11);
                           for (uint32_t& n : noise) {
                               n = random();
                           }
                           writeFile(path, noise.data(), noise.size() * sizeof noise[0]);
                       }}),
    [](const auto& info) { return std::string(info.param.name); });

// A tone of the given length, rate and channels, encoded as the soundtrack tool does.
void writeTone(const std::string& path, double seconds, int rate, int channels) {
    const int frames = static_cast<int>(seconds * rate);
    std::vector<short> tone(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        tone[size_t(i)] = static_cast<short>(8000 * std::sin(2 * M_PI * 440.0 * i / rate));
    }
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame, 64);
    ASSERT_EQ(lame_init_params(lame), 0);
    std::vector<unsigned char> mp3(static_cast<size_t>(1.25 * frames + 7200));
    int size = lame_encode_buffer(lame, tone.data(), tone.data(), frames, mp3.data(),
                                  static_cast<int>(mp3.size()));
    ASSERT_GE(size, 0);
    size += lame_encode_flush(lame, mp3.data() + size, static_cast<int>(mp3.size()) - size);
    lame_close(lame);
    writeFile(path, mp3.data(), static_cast<size_t>(size));
}

struct Format {
    int rate;
    int channels;
};

class StreamFormat : public ::testing::TestWithParam<Format> {};

// Mono and stereo at the common rates: the device is given the stream's sound on both
// channels at the stream's rate, so that the sound it is given is as long as the file's, and
// the position follows the wall clock to the stream's end. SDL's disk driver records the sound
// once as fast as the stream decodes, and plays it once at the pace of the sound.
TEST_P(StreamFormat, SoundAndPositionFollowTheWallClock) {
    const Format f = GetParam();
    constexpr double seconds = 1.0;
    ScratchDir dir;
    writeTone(dir.file("tone.mp3"), seconds, f.rate, f.channels);

    recordToFile(dir.file("out.raw"), 0);
    const uint64_t skippedBefore = port::testing::soundSkippedMs();
    Playing p = play(dir.file("tone.mp3"));
    ASSERT_EQ(p.created, FMOD_OK);
    ASSERT_EQ(p.played, FMOD_OK);
    unsigned length = 0;
    p.sound->getLength(&length, FMOD_TIMEUNIT_MS);
    // The encoder's delay and the padding of its last frame lengthen the stream a little.
    EXPECT_GE(length, seconds * 1000);
    EXPECT_LE(length, seconds * 1000 + 150);
    EXPECT_NE(readUntilTheEnd(p, length).back().result, FMOD_OK) << "the stream never ended";
    release(p); // closes the device, so the file holds all it was given
    // An audio thread kept from running for longer than a stall (a busy machine) has the
    // stream skip what it missed; that much is not in the recording.
    const double skipped = double(port::testing::soundSkippedMs() - skippedBefore) / 1000;
    const double heard = recordedSoundSeconds(dir.file("out.raw"), f.rate);
    EXPECT_GE(heard + skipped, seconds - 0.05);
    EXPECT_LE(heard, length / 1000.0);

    recordToFile(dir.file("paced.raw"), playingPace(f.rate));
    p = play(dir.file("tone.mp3"));
    ASSERT_EQ(p.played, FMOD_OK);
    expectOnTheClock(readUntilTheEnd(p, length), length, f.rate, 0);
    release(p);
}

INSTANTIATE_TEST_SUITE_P(Rates, StreamFormat,
                         ::testing::Values(Format{22050, 1}, Format{22050, 2}, Format{32000, 1},
                                           Format{32000, 2}, Format{44100, 1}, Format{44100, 2},
                                           Format{48000, 1}, Format{48000, 2}),
                         [](const auto& info) {
                             return std::to_string(info.param.rate) +
                                    (info.param.channels == 1 ? "Mono" : "Stereo");
                         });

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
    recordToFile(dir.file("out.raw"), 0);
    const uint64_t skippedBefore = port::testing::soundSkippedMs();

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
    // What an audio thread kept from running made the stream skip is not in the recording.
    const double skipped = double(port::testing::soundSkippedMs() - skippedBefore) / 1000;
    EXPECT_GE(recordedSoundSeconds(dir.file("out.raw"), 44100) + skipped, c.heardPast);
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
    recordToFile(dir.file("out.raw"), 500);
    Playing p = play(dir.file("tone.mp3"));
    ASSERT_EQ(p.played, FMOD_OK);
    unsigned length = 0;
    p.sound->getLength(&length, FMOD_TIMEUNIT_MS);
    const std::vector<Reading> readings = readUntilTheEnd(p, length);
    expectOnTheClock(readings, length, 44100, 0);
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
    recordToFile(dir.file("out.raw"), playingPace(44100));
    // A write past the limit fails with EFBIG instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = {};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit previousLimit = limit;
    constexpr unsigned writtenBuffers = 16; // of 4 KiB: about 0.37 s of sound
    limit.rlim_cur = writtenBuffers * deviceBufferFrames * 4;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);

    DWORD now = 100;
    port::testing::setClock([&now] { return now; });
    Playing p = play(dir.file("tone.mp3"));
    ASSERT_EQ(p.played, FMOD_OK);

    // The port's clock stands still: only the device, or the real clock while the device is
    // late, moves the position, until the device is lost. A device that plays moves it within
    // a stall and a buffer of real time, so a position that stays for longer than that is one
    // that no longer follows the device.
    Reading lost, unchanged = read(p);
    ASSERT_EQ(unchanged.result, FMOD_OK);
    while (unchanged.least < 20000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const Reading r = read(p);
        ASSERT_EQ(r.result, FMOD_OK);
        ASSERT_GE(r.position, unchanged.position);
        if (r.position != unchanged.position) {
            unchanged = r;
        } else if (msBetween(unchanged.returned, r.called) > stallMs + bufferMs(44100) + 50) {
            lost = r;
            break;
        }
    }
    const unsigned lostAt = lost.position;
    ASSERT_GT(lostAt, 0u) << "the position kept moving with the clock standing still";
    // At the loss the position holds what SDL wrote before its write failed, and no more than
    // the time the stream had played.
    EXPECT_GE(lostAt, unsigned(writtenBuffers * bufferMs(44100)));
    EXPECT_LE(lostAt, lost.most + 1);

    // Now the clock moves the position, exactly.
    now += 300;
    ASSERT_EQ(read(p).position, lostAt + 300);
    now += 400;
    ASSERT_EQ(read(p).position, lostAt + 700);

    // A second after the loss the device opens again and plays on from the same place.
    std::filesystem::remove(dir.file("out.raw"));
    now += 300;
    const Reading reopened = read(p);
    ASSERT_EQ(reopened.result, FMOD_OK);
    EXPECT_EQ(reopened.position, lostAt + 1000);
    EXPECT_TRUE(std::filesystem::exists(dir.file("out.raw")));
    expectFollowsTheDevice(p, reopened);

    release(p);
    port::testing::setClock({});
    setrlimit(RLIMIT_FSIZE, &previousLimit);
}

// An audio device that does not open when the stream starts (no sound server yet) is tried
// again about once a second, as a lost one is: once it opens, the stream plays on it from the
// position the clock had reached. Meanwhile the position follows the port's clock.
TEST(Sound, AnAudioDeviceMissingAtTheStartIsOpenedOnceItAppears) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    DWORD now = 100;
    port::testing::setClock([&now] { return now; });
    ScratchDir dir;
    writeToneMp3(dir.file("tone.mp3"), 30.0);
    Playing p = play(dir.file("tone.mp3"));
    ASSERT_EQ(p.played, FMOD_OK);
    now += 400;
    EXPECT_EQ(read(p).position, 400u);

    // Still missing at the first retry.
    now += 600;
    EXPECT_EQ(read(p).position, 1000u);

    // The sound server appears; at the next retry the stream plays on the device.
    recordToFile(dir.file("out.raw"), playingPace(44100));
    now += 500;
    EXPECT_EQ(read(p).position, 1500u);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.raw"))) << "tried again too soon";
    now += 500;
    const Reading opened = read(p);
    ASSERT_EQ(opened.result, FMOD_OK);
    EXPECT_EQ(opened.position, 2000u);
    EXPECT_TRUE(std::filesystem::exists(dir.file("out.raw"))) << "the device was not tried again";
    expectFollowsTheDevice(p, opened);

    release(p);
    port::testing::setClock({});
    EXPECT_GT(recordedSoundSeconds(dir.file("out.raw"), 44100), 0.0) << "no sound";
}

} // namespace
