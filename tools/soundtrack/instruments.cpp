#include "instruments.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velmo::soundtrack {

// Kick: a sine sweeping quickly from about 210 Hz down to 47 Hz, held for 25 ms then decaying,
// with a short noise click and soft saturation. Every kick also pulls the sidechain envelope.
void kick(Mix& m, double t0, double vel) {
    std::size_t s0 = Mix::frameAt(t0), n = std::size_t(0.42 * kRate);
    double phase = 0;
    Rng rng(0x4B1C ^ s0);
    Svf clickHp;
    clickHp.set(2500, 0.7);
    Decay sweep(0.016), sweepFast(0.004), body(0.07), clickEnv(0.0025);
    const std::size_t hold = std::size_t(0.025 * kRate);
    for (std::size_t i = 0; i < n; ++i) {
        double dt = double(i) / kRate;
        double hz = 47.0 + 125.0 * sweep.next() + 40.0 * sweepFast.next();
        phase += hz / kRate;
        if (phase >= 1.0)
            phase -= 1.0;
        double amp = (dt < 0.0015 ? dt / 0.0015 : 1.0) * (i < hold ? 1.0 : body.next());
        double tone = std::sin(kTwoPi * phase) * amp;
        double click =
            clickEnv.value > 1e-4 ? clickHp.tick(rng.bipolar()).high * clickEnv.next() * 0.35 : 0.0;
        double x = std::tanh(1.8 * (tone + click)) * (1.0 / std::tanh(1.8));
        x *= vel * 0.95;
        m.add(s0 + i, x, x, 0.0);
    }
    m.addKickToDuck(t0, 0.85 * std::min(1.0, vel + 0.1));
}

// Clap: three quick band-passed noise bursts and a short tail, decorrelated left and right.
void clap(Mix& m, double t0, double vel, double reverb) {
    std::size_t s0 = Mix::frameAt(t0), n = std::size_t(0.5 * kRate);
    Rng rngL(0xC1A9 ^ s0), rngR(0xC1AA ^ (s0 * 3));
    Svf bpL, bpR, hpL, hpR;
    bpL.set(1250, 1.1);
    bpR.set(1350, 1.1);
    hpL.set(700, 0.7);
    hpR.set(700, 0.7);
    std::array<Decay, 3> bursts = {Decay(0.0035), Decay(0.0035), Decay(0.0035)};
    Decay tail(0.09);
    for (std::size_t i = 0; i < n; ++i) {
        double dt = double(i) / kRate;
        double env = 0;
        for (std::size_t b = 0; b < bursts.size(); ++b)
            if (dt >= 0.0105 * double(b))
                env += bursts[b].next() * (b == 2 ? 1.0 : 0.8);
        if (dt >= 0.021)
            env += 0.85 * tail.next();
        double l = hpL.tick(bpL.tick(rngL.bipolar()).band).high;
        double r = hpR.tick(bpR.tick(rngR.bipolar()).band).high;
        double g = env * vel * 1.1;
        m.add(s0 + i, l * g, r * g, reverb);
    }
}

// Snare (for rolls): a short tonal body and band-limited noise.
void snare(Mix& m, double t0, double vel) {
    std::size_t s0 = Mix::frameAt(t0), n = std::size_t(0.3 * kRate);
    Rng rng(0x5A4E ^ s0);
    Svf hp, lp;
    hp.set(1800, 0.8);
    lp.set(4500, 0.7);
    double phase = 0;
    Decay sweep(0.01), bodyEnv(0.045), noiseEnv(0.085);
    for (std::size_t i = 0; i < n; ++i) {
        phase += (175.0 + 50.0 * sweep.next()) / kRate;
        if (phase >= 1.0)
            phase -= 1.0;
        double body = std::sin(kTwoPi * phase) * bodyEnv.next() * 0.4;
        double noise = lp.tick(hp.tick(rng.bipolar()).high).low * noiseEnv.next() * 0.8;
        double x = (body + noise) * vel;
        m.add(s0 + i, x, x, 0.18);
    }
}

