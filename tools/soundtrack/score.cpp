// The score of "corvena (short version)": an electronic piece in A minor at 120 BPM.
//
//   0 - 10    fade-in: pads and a filtered arpeggio
//   10 - 42   build: hats, then bass and a soft kick from 26 s, filters opening
//   42 - 47   four-on-the-floor kick, clap, a light offbeat bass
//   47 - 52   rising tension: snare roll, noise riser, pads opening; a half-beat gap
//   52        the cut into the main groove: rolling bass, hats, clap, arpeggio
//   76.5      intense: lead melody, brighter chords, 16th hats and shaker
//   102.5     calmer: darker chords, offbeat bass, echoing arpeggio
//   114       intense again
//   128.5     harmonia: slow chords with FM bells, a sub-bass pulse on every beat
//   155       finale: the full groove, lead an octave up, bright arpeggios
//   217       fade-out on a held chord
//
// The kick accents beats 1 and 3 of each bar, so that only strong beats stand out in the bass
// bands; the bass rolls on the 16ths between kicks; chords and arpeggios pump with the kick.
// Velocities are humanized with a fixed-seed generator: the same binary plays the same notes.
#include "score.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "arrangement.h"
#include "instruments.h"

namespace velmo::soundtrack {
namespace {

using Chord = std::vector<int>;
const Chord kAm9 = {57, 60, 64, 71};
const Chord kFmaj7 = {53, 57, 60, 64};
const Chord kC = {55, 60, 64, 67};
const Chord kG = {55, 59, 62, 67};
const Chord kEm7 = {55, 59, 62, 64};
const Chord kDm7 = {53, 57, 60, 62};
const Chord kG6 = {55, 59, 62, 64};

struct Harmony {
    const Chord* chord;
    int root; // bass note (octave 1-2)
};
const std::array<Harmony, 4> kMainProgression = {
    {{&kAm9, 33}, {&kFmaj7, 29}, {&kC, 36}, {&kG, 31}}};
const std::array<Harmony, 4> kCalmProgression = {
    {{&kFmaj7, 29}, {&kEm7, 28}, {&kDm7, 26}, {&kEm7, 28}}};
const std::array<Harmony, 4> kHarmoniaProgression = {
    {{&kFmaj7, 29}, {&kG6, 31}, {&kEm7, 28}, {&kAm9, 33}}};

// Lead melody: 8 bars of (start in 16ths, length in 16ths, MIDI note), over Am F C G twice.
struct MelodyNote {
    int start, length, note;
};
// clang-format off
const std::vector<MelodyNote> kMelody = {
    // phrase A
    {0, 3, 76}, {3, 1, 74}, {4, 2, 72}, {6, 2, 74}, {8, 4, 76}, {12, 2, 79}, {14, 2, 76},  // Am
    {16, 6, 77}, {22, 2, 76}, {24, 2, 72}, {26, 2, 69}, {28, 4, 72},                      // F
    {32, 3, 79}, {35, 1, 76}, {36, 4, 76}, {40, 2, 74}, {42, 2, 72}, {44, 4, 74},         // C
    {48, 6, 74}, {54, 2, 71}, {56, 4, 67}, {60, 2, 71}, {62, 2, 74},                      // G
    // phrase B
    {64, 3, 76}, {67, 1, 74}, {68, 2, 72}, {70, 2, 74}, {72, 4, 76}, {76, 2, 81}, {78, 2, 79},
    {80, 4, 77}, {84, 2, 76}, {86, 2, 77}, {88, 4, 81}, {92, 4, 77},
    {96, 3, 79}, {99, 1, 76}, {100, 4, 72}, {104, 2, 74}, {106, 2, 76}, {108, 4, 79},
    {112, 4, 76}, {116, 4, 74}, {120, 8, 71},
};

// Arpeggio order over the chord tones: {index into the chord, octave}.
constexpr std::array<std::array<int, 2>, 16> kArpPattern = {{
    {0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 1}, {3, 0}, {2, 0}, {1, 0},
    {0, 0}, {2, 0}, {3, 0}, {0, 1}, {1, 1}, {0, 1}, {3, 0}, {2, 0},
}};
// clang-format on

// Where the build adds its parts.
constexpr double kBuildBassIn = 18.0, kBuildClapIn = 34.0;

class Score {
public:
    explicit Score(Mix& m) : m_(m), rng_(0xC0DE5EED) {}

