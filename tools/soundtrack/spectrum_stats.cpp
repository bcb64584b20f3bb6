#include "spectrum_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "arrangement.h"

namespace velmo::spectrum {

// Sums in single precision from the lowest bin up, as the scenes compute them.
float bass(const float* row) {
    float s = 0.0f;
    for (int i = 0; i <= 24; ++i)
        s += row[i];
    return s;
}

float energy(const float* row) {
    float s = 0.0f;
    for (int i = 0; i <= 24; ++i)
        s += float(25 - i) * row[i];
    return s;
}

float highs(const float* row) {
    float s = 0.0f;
    for (int i = 52; i <= 63; ++i)
        s += row[i];
    return s;
}

float upperHalf(const float* row) {
    float s = 0.0f;
    for (int i = 32; i <= 63; ++i)
        s += row[i];
    return 0.5f * s;
}

std::vector<Section> soundtrackSections(double musicSeconds) {
    using namespace velmo::soundtrack;
    return {
        {"intro", 0.0, kBuildStart},       {"build", kBuildStart, kTextStart},
        {"text", kTextStart, kTension},    {"tension", kTension, kCut},
        {"groove", kCut, kIntense1},       {"intense1", kIntense1, kCalm},
        {"calm", kCalm, kIntense2},        {"intense2", kIntense2, kHarmonia},
        {"harmonia", kHarmonia, kFinale},  {"finale", kFinale, kFadeOut},
        {"outro", kFadeOut, musicSeconds},
    };
}

namespace {

float percentile(std::vector<float> v, double p) {
    if (v.empty())
        return 0.0f;
    std::sort(v.begin(), v.end());
    double pos = p * double(v.size() - 1);
    std::size_t lo = std::size_t(pos);
    std::size_t hi = std::min(lo + 1, v.size() - 1);
    double f = pos - double(lo);
    return float(v[lo] * (1.0 - f) + v[hi] * f);
}

float maxOf(const std::vector<float>& v) {
    return v.empty() ? 0.0f : *std::max_element(v.begin(), v.end());
}

float fractionOver(const std::vector<float>& v, float threshold) {
    if (v.empty())
        return 0.0f;
    return float(std::count_if(v.begin(), v.end(), [&](float x) { return x > threshold; })) /
           float(v.size());
}

std::size_t rowAt(double seconds) {
    return std::size_t(std::llround(seconds * 1000.0 / kRowMilliseconds));
}

} // namespace

SectionStats computeSectionStats(const float* data, std::size_t rows, const Section& section) {
    SectionStats st;
    st.section = section;
    std::size_t first = std::min(rowAt(section.begin), rows),
                last = std::min(rowAt(section.end), rows);
    st.rows = last - first;
    std::vector<float> bin0, bin1, bassBetween, energyBetween, energyAll, hi, up;
    std::vector<float> bin0Beat, bassBeat, energyBeat;
    for (std::size_t r = first; r < last; ++r) {
        const float* row = data + r * kBins;
        bin0.push_back(row[0]);
        bin1.push_back(row[1]);
        energyAll.push_back(energy(row));
        hi.push_back(highs(row));
        up.push_back(upperHalf(row));
        std::size_t phase = r % kRowsPerBeat;
        if (phase >= 3 && phase <= 8) {
            bassBetween.push_back(bass(row));
            energyBetween.push_back(energy(row));
        }
        if (phase == 0 && r + 1 < last) {
            const float* next = row + kBins;
            bin0Beat.push_back(std::max(row[0], next[0]));
            bassBeat.push_back(std::max(bass(row), bass(next)));
            energyBeat.push_back(std::max(energy(row), energy(next)));
        }
    }
    st.beats = bassBeat.size();
    st.bin0BeatMedian = percentile(bin0Beat, 0.5);
    st.bin0Max = maxOf(bin0);
    st.bin0Over1_2 = fractionOver(bin0, 1.2f);
    st.bin1P99 = percentile(bin1, 0.99);
    st.bin1Max = maxOf(bin1);
    st.bassBetweenP10 = percentile(bassBetween, 0.1);
    st.bassBetweenMedian = percentile(bassBetween, 0.5);
    st.bassBetweenP90 = percentile(bassBetween, 0.9);
    st.bassBeatMedian = percentile(bassBeat, 0.5);
    st.bassBeatMax = maxOf(bassBeat);
    st.beatsOver0_75 = fractionOver(bassBeat, 0.75f);
    st.beatsOver1_5 = fractionOver(bassBeat, 1.5f);
    st.betweenOver1_5 = fractionOver(bassBetween, 1.5f);
    st.energyBetweenP90 = percentile(energyBetween, 0.9);
    st.energyMax = maxOf(energyAll);
    st.energyBeatMedian = percentile(energyBeat, 0.5);
    st.beatsEnergyOver30 = fractionOver(energyBeat, 29.999f);
    st.highsMedian = percentile(hi, 0.5);
    st.highsP90 = percentile(hi, 0.9);
    st.highsMax = maxOf(hi);
    st.upperP10 = percentile(up, 0.1);
    st.upperMedian = percentile(up, 0.5);
    st.upperP90 = percentile(up, 0.9);
    return st;
}

std::vector<SectionStats> computeAllSectionStats(const float* data, std::size_t rows) {
    std::vector<SectionStats> out;
    double seconds = double(rows) * kRowMilliseconds / 1000.0;
    for (const Section& s : soundtrackSections(seconds))
        out.push_back(computeSectionStats(data, rows, s));
    return out;
}

std::string formatStatsTable(const std::vector<SectionStats>& stats) {
    std::string out = "| section | seconds | bin0 beat med / max | bin1 p99 | B between p10 / med "
                      "/ p90 | B beat med / max |"
                      " beats B>0.75 | beats B>1.5 | E between p90 | E beat med | beats E>=30 | "
                      "highs med / p90 / max |"
                      " upper half p10 / med / p90 |\n"
                      "|---|---|---|---|---|---|---|---|---|---|---|---|---|\n";
    char line[512];
    for (const SectionStats& s : stats) {
        std::snprintf(line, sizeof line,
                      "| %s | %.1f-%.1f | %.2f / %.2f | %.2f | %.2f / %.2f / %.2f | %.2f / %.2f | "
                      "%.0f%% | %.0f%% |"
                      " %.1f | %.1f | %.0f%% | %.3f / %.3f / %.3f | %.2f / %.2f / %.2f |\n",
                      s.section.name.c_str(), s.section.begin, s.section.end, s.bin0BeatMedian,
                      s.bin0Max, s.bin1P99, s.bassBetweenP10, s.bassBetweenMedian, s.bassBetweenP90,
                      s.bassBeatMedian, s.bassBeatMax, 100.0 * s.beatsOver0_75,
                      100.0 * s.beatsOver1_5, s.energyBetweenP90, s.energyBeatMedian,
                      100.0 * s.beatsEnergyOver30, s.highsMedian, s.highsP90, s.highsMax,
                      s.upperP10, s.upperMedian, s.upperP90);
        out += line;
    }
    return out;
}

std::vector<std::string> checkTargets(const std::vector<SectionStats>& stats) {
    std::vector<std::string> failures;
    auto fail = [&](const SectionStats& s, const char* what, double value, double lo, double hi) {
        if (value >= lo && value <= hi)
            return;
        char line[256];
        std::snprintf(line, sizeof line, "%s: %s = %.4f, outside [%.3g, %.3g]",
                      s.section.name.c_str(), what, value, lo, hi);
        failures.emplace_back(line);
    };
    auto named = [&](const std::string& n) -> const SectionStats* {
        for (const SectionStats& s : stats)
            if (s.section.name == n)
                return &s;
        failures.push_back("missing section " + n);
        return nullptr;
    };

    // Bin 0 peaks about 0.9 on kicks, rarely above 1.2; bin 1 stays at or below about 0.35.
    for (const SectionStats& s : stats) {
        fail(s, "fraction of rows with bin0 > 1.2", s.bin0Over1_2, 0.0, 0.01);
        fail(s, "bin0 max", s.bin0Max, 0.0, 1.4);
        fail(s, "bin1 p99", s.bin1P99, 0.0, 0.36);
        fail(s, "bin1 max", s.bin1Max, 0.0, 0.42);
        fail(s, "highs max", s.highsMax, 0.0, 0.12); // never much above 0.1
    }
    for (const char* n :
         {"text", "tension", "groove", "intense1", "calm", "intense2", "harmonia", "finale"})
        if (auto* s = named(n))
            fail(*s, "bin0 median beat peak", s->bin0BeatMedian, 0.7, 1.1);

    // B between beats about 0.3 to 0.6 from 42 to 52 s, jumps on beats at threshold 0.75.
    for (const char* n : {"text", "tension"}) {
        if (auto* s = named(n)) {
            fail(*s, "B between beats median", s->bassBetweenMedian, 0.3, 0.6);
            fail(*s, "B between beats p90", s->bassBetweenP90, 0.0, 0.75);
            fail(*s, "fraction of beats with B > 0.75", s->beatsOver0_75, 0.85, 1.0);
        }
    }
    // Later: between beats about 0.6 to 1.2; accented beats 1 to 3, only strong ones above 1.5.
    for (const char* n : {"groove", "intense1", "calm", "intense2", "finale"}) {
        if (auto* s = named(n)) {
            fail(*s, "B between beats median", s->bassBetweenMedian, 0.6, 1.2);
            fail(*s, "B between beats p10", s->bassBetweenP10, 0.45, 1.2);
            fail(*s, "B between beats p90", s->bassBetweenP90, 0.6, 1.4);
            fail(*s, "fraction of between-beat rows with B > 1.5", s->betweenOver1_5, 0.0, 0.03);
            fail(*s, "B median beat peak", s->bassBeatMedian, 1.0, 3.0);
            fail(*s, "B max beat peak", s->bassBeatMax, 1.0, 3.2);
            fail(*s, "fraction of beats with B > 1.5", s->beatsOver1_5, 0.2, 0.8);
        }
    }
    // E below 20 when quiet, 30 or more on the kicks of 128.5 to 155 s.
    if (auto* s = named("intro"))
        fail(*s, "E max", s->energyMax, 0.0, 20.0);
    if (auto* s = named("harmonia")) {
        fail(*s, "E between beats p90", s->energyBetweenP90, 0.0, 20.0);
        fail(*s, "fraction of beats with E >= 30", s->beatsEnergyOver30, 0.9, 1.0);
    }
    // Highs about 0.02 to 0.08 in the intense spans.
    for (const char* n : {"intense1", "intense2"}) {
        if (auto* s = named(n)) {
            fail(*s, "highs median", s->highsMedian, 0.02, 0.08);
            fail(*s, "highs p90", s->highsP90, 0.02, 0.1);
        }
    }
    // Half the upper half about 0.1 to 0.5 from 155 s on.
    if (auto* s = named("finale")) {
        fail(*s, "upper half median", s->upperMedian, 0.1, 0.5);
        fail(*s, "upper half p10", s->upperP10, 0.07, 0.5);
        fail(*s, "upper half p90", s->upperP90, 0.1, 0.55);
    }
    return failures;
}

} // namespace velmo::spectrum
