// Renders the soundtrack: the score into the mix, then the master bus (room, fades, limiter).
#include "synth.h"

#include <algorithm>
#include <cmath>

#include "arrangement.h"
#include "mix.h"
#include "reverb.h"
#include "score.h"

namespace velmo::soundtrack {

StereoAudio renderSoundtrack() {
    const std::size_t frames = std::size_t(kLengthSeconds * kRate);
    Mix mix(frames);
    renderScore(mix);

    // Master bus: the room on the send, the fades (in over the first 10 s, out over 6 s from the
    // fade-out point), and a peak limiter that only catches the rare overshoot (the mix is
    // levelled so that it stays under the ceiling almost everywhere).
    Reverb reverb;
    StereoAudio out;
    out.left.resize(frames);
    out.right.resize(frames);
    const double ceiling = 0.93;
    const double release = std::exp(-1.0 / (0.05 * kRate));
    double env = ceiling;
    const double preGain = 0.52;
    for (std::size_t i = 0; i < frames; ++i) {
        double wl, wr;
        reverb.process(mix.send[i], wl, wr);
        double t = double(i) / kRate;
        double fade = 1.0;
        if (t < kBuildStart)
            fade = std::pow(t / kBuildStart, 1.6);
        if (t > kFadeOut)
            fade = std::max(0.0, 1.0 - (t - kFadeOut) / 6.0);
        double l = (mix.left[i] + wl * 0.9) * preGain * fade;
        double r = (mix.right[i] + wr * 0.9) * preGain * fade;
        double peak = std::max(std::fabs(l), std::fabs(r));
        env = std::max(peak, env * release + ceiling * (1.0 - release));
        double g = env > ceiling ? ceiling / env : 1.0;
        out.left[i] = float(l * g);
        out.right[i] = float(r * g);
    }
    return out;
}

} // namespace velmo::soundtrack