    void render() {
        drums();
        bassLine();
        pads();
        arpeggios();
        leads();
        effects();
    }

private:
    double humanize(double v, double amount = 0.06) { return v * (1.0 + amount * rng_.bipolar()); }

    // The chord and bass root at time t. Progressions restart at each section; the intro and
    // build hold each chord for two bars, the harmonic section too, the rest change every bar.
    Harmony harmonyAt(double t) const {
        if (t < kTextStart)
            return kMainProgression[std::size_t(t / 4.0) % 4]; // 2 bars per chord
        if (t < kCut)
            return kMainProgression[std::size_t((t - kTextStart) / 2.0) % 4]; // 1 bar
        if (t >= kCalm && t < kIntense2)
            return kCalmProgression[std::size_t((t - kCalm) / 2.0) % 4];
        if (t >= kHarmonia && t < kFinale)
            return kHarmoniaProgression[std::size_t((t - kHarmonia) / 4.0) % 4];
        if (t >= kFadeOut)
            return kMainProgression[0];
        double start = t < kIntense1   ? kCut
                       : t < kCalm     ? kIntense1
                       : t < kHarmonia ? kIntense2
                                       : kFinale;
        return kMainProgression[std::size_t((t - start) / 2.0) % 4];
    }
    static bool intense(double t) {
        return (t >= kIntense1 && t < kCalm) || (t >= kIntense2 && t < kHarmonia);
    }
    static bool groove(double t) { return t >= kCut && t < kHarmonia; }
    static bool finale(double t) { return t >= kFinale && t < kFadeOut; }
    // Beat position within the current section's bars (0 = downbeat).
    static int barBeat(double t) {
        double start = t < kCut        ? 0.0
                       : t < kIntense1 ? kCut
                       : t < kCalm     ? kIntense1
                       : t < kIntense2 ? kCalm
                       : t < kHarmonia ? kIntense2
                       : t < kFinale   ? kHarmonia
                                       : kFinale;
        return int(std::llround((t - start) / kBeatSeconds)) % 4;
    }

    void drums() {
        const int beats = int(kLengthSeconds / kBeatSeconds);
        for (int b = 0; b < beats; ++b) {
            double t = b * kBeatSeconds;
            int bb = barBeat(t);
            // Kick
            if (t >= kKickIn && t < kTextStart) {
                kick(m_, t, humanize(0.42 + 0.25 * (t - kKickIn) / (kTextStart - kKickIn), 0.03));
            } else if (t >= kTextStart && t < kCut - 0.5) {
                kick(m_, t, humanize(bb == 0 ? 1.0 : 0.88, 0.03));
            } else if ((groove(t) || finale(t))) {
                double v = bb == 0 ? 1.0 : bb == 2 ? 0.95 : 0.68;
                if (t >= kCalm && t < kIntense2)
                    v *= 0.86;
                kick(m_, t, humanize(v, 0.025));
            } else if (t >= kHarmonia && t < kFinale) {
                kick(m_, t, humanize(1.0, 0.03));
            }
            // Clap / snare on 2 and 4
            bool backbeat = bb == 1 || bb == 3;
            if (backbeat && ((t >= kBuildClapIn && t < kTension) || groove(t) || finale(t))) {
                double v = t < kTextStart
                               ? 0.35 + 0.25 * (t - kBuildClapIn) / (kTextStart - kBuildClapIn)
                               : 0.75;
                if (t >= kCalm && t < kIntense2)
                    v = 0.55;
                clap(m_, t, humanize(v));
            }
            if (t >= kHarmonia && t < kFinale && bb == 2)
                clap(m_, t, humanize(0.28), 0.6);
            // Hats
            if (t >= kBuildStart && t < kTextStart) {
                double ramp = (t - kBuildStart) / (kTextStart - kBuildStart);
                hat(m_, t + 0.25, humanize(0.25 + 0.35 * ramp), 0.03, 0.25);
                if (t >= kBuildClapIn)
                    for (int s : {1, 3})
                        hat(m_, t + s * 0.125, humanize(0.12 + 0.1 * ramp), 0.018, -0.3);
            } else if (t >= kTextStart && t < kCut - 0.5) {
                hat(m_, t + 0.25, humanize(0.55), t < kTension ? 0.07 : 0.04, 0.2);
                for (int s : {1, 3})
                    hat(m_, t + s * 0.125, humanize(0.2), 0.018, -0.3);
            } else if (groove(t) || finale(t)) {
                bool calm = t >= kCalm && t < kIntense2;
                bool hot = intense(t) || finale(t);
                hat(m_, t + 0.25,
                    humanize(calm  ? 0.4
                             : hot ? 0.7
                                   : 0.62),
                    calm ? 0.035 : 0.11, 0.2);
                if (!calm) {
                    for (int s : {1, 3})
                        hat(m_, t + s * 0.125, humanize(hot ? 0.3 : 0.24), 0.02, -0.3);
                    hat(m_, t, humanize(hot ? 0.2 : 0.14), 0.015, -0.3);
                }
                if (hot)
                    for (int s = 0; s < 4; ++s)
                        shaker(m_, t + s * 0.125, humanize(s % 2 ? 0.32 : 0.2), 0.45);
            } else if (t >= kHarmonia && t < kFinale) {
                for (int s : {1, 3})
                    shaker(m_, t + s * 0.125, humanize(0.18), 0.35);
            }
        }
        // Tension: a snare roll that doubles its rate twice, growing louder.
        for (double t = kTension; t < kCut - 0.5 - 1e-9;) {
            double u = (t - kTension) / (kCut - 0.5 - kTension);
            snare(m_, t, humanize(0.2 + 0.4 * u));
            t += t < 49.0 ? 0.25 : t < 50.5 ? 0.125 : 0.0625;
        }
    }

