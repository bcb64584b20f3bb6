// Spectrum analysis of the decoded music: 64 log-spaced bands per 50 ms row, the rows the demo
// reads to make its scenes react to the music.
#pragma once

#include <cstddef>
#include <vector>

namespace velmo::spectrum {

struct Analysis {
    std::size_t rows = 0;
    std::vector<float> raw;      // rows x kBins uncalibrated band levels (linear amplitude)
    std::vector<double> edgesHz; // kBins + 1 band edges
};

// `mono` is the decoded music at `rate` Hz, sample 0 being music time 0. Row r covers the
// samples of 50 r .. 50 r + 50 ms; rows = ceil(length / 50 ms).
Analysis analyse(const std::vector<float>& mono, double rate);

// One fixed gain per band (see spectrum.cpp for how they are derived), applied to every row:
// the calibrated rows, rows x kBins.
std::vector<float> calibrate(const Analysis& analysis);

// Raw little-endian IEEE 754 float32, as the file stores them.
std::vector<unsigned char> toLittleEndian(const std::vector<float>& values);

} // namespace velmo::spectrum
