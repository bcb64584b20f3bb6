#include <cstring>

#include <gtest/gtest.h>

#include "demo/spectrum.h"
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
    for (SpectrumData data : {SpectrumData::load(dir.file("none.vek")), fileWithRows(dir, 0, 100)}) {
        ASSERT_EQ(data.rowCount(), 1u);
        for (unsigned position : {0u, 50u, 217000u}) {
            const float* row = data.row(position);
            for (int bin = 0; bin < 64; ++bin) {
                ASSERT_EQ(row[bin], 0.0f);
            }
        }
    }
}

} // namespace