    void bassLine() {
        const int beats = int(kLengthSeconds / kBeatSeconds);
        for (int b = 0; b < beats; ++b) {
            double t = b * kBeatSeconds;
            Harmony h = harmonyAt(t);
            int bb = barBeat(t);
            if (t >= kBuildBassIn && t < kTextStart) {
                // Long, dark notes, one per chord (every 2 bars).
                if (std::fmod(t, 4.0) < 1e-9)
                    bass(m_, t, std::min(3.8, kTextStart - t - 0.05), h.root + 12, 0.45, 180, 250,
                         0.4);
            } else if (t >= kTextStart && t < kCut - 0.5) {
                bass(m_, t + 0.25, 0.2, h.root + 12, humanize(0.22, 0.04), 260, 700, 0.2);
            } else if (groove(t) || finale(t)) {
                if (t >= kCalm && t < kIntense2) {
                    bass(m_, t + 0.25, 0.22, h.root + 12, humanize(0.62, 0.04), 300, 600, 0.2);
                    if (bb == 3)
                        bass(m_, t + 0.375, 0.1, h.root + 19, humanize(0.45, 0.04), 300, 600, 0.2);
                    continue;
                }
                bool hot = intense(t) || finale(t);
                for (int s = 1; s <= 3; ++s) {
                    int note = h.root + 12 + (s == 3 && bb == 3 ? 12 : 0);
                    double v = s == 2 ? 1.0 : 0.92;
                    bass(m_, t + s * 0.125, 0.115, note, humanize(v, 0.05), hot ? 330 : 260,
                         hot ? 1700 : 1200, 0.1);
                }
            } else if (t >= kHarmonia && t < kFinale) {
                subPulse(m_, t, h.root + 12, humanize(bb == 0 ? 1.05 : 0.98, 0.03));
            }
        }
    }

