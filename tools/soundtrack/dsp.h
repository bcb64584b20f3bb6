// Small DSP building blocks shared by the soundtrack's instruments: a deterministic random
// generator, a state-variable filter, band-limited oscillators, decays and panning.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "synth.h"

namespace velmo::soundtrack {

inline constexpr double kRate = kSampleRate;
inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2.0 * kPi;

struct Rng {
    std::uint64_t state;
    explicit Rng(std::uint64_t seed) : state(seed) {}
    std::uint64_t nextU64() { // splitmix64
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return double(nextU64() >> 11) * (1.0 / 9007199254740992.0); }
    double bipolar() { return uniform() * 2.0 - 1.0; }
};

inline double midiToHz(double note) {
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

// State-variable filter with trapezoidal integration: stays stable while its cutoff moves.
struct Svf {
    double ic1 = 0, ic2 = 0, a1 = 1, a2 = 0, a3 = 0, k = 1;
    void set(double cutoff, double q) {
        cutoff = std::clamp(cutoff, 10.0, kRate * 0.45);
        double g = std::tan(kPi * cutoff / kRate);
        k = 1.0 / q;
        a1 = 1.0 / (1.0 + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    struct Out {
        double low, band, high;
    };
    Out tick(double v0) {
        double v3 = v0 - ic2;
        double v1 = a1 * ic1 + a2 * v3;
        double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0 * v1 - ic1;
        ic2 = 2.0 * v2 - ic2;
        return {v2, v1, v0 - k * v1 - v2};
    }
};

inline double polyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// Band-limited sawtooth with its own phase.
struct Saw {
    double phase = 0;
    double tick(double hz) {
        double dt = hz / kRate;
        double v = 2.0 * phase - 1.0 - polyBlep(phase, dt);
        phase += dt;
        if (phase >= 1.0)
            phase -= 1.0;
        return v;
    }
};

struct Square {
    double phase = 0;
    double tick(double hz, double width = 0.5) {
        double dt = hz / kRate;
        double p2 = phase + width;
        if (p2 >= 1.0)
            p2 -= 1.0;
        double v = (2.0 * phase - 1.0 - polyBlep(phase, dt)) - (2.0 * p2 - 1.0 - polyBlep(p2, dt));
        phase += dt;
        if (phase >= 1.0)
            phase -= 1.0;
        return v;
    }
};

// Exponential decay by recurrence: value(i) = exp(-i / (tau * kRate)), one multiply per sample.
struct Decay {
    double value = 1.0, factor;
    explicit Decay(double tau) : factor(std::exp(-1.0 / (tau * kRate))) {}
    double next() {
        double v = value;
        value *= factor;
        return v;
    }
};

// Constant-power pan: -1 left, +1 right.
struct Pan {
    double l, r;
    explicit Pan(double p) {
        double a = (std::clamp(p, -1.0, 1.0) + 1.0) * 0.25 * kPi;
        l = std::cos(a) * 1.41421356;
        r = std::sin(a) * 1.41421356;
    }
};

} // namespace velmo::soundtrack