// Hats: high-passed noise plus a cluster of inharmonic square waves for the metallic ring;
// a short decay closes them, a long one opens them.
void hat(Mix& m, double t0, double vel, double decay, double pan) {
    std::size_t s0 = Mix::frameAt(t0), n = std::size_t(std::min(6.0 * decay, 0.8) * kRate);
    Rng rng(0x4A7 ^ s0);
    Svf hp, bp;
    hp.set(7800, 0.8);
    bp.set(10500, 1.4);
    static constexpr std::array<double, 6> kMetal = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    std::array<double, 6> ph{};
    Pan p(pan);
    Decay decayEnv(decay);
    for (std::size_t i = 0; i < n; ++i) {
        double dt = double(i) / kRate;
        double metal = 0;
        for (std::size_t k = 0; k < kMetal.size(); ++k) {
            ph[k] += kMetal[k] * 1.7 / kRate;
            if (ph[k] >= 1.0)
                ph[k] -= 1.0;
            metal += ph[k] < 0.5 ? 1.0 : -1.0;
        }
        double src = rng.bipolar() * 0.8 + metal * 0.12;
        double x = hp.tick(bp.tick(src).band + src * 0.3).high;
        double env = (dt < 0.0008 ? dt / 0.0008 : 1.0) * decayEnv.next();
        x *= env * vel * 0.55;
        m.add(s0 + i, x * p.l, x * p.r, 0.08);
    }
}

// Shaker: a soft band-passed noise grain.
void shaker(Mix& m, double t0, double vel, double pan) {
    std::size_t s0 = Mix::frameAt(t0), n = std::size_t(0.09 * kRate);
    Rng rng(0x5BA ^ s0);
    Svf bp;
    bp.set(6200, 1.6);
    Pan p(pan);
    Decay decayEnv(0.022);
    for (std::size_t i = 0; i < n; ++i) {
        double dt = double(i) / kRate;
        double env = std::min(1.0, dt / 0.012) * decayEnv.next();
        double x = bp.tick(rng.bipolar()).band * env * vel * 0.6;
        m.add(s0 + i, x * p.l, x * p.r, 0.1);
    }
}

// Crash cymbal: bright noise, decorrelated left and right, with a fast and a slow decay.
void crash(Mix& m, double t0, double vel) {
    std::size_t s0 = Mix::frameAt(t0), n = std::size_t(2.6 * kRate);
    Rng rngL(0xC4A5 ^ s0), rngR(0xC4A6 ^ (s0 * 7));
    Svf hpL, hpR, bpL, bpR;
    hpL.set(3800, 0.7);
    hpR.set(3800, 0.7);
    bpL.set(6500, 0.9);
    bpR.set(7000, 0.9);
    Decay fast(0.08), slow(0.75);
    for (std::size_t i = 0; i < n; ++i) {
        double dt = double(i) / kRate;
        double env = (dt < 0.002 ? dt / 0.002 : 1.0) * (0.35 * fast.next() + 0.65 * slow.next());
        double l = hpL.tick(bpL.tick(rngL.bipolar()).band * 0.7 + rngL.bipolar() * 0.3).high;
        double r = hpR.tick(bpR.tick(rngR.bipolar()).band * 0.7 + rngR.bipolar() * 0.3).high;
        double g = env * vel * 0.42;
        m.add(s0 + i, l * g, r * g, 0.35);
    }
}

// A deep impact: a long falling sine under the crash at the cuts.
void impact(Mix& m, double t0, double vel) {
    std::size_t s0 = Mix::frameAt(t0), n = std::size_t(1.2 * kRate);
    double phase = 0;
    Decay sweep(0.05), env(0.35);
    for (std::size_t i = 0; i < n; ++i) {
        double dt = double(i) / kRate;
        phase += (42.0 + 70.0 * sweep.next()) / kRate;
        if (phase >= 1.0)
            phase -= 1.0;
        double x = std::sin(kTwoPi * phase) * env.next() * (dt < 0.002 ? dt / 0.002 : 1.0);
        x *= vel * 0.55;
        m.add(s0 + i, x, x, 0.2);
    }
}

// Reverse cymbal: a noise swell that stops dead on the downbeat at t0 + dur.
void swell(Mix& m, double t0, double dur, double vel) {
    std::size_t s0 = Mix::frameAt(t0), n = std::size_t(dur * kRate);
    Rng rngL(0x5E11 ^ s0), rngR(0x5E12 ^ (s0 * 5));
    Svf hpL, hpR;
    hpL.set(2500, 0.7);
    hpR.set(2500, 0.7);
    for (std::size_t i = 0; i < n; ++i) {
        double u = double(i) / double(n);
        double env = u * u * u;
        double g = env * vel * 0.3;
        m.add(s0 + i, hpL.tick(rngL.bipolar()).high * g, hpR.tick(rngR.bipolar()).high * g, 0.25);
    }
}