    void pads() {
        // Intro and build: two bars per chord, filter opening from dark to bright.
        for (double t = 0.0; t < kTextStart; t += 4.0) {
            PadSettings s;
            s.level = 0.55;
            s.cutoffStart = 380.0 * std::pow(9.0, t / kTextStart);
            s.cutoffEnd = 380.0 * std::pow(9.0, (t + 4.0) / kTextStart);
            s.attack = t == 0.0 ? 2.0 : 0.4;
            s.release = 0.6;
            s.duckDepth = t >= kKickIn ? 0.35 : 0.0;
            pad(m_, t, 4.0, *harmonyAt(t).chord, s);
        }
        // Text lines and tension: a bar per chord; the tension opens the filter wide.
        for (double t = kTextStart; t < kCut - 0.5; t += 2.0) {
            PadSettings s;
            s.level = 0.26;
            bool tense = t >= kTension;
            s.cutoffStart = tense ? 2400.0 * std::pow(3.0, (t - kTension) / 5.0) : 2400.0;
            s.cutoffEnd = tense ? 2400.0 * std::pow(3.0, (t + 2.0 - kTension) / 5.0) : 2400.0;
            s.duckDepth = 0.55;
            s.release = 0.3;
            s.highpass = 330.0;
            double dur = std::min(2.0, kCut - 0.5 - t);
            pad(m_, t, dur, *harmonyAt(t).chord, s);
        }
        // Groove, intense, calm, intense: a bar per chord from each section start.
        struct Span {
            double from, to;
            PadSettings s;
        };
        PadSettings grooveS;
        grooveS.level = 0.34;
        grooveS.cutoffStart = grooveS.cutoffEnd = 2200.0;
        grooveS.attack = 0.05;
        grooveS.release = 0.25;
        grooveS.duckDepth = 0.75;
        PadSettings hotS = grooveS;
        hotS.level = 0.42;
        hotS.cutoffStart = hotS.cutoffEnd = 3600.0;
        PadSettings calmS = grooveS;
        calmS.level = 0.5;
        calmS.cutoffStart = 900.0;
        calmS.cutoffEnd = 1400.0;
        calmS.attack = 0.25;
        calmS.release = 0.6;
        calmS.duckDepth = 0.45;
        PadSettings finaleS = hotS;
        finaleS.level = 0.44;
        finaleS.cutoffStart = finaleS.cutoffEnd = 4200.0;
        const std::array<Span, 5> spans = {{{kCut, kIntense1, grooveS},
                                            {kIntense1, kCalm, hotS},
                                            {kCalm, kIntense2, calmS},
                                            {kIntense2, kHarmonia, hotS},
                                            {kFinale, kFadeOut, finaleS}}};
        for (const Span& span : spans) {
            for (double t = span.from; t < span.to - 1e-9; t += 2.0) {
                double dur = std::min(2.0, span.to - t);
                pad(m_, t, dur, *harmonyAt(t).chord, span.s);
            }
        }
        // Harmonia: two bars per chord, slow attack, widened by a fourth above the top note and
        // the root in the middle register.
        for (double t = kHarmonia; t < kFinale - 1e-9; t += 4.0) {
            PadSettings s;
            s.level = 0.36;
            s.cutoffStart = 1400.0;
            s.cutoffEnd = 2600.0;
            s.attack = 0.9;
            s.release = 1.0;
            s.duckDepth = 0.3;
            s.reverb = 0.7;
            Harmony h = harmonyAt(t);
            Chord c = *h.chord;
            c.push_back(c.back() + 5);
            c.push_back(h.root + 36);
            pad(m_, t, std::min(4.0, kFinale - t), c, s);
        }
        // Fade-out: the tonic, held.
        PadSettings endS;
        endS.level = 0.55;
        endS.cutoffStart = 2500.0;
        endS.cutoffEnd = 700.0;
        endS.attack = 0.2;
        endS.release = 1.5;
        endS.duckDepth = 0.0;
        endS.reverb = 0.8;
        pad(m_, kFadeOut, 4.5, kAm9, endS);
        bass(m_, kFadeOut, 3.5, 45, 0.5, 150, 200, 0.0);
    }

