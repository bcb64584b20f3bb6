#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "demo/spectrum.h"
#include "support/not_regular.h"
#include "support/scratch.h"

namespace {

// A spectrum file whose row r holds r in every bin, plus extra trailing bytes.
SpectrumData fileWithRows(const ScratchDir& dir, size_t rows, size_t trailingBytes = 0) {
    std::vector<float> values(rows * 64);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<float>(i / 64);
    }
    std::vector<char> bytes(values.size() * 4 + trailingBytes, 0x7f);
    if (!values.empty()) {
        std::memcpy(bytes.data(), values.data(), values.size() * 4);
    }
    writeFile(dir.file("s.vek"), bytes.data(), bytes.size());
    return SpectrumData::load(dir.file("s.vek"));
}

TEST(Spectrum, RowsFollowTheMusicPositionIn50MsSteps) {
    ScratchDir dir;
    SpectrumData data = fileWithRows(dir, 4341);
    ASSERT_EQ(data.rowCount(), 4341u);
    const struct {
        unsigned position;
        float row;
    } cases[] = {{0, 0}, {49, 0}, {50, 1}, {99, 1}, {217000, 4340}, {217049, 4340}};
    for (const auto& c : cases) {
        const float* row = data.row(c.position);
        EXPECT_EQ(row[0], c.row) << c.position << " ms";
        EXPECT_EQ(row[63], c.row) << c.position << " ms";
    }
}

TEST(Spectrum, PositionsPastTheLastRowUseTheLastRow) {
    ScratchDir dir;
    SpectrumData data = fileWithRows(dir, 10);
    EXPECT_EQ(data.row(500)[0], 9.0f);
    EXPECT_EQ(data.row(4000000000u)[63], 9.0f);
}

TEST(Spectrum, ATrailingPartialRowIsNotUsed) {
    ScratchDir dir;
    SpectrumData data = fileWithRows(dir, 3, 100);
    EXPECT_EQ(data.rowCount(), 3u);
    EXPECT_EQ(data.row(1000)[63], 2.0f);
}

TEST(Spectrum, AMissingOrShorterThanARowFileReadsAsZeros) {
    ScratchDir dir;
    for (SpectrumData data :
         {SpectrumData::load(dir.file("none.vek")), fileWithRows(dir, 0, 100)}) {
        ASSERT_EQ(data.rowCount(), 1u);
        for (unsigned position : {0u, 50u, 217000u}) {
            const float* row = data.row(position);
            for (int bin = 0; bin < 64; ++bin) {
                ASSERT_EQ(row[bin], 0.0f);
            }
        }
    }
}

// A named pipe, a directory or a device in place of the file reads as the missing file does,
// without waiting for a writer and without a word about its size.
TEST(Spectrum, APathThatIsNoRegularFileReadsAsZeros) {
    for (NotRegular kind : kNotRegularKinds) {
        SCOPED_TRACE(notRegularName(kind));
        ScratchDir dir;
        makeNotRegular(dir.file("mirel.vek"), kind);
        const Deadline deadline(10);
        ::testing::internal::CaptureStderr();
        SpectrumData data = SpectrumData::load(dir.file("mirel.vek"));
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        ASSERT_EQ(data.rowCount(), 1u);
        for (int bin = 0; bin < 64; ++bin) {
            ASSERT_EQ(data.row(0)[bin], 0.0f);
        }
    }
}

// A file that gives fewer bytes than its size says (a kernel attribute file, sized a page of
// 16 rows, holding a line) keeps its rows, and what did not arrive reads as zeros, as the
// file cache keeps it.
TEST(Spectrum, AShortReadKeepsTheRowsAndZerosWhatDidNotArrive) {
    const std::optional<ShortReadFile> file = findShortReadFile();
    if (!file) {
        GTEST_SKIP() << "no page-sized kernel attribute file here";
    }
    const std::string& line = file->gives;
    ASSERT_LT(line.size(), 64 * sizeof(float));

    SpectrumData data = SpectrumData::load(file->path);
    ASSERT_EQ(data.rowCount(), 16u);
    std::string first(64 * sizeof(float), '\0');
    std::memcpy(first.data(), data.row(0), first.size());
    EXPECT_EQ(first.substr(0, line.size()), line);
    EXPECT_EQ(first.substr(line.size()), std::string(first.size() - line.size(), '\0'));
    for (unsigned position = 50; position < 16 * 50; position += 50) {
        for (int bin = 0; bin < 64; ++bin) {
            ASSERT_EQ(data.row(position)[bin], 0.0f) << position << " ms, bin " << bin;
        }
    }
}

// The bound is what a run can read: a row per 50 ms of the run (or of longer music) and a
// margin. A file past it, however large (a sparse 64 GB file here), is refused before anything
// is allocated, with a word on standard error, and reads as the missing file does.
TEST(Spectrum, AFileLargerThanTheRunCanUseIsRefusedWithAMessage) {
    const size_t limit = SpectrumData::rowLimit(nullptr);
    EXPECT_GE(limit, 217000u / 50 + 1);
    EXPECT_LE(limit, (217000u / 50 + 1) * 2);

    ScratchDir dir;
    const size_t rowBytes = 64 * sizeof(float);
    const struct {
        uintmax_t bytes;
        size_t rows; // as read
    } cases[] = {{limit * rowBytes, limit}, {(limit + 1) * rowBytes, 1}, {uintmax_t(64) << 30, 1}};
    writeFile(dir.file("s.vek"), "", 0);
    for (const auto& c : cases) {
        std::filesystem::resize_file(dir.file("s.vek"), 0);
        std::filesystem::resize_file(dir.file("s.vek"), c.bytes);
        ::testing::internal::CaptureStderr();
        SpectrumData data = SpectrumData::load(dir.file("s.vek"));
        const std::string said = ::testing::internal::GetCapturedStderr();
        ASSERT_EQ(data.rowCount(), c.rows) << c.bytes << " bytes";
        EXPECT_EQ(data.row(217000)[0], 0.0f);
        if (c.rows == 1) {
            EXPECT_NE(said.find("too large for a spectrum"), std::string::npos) << said;
            EXPECT_NE(said.find("s.vek"), std::string::npos) << said;
        } else {
            EXPECT_EQ(said, "");
        }
    }
}

// Music longer than the run raises the bound to the music's rows.
TEST(Spectrum, TheBoundFollowsMusicLongerThanTheRun) {
    ScratchDir dir;
    writeToneMp3(dir.file("long.mp3"), 240.0);
    FMOD::System* system = nullptr;
    FMOD::Sound* music = nullptr;
    FMOD_System_Create(&system);
    system->init(1, FMOD_INIT_NORMAL, nullptr);
    ASSERT_EQ(system->createStream(dir.file("long.mp3").c_str(), FMOD_2D | FMOD_SOFTWARE, nullptr,
                                   &music),
              FMOD_OK);
    EXPECT_GE(SpectrumData::rowLimit(music), 240000u / 50);
    EXPECT_GT(SpectrumData::rowLimit(music), SpectrumData::rowLimit(nullptr));
    music->release();
    system->release();
}

} // namespace
