// The soundtrack synthesizer: renders "corvena (short version)" from nothing but code.
#pragma once

#include <cstddef>
#include <vector>

namespace velmo::soundtrack {

constexpr int kSampleRate = 44100;
constexpr double kBeatSeconds = 0.5;     // 120 BPM
constexpr double kLengthSeconds = 224.0; // the demo quits at 217 s; the fade ends at 223 s

struct StereoAudio {
    std::vector<float> left, right; // -1..1, kSampleRate frames per second
    std::size_t frames() const { return left.size(); }
};

// Renders the whole piece. Deterministic: the same binary gives the same samples.
StereoAudio renderSoundtrack();

} // namespace velmo::soundtrack