    void arpeggios() {
        const int sixteenths = int(kLengthSeconds / 0.125);
        for (int s = 0; s < sixteenths; ++s) {
            double t = s * 0.125;
            if (t < 2.0 || (t >= kCut - 0.5 && t < kCut) || t >= kFadeOut)
                continue;
            bool harmonia = t >= kHarmonia && t < kFinale;
            Harmony h = harmonyAt(t);
            const Chord& c = *h.chord;
            if (harmonia) {
                // Bells on the 8ths, in a slow pattern over the chord.
                if (s % 2 == 0) {
                    auto step = std::size_t(s / 2) % 8;
                    static constexpr std::array<int, 8> kIdx = {0, 2, 1, 3, 2, 0, 3, 1};
                    int note = c[std::size_t(kIdx[step]) % c.size()] + 12;
                    bell(m_, t, note, humanize(step % 4 == 0 ? 1.0 : 0.7), step % 2 ? 0.4 : -0.4);
                }
                continue;
            }
            auto step = kArpPattern[std::size_t(s) % kArpPattern.size()];
            int note = c[std::size_t(step[0]) % c.size()] + 12 * step[1] + 12;
            double vel, bright, decay = 0.12, reverb = 0.3, echo = 0.0;
            if (t < kBuildStart) {
                vel = 0.55;
                bright = 300.0 + 900.0 * t / kBuildStart;
                echo = 0.45;
            } else if (t < kTextStart) {
                vel = 0.6;
                bright = 1200.0 + 2500.0 * (t - kBuildStart) / (kTextStart - kBuildStart);
                echo = 0.4;
            } else if (t < kCut) {
                vel = 0.6;
                bright = t < kTension ? 3500.0 : 3500.0 + 3000.0 * (t - kTension) / 5.0;
            } else if (t >= kCalm && t < kIntense2) {
                vel = 0.75;
                bright = 2600.0;
                decay = 0.16;
                echo = 0.5;
                reverb = 0.45;
            } else if (intense(t)) {
                vel = 0.42;
                bright = 4200.0;
            } else if (finale(t)) {
                vel = 0.55;
                bright = 5500.0;
                echo = 0.3;
            } else {
                vel = 0.55;
                bright = 3000.0;
                echo = 0.25;
            }
            double pan = (s % 2 == 0) ? -0.35 : 0.35;
            vel = humanize(vel * (s % 4 == 0 ? 1.0 : 0.8));
            pluck(m_, t, note, vel, pan, bright, decay, reverb);
            // Ping-pong echo: a dotted eighth later, on the other side, darker.
            if (echo > 0.0) {
                pluck(m_, t + 0.375, note, vel * echo, -pan * 1.8, bright * 0.5, decay, reverb);
                pluck(m_, t + 0.75, note, vel * echo * echo, pan * 1.8, bright * 0.3, decay,
                      reverb);
            }
        }
    }

    void melody(double from, double to, int transpose, double vel, double cutoff) {
        const double phrase = 32 * 0.5; // 8 bars
        for (double base = from; base < to - 1e-9; base += phrase) {
            for (const MelodyNote& n : kMelody) {
                double t = base + n.start * 0.125;
                double dur = n.length * 0.125 * 0.92;
                if (t >= to - 1e-9)
                    break;
                dur = std::min(dur, to - t);
                double pan = (n.note % 2 == 0) ? 0.1 : -0.1;
                leadNote(m_, t, dur, n.note + transpose, humanize(vel, 0.05), pan, cutoff);
                // Echo, quieter and further out.
                leadNote(m_, t + 0.375, dur, n.note + transpose, vel * 0.22, pan * -4.0,
                         cutoff * 0.6);
            }
        }
    }

    void leads() {
        melody(kIntense1, kCalm, 0, 0.85, 2600.0);
        melody(kIntense2, kHarmonia, 0, 0.9, 2800.0);
        melody(kFinale + 16.0, kFadeOut, 12, 0.7, 3400.0);
    }

    void effects() {
        riser(m_, kTension, kCut - 0.25 - kTension, 0.28);
        for (double t : {kCut, kIntense1, kIntense2, kHarmonia, kFinale}) {
            crash(m_, t, t == kHarmonia ? 0.4 : 0.55);
            impact(m_, t, 0.8);
        }
        for (double t : {kIntense1, kIntense2, kFinale})
            swell(m_, t - 2.0, 2.0, 0.5);
        swell(m_, kCut - 1.0, 1.0, 0.35);
        swell(m_, kHarmonia - 2.0, 2.0, 0.35);
    }

    Mix& m_;
    Rng rng_;
};

} // namespace

void renderScore(Mix& mix) {
    Score(mix).render();
}

} // namespace velmo::soundtrack
