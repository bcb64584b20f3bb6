#include "spectrum.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <fftw3.h>

#include "arrangement.h"
#include "spectrum_stats.h"

namespace velmo::spectrum {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFftSize = 8192;         // zero-padded: a smooth spectrum for the narrow low bands
constexpr double kWindowRows = 1.25;   // Hann window length in rows (62.5 ms), centred on the row
constexpr double kLowestHz = 40.0;     // band 0 starts here: the kick's fundamental
constexpr double kHighestHz = 16000.0; // band 63 ends here

struct BandTap {
    int fftBin;
    float weight;
};

float percentileOf(std::vector<float> v, double p) {
    if (v.empty())
        return 0.0f;
    std::sort(v.begin(), v.end());
    return v[std::size_t(p * double(v.size() - 1))];
}

std::vector<float> bandValues(const Analysis& a, int k, double from, double to) {
    std::vector<float> v;
    std::size_t r0 = std::size_t(from * 20.0), r1 = std::min(a.rows, std::size_t(to * 20.0));
    for (std::size_t r = r0; r < r1; ++r)
        v.push_back(a.raw[r * kBins + std::size_t(k)]);
    return v;
}

// Calibration. Each band gets one gain for the whole file: gain = target level / reference,
// the reference being the band's 95th percentile over the main part of the music (52 to
// 217 s, where the groove, the intense spans, the harmonic section and the finale play).
// The target levels shape what the scenes read:
//   band 0 (the kick's low skirt) reads about 0.9 on strong kicks; band 1 stays lower;
//   bands 2-6 (the kick's body) are kept small, so that the sum of bands 0-24 separates
//   accented kicks from the others; bands 7-14 and 15-24 carry the bass line between kicks;
//   bands 52-63 are kept small enough that the highs stay a few hundredths.
// Because the references come from the music itself, a louder or softer mix keeps its
// calibration; what the targets check is the music's shape over time.
float targetLevel(int k) {
    if (k == 0)
        return 0.85f;
    if (k == 1)
        return 0.22f;
    if (k <= 6)
        return 0.03f;
    if (k <= 14)
        return 0.08f;
    if (k <= 24)
        return 0.12f;
    if (k <= 31)
        return 0.05f;
    if (k <= 51)
        return 0.03f;
    if (k <= 55)
        return 0.008f;
    return 0.004f;
}

std::vector<float> calibrationGains(const Analysis& a) {
    constexpr double kReferenceFrom = soundtrack::kCut, kReferenceTo = soundtrack::kFadeOut;
    std::vector<float> gains(kBins);
    for (int k = 0; k < kBins; ++k) {
        float ref = percentileOf(bandValues(a, k, kReferenceFrom, kReferenceTo), 0.95);
        gains[std::size_t(k)] = ref > 0.0f ? targetLevel(k) / ref : 0.0f;
    }
    return gains;
}

} // namespace

Analysis analyse(const std::vector<float>& mono, double rate) {
    Analysis a;
    const double rowFrames = rate * kRowMilliseconds / 1000.0;
    a.rows = std::size_t(std::ceil(double(mono.size()) / rowFrames));
    a.raw.assign(a.rows * kBins, 0.0f);

    // Log-spaced band edges; each FFT bin [f - df/2, f + df/2] contributes by its overlap.
    a.edgesHz.resize(kBins + 1);
    for (int k = 0; k <= kBins; ++k)
        a.edgesHz[std::size_t(k)] = kLowestHz * std::pow(kHighestHz / kLowestHz, double(k) / kBins);
    const double df = rate / kFftSize;
    std::vector<std::vector<BandTap>> taps(kBins);
    for (int k = 0; k < kBins; ++k) {
        double lo = a.edgesHz[std::size_t(k)], hi = a.edgesHz[std::size_t(k) + 1];
        for (int j = int(lo / df) - 1; j <= int(hi / df) + 1; ++j) {
            double overlap = std::min(hi, (j + 0.5) * df) - std::max(lo, (j - 0.5) * df);
            if (j >= 0 && j <= kFftSize / 2 && overlap > 0)
                taps[std::size_t(k)].push_back({j, float(overlap / df)});
        }
    }

    const int window = int(std::lround(rowFrames * kWindowRows));
    std::vector<float> hann(std::size_t(window), 0.0f);
    double windowSum = 0;
    for (int i = 0; i < window; ++i) {
        hann[std::size_t(i)] = float(0.5 - 0.5 * std::cos(2.0 * kPi * (i + 0.5) / window));
        windowSum += hann[std::size_t(i)];
    }
    const double amplitudeScale = 2.0 / windowSum; // a full-scale sine reads 1 in its band

    float* in = fftwf_alloc_real(kFftSize);
    fftwf_complex* out = fftwf_alloc_complex(kFftSize / 2 + 1);
    // FFTW_ESTIMATE: the plan (and so every rounding) does not depend on timing measurements.
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(kFftSize, in, out, FFTW_ESTIMATE);
    if (!plan)
        throw std::runtime_error("fftwf_plan_dft_r2c_1d failed");
    std::vector<double> power(kFftSize / 2 + 1);
    for (std::size_t r = 0; r < a.rows; ++r) {
        std::memset(in, 0, sizeof(float) * kFftSize);
        double centre = (double(r) + 0.5) * rowFrames;
        long start = std::lround(centre - window * 0.5);
        for (int i = 0; i < window; ++i) {
            long s = start + i;
            if (s >= 0 && s < long(mono.size()))
                in[i] = mono[std::size_t(s)] * hann[std::size_t(i)];
        }
        fftwf_execute(plan);
        for (int j = 0; j <= kFftSize / 2; ++j)
            power[std::size_t(j)] = double(out[j][0]) * out[j][0] + double(out[j][1]) * out[j][1];
        for (int k = 0; k < kBins; ++k) {
            double p = 0;
            for (const BandTap& t : taps[std::size_t(k)])
                p += t.weight * power[std::size_t(t.fftBin)];
            a.raw[r * kBins + std::size_t(k)] = float(std::sqrt(p) * amplitudeScale);
        }
    }
    fftwf_destroy_plan(plan);
    fftwf_free(out);
    fftwf_free(in);
    return a;
}

std::vector<float> calibrate(const Analysis& a) {
    std::vector<float> gains = calibrationGains(a);
    std::vector<float> rows(a.raw.size());
    for (std::size_t r = 0; r < a.rows; ++r)
        for (std::size_t k = 0; k < kBins; ++k)
            rows[r * kBins + k] = a.raw[r * kBins + k] * gains[k];
    return rows;
}

std::vector<unsigned char> toLittleEndian(const std::vector<float>& values) {
    std::vector<unsigned char> out(values.size() * 4);
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::uint32_t u;
        std::memcpy(&u, &values[i], 4);
        for (int b = 0; b < 4; ++b)
            out[i * 4 + std::size_t(b)] = (unsigned char)(u >> (8 * b));
    }
    return out;
}

} // namespace velmo::spectrum
