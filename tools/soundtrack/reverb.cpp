#include "reverb.h"

namespace velmo::soundtrack {

namespace {
// Delay lengths in samples at 44.1 kHz; the right side is spread by 23 samples for width.
constexpr std::array<int, 8> kCombLengths = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr std::array<int, 4> kAllpassLengths = {556, 441, 341, 225};
constexpr int kStereoSpread = 23;
constexpr double kInputGain = 0.015, kFeedback = 0.86, kDamping = 0.32;
} // namespace

Reverb::Reverb() {
    for (std::size_t c = 0; c < 2; ++c) {
        int spread = c == 0 ? 0 : kStereoSpread;
        for (std::size_t k = 0; k < kCombLengths.size(); ++k)
            combs_[c][k].buf.assign(std::size_t(kCombLengths[k] + spread), 0.0);
        for (std::size_t k = 0; k < kAllpassLengths.size(); ++k)
            allpasses_[c][k].buf.assign(std::size_t(kAllpassLengths[k] + spread), 0.0);
    }
}

void Reverb::process(double in, double& outL, double& outR) {
    double input = in * kInputGain;
    double out[2];
    for (std::size_t c = 0; c < 2; ++c) {
        double acc = 0;
        for (Comb& comb : combs_[c])
            acc += comb.tick(input, kFeedback, kDamping);
        for (Allpass& ap : allpasses_[c])
            acc = ap.tick(acc);
        out[c] = acc;
    }
    outL = out[0];
    outR = out[1];
}

double Reverb::Comb::tick(double in, double feedback, double damp) {
    double y = buf[pos];
    store = y * (1.0 - damp) + store * damp;
    buf[pos] = in + store * feedback;
    if (++pos == buf.size())
        pos = 0;
    return y;
}

double Reverb::Allpass::tick(double in) {
    double b = buf[pos];
    buf[pos] = in + b * 0.5;
    if (++pos == buf.size())
        pos = 0;
    return b - in;
}

} // namespace velmo::soundtrack
