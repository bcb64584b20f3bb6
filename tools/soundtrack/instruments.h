// The soundtrack's instruments. Each function renders one note (or one hit) into the mix,
// starting at t0 seconds; `vel` scales its loudness.
#pragma once

#include <vector>

#include "mix.h"

namespace velmo::soundtrack {

// Drums and effects
void kick(Mix& m, double t0, double vel);
void clap(Mix& m, double t0, double vel, double reverb = 0.22);
void snare(Mix& m, double t0, double vel);
void hat(Mix& m, double t0, double vel, double decay, double pan);
void shaker(Mix& m, double t0, double vel, double pan);
void crash(Mix& m, double t0, double vel);
void impact(Mix& m, double t0, double vel);
void swell(Mix& m, double t0, double dur, double vel);
void riser(Mix& m, double t0, double dur, double vel);

// Tonal voices; notes are MIDI note numbers.
void bass(Mix& m, double t0, double dur, double note, double vel, double cutoff, double envAmount,
          double duckDepth);
void subPulse(Mix& m, double t0, double note, double vel);

struct PadSettings {
    double level = 0.3;
    double cutoffStart = 1500, cutoffEnd = 1500;
    double attack = 0.3, release = 0.8;
    double duckDepth = 0.5;
    double width = 1.0;
    double reverb = 0.5;
    double highpass = 220.0; // leaves the low end to the bass and the kick
};
void pad(Mix& m, double t0, double dur, const std::vector<int>& notes, const PadSettings& s);
void pluck(Mix& m, double t0, double note, double vel, double pan, double brightness, double decay,
           double reverb);
void leadNote(Mix& m, double t0, double dur, double note, double vel, double pan, double cutoff);
void bell(Mix& m, double t0, double note, double vel, double pan);

} // namespace velmo::soundtrack
