// The mix being rendered: stereo buffers, a mono reverb send, and the sidechain envelope that
// every kick pulls down and the pumping instruments follow.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "dsp.h"

namespace velmo::soundtrack {

class Mix {
public:
    explicit Mix(std::size_t frames)
        : left(frames, 0.0f), right(frames, 0.0f), send(frames, 0.0f),
          duck_((frames >> kDuckShift) + 2, 1.0f) {}

    std::size_t frames() const { return left.size(); }
    static std::size_t frameAt(double seconds) {
        return std::size_t(std::llround(seconds * kRate));
    }

    void add(std::size_t i, double l, double r, double reverbSend) {
        if (i >= left.size())
            return;
        left[i] += float(l);
        right[i] += float(r);
        send[i] += float((l + r) * 0.5 * reverbSend);
    }

    // A kick at `seconds` pulls the pumping envelope down (sidechain compression).
    void addKickToDuck(double seconds, double strength) {
        std::size_t start = frameAt(seconds) >> kDuckShift;
        std::size_t count = std::size_t(0.45 * kRate) >> kDuckShift;
        for (std::size_t j = 0; j < count && start + j < duck_.size(); ++j) {
            double dt = double(j << kDuckShift) / kRate;
            double shape = dt < 0.004 ? dt / 0.004 : std::exp(-(dt - 0.004) / 0.11);
            float g = float(1.0 - strength * shape);
            duck_[start + j] = std::min(duck_[start + j], g);
        }
    }
    // Gain of an element that ducks by `depth` (0 none, 1 full) at frame i.
    double duck(std::size_t i, double depth) const {
        std::size_t j = i >> kDuckShift;
        if (j + 1 >= duck_.size())
            return 1.0;
        double f = double(i & ((1u << kDuckShift) - 1)) / double(1u << kDuckShift);
        double d = duck_[j] + (duck_[j + 1] - duck_[j]) * f;
        return 1.0 - depth * (1.0 - d);
    }

    std::vector<float> left, right, send;

private:
    static constexpr unsigned kDuckShift = 5;
    std::vector<float> duck_;
};

} // namespace velmo::soundtrack
