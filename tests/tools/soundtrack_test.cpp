// The generated soundtrack and its spectrum file, as the build leaves them in data/: the music
// decodes to the full length with sample 0 at music time 0, the spectrum has a row for every
// 50 ms of it, and its section statistics keep the scenes reacting as intended.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <mpg123.h>

#include "spectrum_stats.h"
#include "support/scratch.h"

namespace {

const char* const kMusicName = "corvena (short version) 192kbps.mp3";
const char* const kSpectrumName = "mirel.vek";
constexpr long kRate = 44100;
constexpr std::size_t kFramesPerRow = 2205; // 50 ms at 44.1 kHz

std::string dataFile(const char* name) {
    return std::string("data/") + name;
}

std::vector<unsigned char> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The spectrum file's floats, read as little-endian whatever the host's order.
std::vector<float> readSpectrum(const std::string& path) {
    std::vector<unsigned char> bytes = readBytes(path);
    std::vector<float> values(bytes.size() / 4);
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::uint32_t u = 0;
        for (int b = 3; b >= 0; --b)
            u = (u << 8) | bytes[i * 4 + std::size_t(b)];
        std::memcpy(&values[i], &u, 4);
    }
    return values;
}

struct Decoded {
    long rate = 0;
    int channels = 0;
    std::vector<float> mono;
};

// Decodes as the player does: libmpg123 with gapless decoding, so the encoder's delay and
// padding are not part of the music.
Decoded decode(const std::string& path) {
    Decoded d;
    mpg123_init();
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    if (!mh)
        return d;
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    mpg123_format_none(mh);
    mpg123_format(mh, kRate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    if (mpg123_open(mh, path.c_str()) == MPG123_OK) {
        int encoding = 0;
        mpg123_getformat(mh, &d.rate, &d.channels, &encoding);
        std::vector<float> buf(16384);
        for (;;) {
            std::size_t bytes = 0;
            int rc = mpg123_read(mh, reinterpret_cast<unsigned char*>(buf.data()),
                                 buf.size() * sizeof(float), &bytes);
            std::size_t samples = bytes / sizeof(float);
            for (std::size_t i = 0; i + 1 < samples && d.channels == 2; i += 2)
                d.mono.push_back(0.5f * (buf[i] + buf[i + 1]));
            if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT)
                break;
        }
        mpg123_close(mh);
    }
    mpg123_delete(mh);
    return d;
}

TEST(Soundtrack, MusicDecodesToAtLeast222SecondsOfStereoAt44100Hz) {
    Decoded music = decode(dataFile(kMusicName));
    EXPECT_EQ(music.rate, kRate);
    EXPECT_EQ(music.channels, 2);
    EXPECT_GE(music.mono.size(), std::size_t(222 * kRate));
}

// The kicks of the harmonic section start exactly on the 0.5 s beats. If the decoder kept the
// encoder delay, every onset would come about 25 ms late and the spectrum rows would lag.
TEST(Soundtrack, DecodedKicksStartOnTheBeatGrid) {
    Decoded music = decode(dataFile(kMusicName));
    ASSERT_GE(music.mono.size(), std::size_t(160 * kRate));
    std::vector<double> low(music.mono.size());
    double y = 0;
    for (std::size_t i = 0; i < low.size(); ++i) { // one-pole low-pass near 150 Hz
        y += 0.021 * (music.mono[i] - y);
        low[i] = y * y;
    }
    auto energy = [&](double seconds, double length) {
        long from = std::lround(seconds * kRate), count = std::lround(length * kRate);
        double sum = 0;
        for (long i = from; i < from + count; ++i)
            sum += low[std::size_t(i)];
        return sum;
    };
    int bestOffsetMs = 0;
    double bestRise = -1;
    for (int offsetMs = -20; offsetMs <= 60; ++offsetMs) {
        double rise = 0;
        for (double beat = 129.0; beat < 154.5; beat += 0.5) {
            double t = beat + offsetMs / 1000.0;
            rise += energy(t, 0.005) - energy(t - 0.005, 0.005);
        }
        if (rise > bestRise) {
            bestRise = rise;
            bestOffsetMs = offsetMs;
        }
    }
    EXPECT_LE(std::abs(bestOffsetMs), 3)
        << "kick onsets are " << bestOffsetMs << " ms off the beat";
}

