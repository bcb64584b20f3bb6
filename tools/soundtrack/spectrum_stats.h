// Per-section statistics of the spectrum file "mirel.vek" (64 floats per 50 ms row, band 0 the
// lowest), and the ranges the scenes need them in to react as intended. Shared by the
// generator, which prints them, and the tests, which hold them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velmo::spectrum {

constexpr int kBins = 64;
constexpr int kRowMilliseconds = 50;
constexpr int kRowsPerBeat = 10; // 120 BPM: a beat every 500 ms, on rows 0, 10, 20, ...

// The quantities the scenes read from a row.
float bass(const float* row);      // B: bins 0..24 (text overlay)
float energy(const float* row);    // E: sum of (25 - i) * bin i, i = 0..24 (harmonia)
float highs(const float* row);     // bins 52..63 (house scene, intro)
float upperHalf(const float* row); // half the sum of bins 32..63 (finale)

struct Section {
    std::string name;
    double begin, end; // seconds of music
};

// The arrangement's sections (the demo's timeline), the last one ending at `musicSeconds`.
std::vector<Section> soundtrackSections(double musicSeconds);

// Beat rows are the rows 0..1 after each beat (a kick's peak); "between beats" rows are
// 3..8 after it. Percentiles are of the rows (or, for beats, of each beat's maximum).
struct SectionStats {
    Section section;
    std::size_t rows = 0, beats = 0;
    float bin0BeatMedian = 0, bin0Max = 0, bin0Over1_2 = 0; // fraction of rows with bin 0 > 1.2
    float bin1P99 = 0, bin1Max = 0;
    float bassBetweenP10 = 0, bassBetweenMedian = 0, bassBetweenP90 = 0;
    float bassBeatMedian = 0, bassBeatMax = 0, beatsOver0_75 = 0, beatsOver1_5 = 0,
          betweenOver1_5 = 0;
    float energyBetweenP90 = 0, energyMax = 0, energyBeatMedian = 0, beatsEnergyOver30 = 0;
    float highsMedian = 0, highsP90 = 0, highsMax = 0;
    float upperP10 = 0, upperMedian = 0, upperP90 = 0;
};

// `data` holds `rows` rows of kBins floats.
SectionStats computeSectionStats(const float* data, std::size_t rows, const Section& section);
std::vector<SectionStats> computeAllSectionStats(const float* data, std::size_t rows);

// A table for the generator's output and the resolving note.
std::string formatStatsTable(const std::vector<SectionStats>& stats);

// Every target the statistics miss, as readable lines; empty when all hold. The targets:
//   bin 0 peaks about 0.9 on kicks and is rarely above 1.2; bin 1 stays at or below ~0.35;
//   B between beats ~0.3-0.6 from 42 to 52 s and ~0.6-1.2 later, every beat above 0.75 from
//   42 to 52 s, later only accented beats above 1.5 (and B under 3);
//   E below 20 when quiet and 30 or more on the kicks of the harmonic section;
//   highs ~0.02-0.08 in the intense spans and never much above 0.1;
//   half the upper half ~0.1-0.5 in the finale.
std::vector<std::string> checkTargets(const std::vector<SectionStats>& stats);

} // namespace velmo::spectrum