// Noise riser: a band-pass sweep rising over `dur` with a rising detuned saw underneath.
void riser(Mix& m, double t0, double dur, double vel) {
    std::size_t s0 = Mix::frameAt(t0), n = std::size_t(dur * kRate);
    Rng rngL(0x815E ^ s0), rngR(0x815F ^ (s0 * 3));
    Svf bpL, bpR, lp;
    Saw a, b;
    for (std::size_t i = 0; i < n; ++i) {
        double u = double(i) / double(n);
        if ((i & 31) == 0) {
            double fc = 250.0 * std::pow(14.0, u);
            bpL.set(fc, 2.2);
            bpR.set(fc * 1.06, 2.2);
            lp.set(400.0 + 3500.0 * u * u, 1.2);
        }
        double env = u * u;
        double pitch = midiToHz(57.0 + 24.0 * u * u);
        double tone = lp.tick(a.tick(pitch) + b.tick(pitch * 1.012)).low * 0.22;
        double g = env * vel;
        m.add(s0 + i, (bpL.tick(rngL.bipolar()).band * 0.9 + tone) * g,
              (bpR.tick(rngR.bipolar()).band * 0.9 + tone) * g, 0.4);
    }
}

// Bass: saw + square through a resonant low-pass with a pluck envelope, plus a sine for weight.
void bass(Mix& m, double t0, double dur, double note, double vel, double cutoff, double envAmount,
          double duckDepth) {
    std::size_t s0 = Mix::frameAt(t0);
    std::size_t gate = std::size_t(dur * kRate), n = gate + std::size_t(0.03 * kRate);
    double hz = midiToHz(note);
    Saw saw;
    Square sq;
    Svf lp;
    double phase = 0;
    Decay filterEnv(0.09), releaseEnv(0.008);
    for (std::size_t i = 0; i < n; ++i) {
        double dt = double(i) / kRate;
        double fe = filterEnv.next();
        if ((i & 15) == 0)
            lp.set(cutoff + envAmount * fe, 1.6);
        double amp = std::min(1.0, dt / 0.003);
        if (i >= gate)
            amp *= releaseEnv.next();
        phase += hz / kRate;
        if (phase >= 1.0)
            phase -= 1.0;
        double osc = saw.tick(hz) * 0.6 + sq.tick(hz, 0.42) * 0.4;
        double x = lp.tick(osc).low * 0.55 + std::sin(kTwoPi * phase) * 0.6;
        x = std::tanh(1.3 * x) * amp * vel * 0.62 * m.duck(s0 + i, duckDepth);
        m.add(s0 + i, x, x, 0.0);
    }
}

// Sub pulse of the harmonia section: a sine with a short pitch drop and a long decay.
void subPulse(Mix& m, double t0, double note, double vel) {
    std::size_t s0 = Mix::frameAt(t0), n = std::size_t(0.48 * kRate);
    double hz = midiToHz(note), phase = 0;
    Decay sweep(0.02), env(0.1);
    for (std::size_t i = 0; i < n; ++i) {
        double dt = double(i) / kRate;
        phase += hz * (1.0 + 0.9 * sweep.next()) / kRate;
        if (phase >= 1.0)
            phase -= 1.0;
        double amp = std::min(1.0, dt / 0.002) * env.next();
        double x = std::tanh(1.5 * std::sin(kTwoPi * phase)) * amp * vel * 0.75;
        m.add(s0 + i, x, x, 0.05);
    }
}

// Pad: five detuned band-limited saws per note, spread across the stereo field, band-limited by
// a moving low-pass and a fixed high-pass (which leaves the low end to the bass and the kick).
void pad(Mix& m, double t0, double dur, const std::vector<int>& notes, const PadSettings& s) {
    static constexpr std::array<double, 5> kDetune = {-0.13, -0.06, 0.0, 0.07, 0.12};
    static constexpr std::array<double, 5> kPan = {-0.9, 0.45, 0.0, -0.45, 0.9};
    std::size_t s0 = Mix::frameAt(t0);
    std::size_t gate = std::size_t(dur * kRate), n = gate + std::size_t(s.release * 3.0 * kRate);
    Rng rng(0xFAD ^ s0);
    for (int note : notes) {
        std::array<Saw, 5> saws;
        std::array<double, 5> hz, gl, gr;
        for (std::size_t v = 0; v < saws.size(); ++v) {
            saws[v].phase = rng.uniform();
            hz[v] = midiToHz(note + kDetune[v]);
            Pan p(kPan[v] * s.width);
            gl[v] = p.l;
            gr[v] = p.r;
        }
        Svf lpL, lpR, hpL, hpR;
        hpL.set(s.highpass, 0.7);
        hpR.set(s.highpass, 0.7);
        Decay releaseEnv(s.release);
        double level = s.level / std::sqrt(double(notes.size()));
        for (std::size_t i = 0; i < n; ++i) {
            double dt = double(i) / kRate;
            if ((i & 31) == 0) {
                double u = std::min(1.0, dt / dur);
                double fc = s.cutoffStart * std::pow(s.cutoffEnd / s.cutoffStart, u);
                lpL.set(fc, 0.9);
                lpR.set(fc * 1.03, 0.9);
            }
            double amp = std::min(1.0, dt / s.attack);
            if (i >= gate)
                amp *= releaseEnv.next();
            double l = 0, r = 0;
            for (std::size_t v = 0; v < saws.size(); ++v) {
                double x = saws[v].tick(hz[v]);
                l += x * gl[v];
                r += x * gr[v];
            }
            double g = amp * level * 0.3 * m.duck(s0 + i, s.duckDepth);
            m.add(s0 + i, hpL.tick(lpL.tick(l).low).high * g, hpR.tick(lpR.tick(r).low).high * g,
                  s.reverb);
        }
    }
}