TEST(Soundtrack, SpectrumHasARowForEvery50MsOfTheMusic) {
    Decoded music = decode(dataFile(kMusicName));
    std::vector<unsigned char> bytes = readBytes(dataFile(kSpectrumName));
    ASSERT_EQ(bytes.size() % (4 * velmo::spectrum::kBins), 0u) << "not a whole number of rows";
    std::size_t rows = bytes.size() / (4 * velmo::spectrum::kBins);
    EXPECT_EQ(rows, (music.mono.size() + kFramesPerRow - 1) / kFramesPerRow);
    EXPECT_GE(rows, 4341u); // rows 0 to 4340: a 217 s run
}

TEST(Soundtrack, SpectrumValuesAreFiniteAndNonNegative) {
    std::vector<float> values = readSpectrum(dataFile(kSpectrumName));
    ASSERT_FALSE(values.empty());
    std::size_t bad = 0, first = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!std::isfinite(values[i]) || values[i] < 0.0f) {
            if (bad++ == 0)
                first = i;
        }
    }
    EXPECT_EQ(bad, 0u) << "first at row " << first / 64 << ", bin " << first % 64 << ": "
                       << values[first];
}

TEST(Soundtrack, SectionStatisticsMeetTheScenesTargets) {
    std::vector<float> values = readSpectrum(dataFile(kSpectrumName));
    std::size_t rows = values.size() / velmo::spectrum::kBins;
    auto stats = velmo::spectrum::computeAllSectionStats(values.data(), rows);
    std::vector<std::string> failures = velmo::spectrum::checkTargets(stats);
    std::string all;
    for (const std::string& f : failures)
        all += f + "\n";
    EXPECT_TRUE(failures.empty()) << all << velmo::spectrum::formatStatsTable(stats);
}

// The target check itself: music that would break a scene's reaction is reported. Each case
// changes the real spectrum the way a broken mix would.
TEST(Soundtrack, TargetCheckReportsMusicThatBreaksTheReactions) {
    const std::vector<float> original = readSpectrum(dataFile(kSpectrumName));
    const std::size_t rows = original.size() / velmo::spectrum::kBins;
    ASSERT_GE(rows, 4341u);
    struct Case {
        const char* what;
        double from, to; // seconds
        int firstBin, lastBin;
        float scale;
        const char* expected; // a fragment of the failure line
    };
    const Case cases[] = {
        {"kick band too loud", 0.0, 224.0, 1, 1, 2.0f, "bin1"},
        {"no bass line in the groove", 52.0, 76.5, 7, 24, 0.0f, "B between beats"},
        {"hi-hats far too bright", 76.5, 102.5, 52, 63, 3.0f, "highs"},
        {"weak kicks in the harmonic section", 128.5, 155.0, 0, 24, 0.6f, "E >= 30"},
        {"dull finale", 155.0, 217.0, 32, 63, 0.2f, "upper half"},
    };
    for (const Case& c : cases) {
        std::vector<float> values = original;
        for (std::size_t r = std::size_t(c.from * 20); r < std::min(rows, std::size_t(c.to * 20));
             ++r)
            for (int k = c.firstBin; k <= c.lastBin; ++k)
                values[r * 64 + std::size_t(k)] *= c.scale;
        auto failures = velmo::spectrum::checkTargets(
            velmo::spectrum::computeAllSectionStats(values.data(), rows));
        bool found = false;
        for (const std::string& f : failures)
            found = found || f.find(c.expected) != std::string::npos;
        EXPECT_TRUE(found) << c.what << ": no failure mentioning \"" << c.expected << "\"";
    }
}

TEST(Soundtrack, GeneratingAgainGivesIdenticalFiles) {
    ScratchDir dir;
    std::string command = std::string("\"") + VELMO_SOUNDTRACK_TOOL + "\" \"" +
                          dir.path().string() + "\" > \"" + dir.file("log.txt") + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const char* name : {kMusicName, kSpectrumName}) {
        std::vector<unsigned char> built = readBytes(dataFile(name));
        std::vector<unsigned char> again = readBytes(dir.file(name));
        ASSERT_FALSE(built.empty()) << name;
        EXPECT_TRUE(built == again) << name << " differs between two runs";
    }
}

} // namespace