// Pluck for arpeggios: saw/square mix, fast filter envelope.
void pluck(Mix& m, double t0, double note, double vel, double pan, double brightness, double decay,
           double reverb) {
    std::size_t s0 = Mix::frameAt(t0), n = std::size_t(std::min(decay * 5.0, 1.0) * kRate);
    double hz = midiToHz(note);
    Saw saw;
    Square sq;
    Svf lp;
    Pan p(pan);
    Decay filterEnv(0.07), ampEnv(decay);
    for (std::size_t i = 0; i < n; ++i) {
        double dt = double(i) / kRate;
        double fe = filterEnv.next();
        if ((i & 15) == 0)
            lp.set(350.0 + brightness * fe, 2.0);
        double amp = std::min(1.0, dt / 0.002) * ampEnv.next();
        double x = lp.tick(saw.tick(hz) * 0.55 + sq.tick(hz * 1.002, 0.3) * 0.45).low;
        x *= amp * vel * 0.32 * m.duck(s0 + i, 0.35);
        m.add(s0 + i, x * p.l, x * p.r, reverb);
    }
}

// Lead: two detuned saws and a sub square, vibrato after the attack, panned apart slightly.
void leadNote(Mix& m, double t0, double dur, double note, double vel, double pan, double cutoff) {
    std::size_t s0 = Mix::frameAt(t0);
    std::size_t gate = std::size_t(dur * kRate), n = gate + std::size_t(0.25 * kRate);
    Saw a, b;
    Square c;
    Svf lpL, lpR;
    double hz = midiToHz(note);
    double vibPhase = 0;
    Pan pa(pan - 0.35), pb(pan + 0.35);
    Decay filterEnv(0.08), releaseEnv(0.06);
    for (std::size_t i = 0; i < n; ++i) {
        double dt = double(i) / kRate;
        double fe = filterEnv.next();
        if ((i & 15) == 0) {
            double fc = cutoff * (1.0 + 1.2 * fe);
            lpL.set(fc, 1.3);
            lpR.set(fc * 1.04, 1.3);
        }
        vibPhase += 5.3 / kRate;
        if (vibPhase >= 1.0)
            vibPhase -= 1.0;
        double vib = dt > 0.22
                         ? std::sin(kTwoPi * vibPhase) * std::min(1.0, (dt - 0.22) / 0.3) * 0.0075
                         : 0.0;
        double f = hz * (1.0 + vib);
        double amp = std::min(1.0, dt / 0.01);
        if (i >= gate)
            amp *= releaseEnv.next();
        double xa = a.tick(f * 1.0035), xb = b.tick(f * 0.9965), xc = c.tick(f * 0.5) * 0.35;
        double l = lpL.tick(xa * pa.l + xb * pb.l + xc).low;
        double r = lpR.tick(xa * pa.r + xb * pb.r + xc).low;
        double g = amp * vel * 0.16 * m.duck(s0 + i, 0.25);
        m.add(s0 + i, l * g, r * g, 0.35);
    }
}

// FM bell of the harmonia section.
void bell(Mix& m, double t0, double note, double vel, double pan) {
    std::size_t s0 = Mix::frameAt(t0), n = std::size_t(2.2 * kRate);
    double hz = midiToHz(note);
    double pc = 0, pm = 0;
    Pan p(pan);
    Decay indexEnv(0.25), ampEnv(0.55);
    for (std::size_t i = 0; i < n; ++i) {
        double dt = double(i) / kRate;
        pm += hz * 3.5 / kRate;
        pc += hz / kRate;
        if (pm >= 1.0)
            pm -= 1.0;
        if (pc >= 1.0)
            pc -= 1.0;
        double index = 2.2 * indexEnv.next() + 0.3;
        double x = std::sin(kTwoPi * pc + index * std::sin(kTwoPi * pm));
        x *= std::min(1.0, dt / 0.003) * ampEnv.next() * vel * 0.16;
        m.add(s0 + i, x * p.l, x * p.r, 0.6);
    }
}

} // namespace velmo::soundtrack
