// Frame times of the whole production, span by span of the timeline, on the capture aid's
// substituted clock: demo time steps from 0 to the end of the run in fixed render steps with
// the fixed 50 ms updates, at each display size in a fresh process, offscreen with vsync off.
// To stay within a few minutes it times 2-second windows, one in every 8 seconds of the
// timeline (every span gets at least one); between windows it runs the skipped frames' clock
// steps and updates, drawing only the last, so that each window finds its scene as a full run
// would (a scene's update given the whole skipped time as one step would leave it far from
// there: several seconds of particles born in one frame, and seconds of motion blurred into
// the window's first frame); --full times every frame.
// A frame's time is runFrame plus glFinish, so that the renderer's own threads finish the
// frame inside it; the main thread's CPU time is reported beside it. Not part of the tests.
// A second table breaks each span's frames down by what the device sent to GL (medians per
// frame, from the port's counters) and gives the span's first frame, the one that meets its
// scene's shaders and drawing state for the first time.
//
//   production_bench [--sizes 640x480,1920x1080] [--fps 20] [--spans intro,house,...] [--full]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <epoxy/gl.h>

#include "demo/timeline.h"
#include "engine/platform/engine.h"
#include "engine/resources/device_state.h"
#include "production_run.h"

namespace {

constexpr unsigned windowMs = 2000;
constexpr unsigned windowEveryMs = 8000;
// A frame over two display refreshes and twice the frame before it: something made or
// compiled on the way, not the scene's own cost.
constexpr double spikeMs = 33.4;

struct Span {
    const char* name;
    std::vector<double> wallMs;
    std::vector<double> cpuMs;
    std::vector<port::testing::DrawStats> perFrame;  // what each frame sent to GL
    double firstMs = -1.0;                           // the span's first timed frame
    std::vector<std::pair<unsigned, double>> spikes; // (clock ms, wall ms) of frames far slower
                                                     // than the frame before them
    bool chosen = true;
    bool sampled = false; // a frame of it was looked at
    bool drewSomething = false;
};

enum SpanIndex { Loading, Intro, OverlayOverIntro, House, Harmonia, Finale, SpanCount };

SpanIndex spanAt(float t) {
    const FramePlan plan = framePlanAt(t);
    switch (plan.scene) {
    case DemoPart::Intro:
        return plan.overlayLine >= 0 ? OverlayOverIntro : Intro;
    case DemoPart::House:
        return House;
    case DemoPart::Harmonia:
        return Harmonia;
    case DemoPart::Finale:
        break;
    }
    return Finale;
}

double threadCpuMs() {
    timespec ts = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

port::testing::DrawStats drawStats() {
    return port::testing::drawStats(velmo::Device::instance()->state->device);
}

port::testing::DrawStats difference(const port::testing::DrawStats& after,
                                    const port::testing::DrawStats& before) {
    return {after.draws - before.draws, after.triangles - before.triangles,
            after.targetsWritten - before.targetsWritten,
            after.framebufferChanges - before.framebufferChanges,
            after.clearedPixels - before.clearedPixels};
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * double(v.size() - 1) + 0.5));
    return v[i];
}

// Whether a frame shows anything but black.
bool backBufferShows(const ProductionRun& run) {
    unsigned w = 0, h = 0;
    const std::vector<unsigned char> rgb = run.backBufferRgb(w, h);
    return std::any_of(rgb.begin(), rgb.end(), [](unsigned char c) { return c > 8; });
}

// Runs the timeline at one size and prints its table. Runs in a process of its own, since the
// demo builds its scenes once per process.
int measure(unsigned width, unsigned height, unsigned fps, bool full, std::vector<Span> spans) {
    ProductionRun run(width, height, false);
    if (!run.ready() || !run.musicPlays()) {
        std::printf("%ux%u: %s\n", width, height, run.problem().c_str());
        return 1;
    }
    bool first = true;
    double loadSeconds = 0.0;
    bool skipped = false;
    unsigned lastSecond = ~0u;
    for (uint64_t k = 0;; ++k) {
        const unsigned ms = static_cast<unsigned>(k * 1000 / fps);
        if (ms > runLengthMs) {
            break;
        }
        Span& span = spans[spanAt(demoTimeAt(ms))];
        if (!span.chosen || (!full && ms % windowEveryMs >= windowMs)) {
            skipped = true;
            continue;
        }
        if (skipped) {
            run.catchUpTo(ms, 1000 / fps);
            skipped = false;
        }
        const port::testing::DrawStats stats0 = drawStats();
        const double cpu0 = threadCpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        run.frameAt(ms);
        glFinish();
        const auto t1 = std::chrono::steady_clock::now();
        const double wall = std::chrono::duration<double, std::milli>(t1 - t0).count();
        span.cpuMs.push_back(threadCpuMs() - cpu0);
        span.perFrame.push_back(difference(drawStats(), stats0));
        if (span.wallMs.empty()) {
            span.firstMs = wall;
        } else if (wall > spikeMs && wall > 2.0 * span.wallMs.back()) {
            span.spikes.emplace_back(ms, wall);
        }
        span.wallMs.push_back(wall);
        if (first) {
            loadSeconds = std::chrono::duration<double>(t1 - run.loadStarted()).count();
            first = false;
        }
        // Once a second of demo time, outside the timing: does the span draw anything?
        if (ms / 1000 != lastSecond) {
            lastSecond = ms / 1000;
            span.sampled = true;
            span.drewSomething = span.drewSomething || backBufferShows(run);
        }
        if (run.over()) {
            break;
        }
    }

    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("\n%ux%u, render step %u fps, each 50 ms update in the frame it falls due, %s\n\n",
                width, height, fps, full ? "every frame" : "2 s windows every 8 s of the timeline");
    std::printf("| span | frames | median ms | p99 ms | worst ms | main-thread CPU median ms |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
    std::printf("| loading | 1 | | | %.1f (loadDemo start to first frame) | |\n",
                loadSeconds * 1000.0);
    for (int i = Intro; i < SpanCount; ++i) {
        const Span& s = spans[i];
        if (!s.chosen) {
            continue;
        }
        if (s.wallMs.empty()) {
            std::printf("| %s | 0 | | | | |\n", s.name);
        } else if (s.sampled && !s.drewSomething) {
            std::printf("| %s | %zu | not built: every frame black | | | |\n", s.name,
                        s.wallMs.size());
        } else {
            std::printf("| %s | %zu | %.2f | %.2f | %.2f | %.2f |\n", s.name, s.wallMs.size(),
                        percentile(s.wallMs, 0.5), percentile(s.wallMs, 0.99),
                        *std::max_element(s.wallMs.begin(), s.wallMs.end()),
                        percentile(s.cpuMs, 0.5));
        }
    }
    std::printf("\nPer frame (medians): draws, triangles, colour targets bound per draw, draw "
                "framebuffer changes, pixels cleared (once per surface, in millions); the span's "
                "first frame\n\n");
    std::printf("| span | draws | triangles | targets per draw | framebuffer changes | cleared "
                "Mpx | main-thread CPU ms | first frame ms |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int i = Intro; i < SpanCount; ++i) {
        const Span& s = spans[i];
        if (!s.chosen || s.perFrame.empty()) {
            continue;
        }
        const auto median = [&](auto field) {
            std::vector<double> values;
            for (const port::testing::DrawStats& f : s.perFrame) {
                values.push_back(field(f));
            }
            return percentile(values, 0.5);
        };
        std::printf("| %s | %.0f | %.0f | %.2f | %.0f | %.2f | %.2f | %.1f |\n", s.name,
                    median([](const auto& f) { return double(f.draws); }),
                    median([](const auto& f) { return double(f.triangles); }),
                    median([](const auto& f) {
                        return f.draws == 0 ? 0.0 : double(f.targetsWritten) / double(f.draws);
                    }),
                    median([](const auto& f) { return double(f.framebufferChanges); }),
                    median([](const auto& f) { return double(f.clearedPixels) / 1e6; }),
                    percentile(s.cpuMs, 0.5), s.firstMs);
    }
    std::printf("\nSpikes (frames over %.1f ms and twice the frame before, by clock ms):", spikeMs);
    bool anySpike = false;
    for (int i = Intro; i < SpanCount; ++i) {
        for (const auto& [at, wall] : spans[i].spikes) {
            std::printf(" %s %u: %.1f ms;", spans[i].name, at, wall);
            anySpike = true;
        }
    }
    std::printf("%s\n", anySpike ? "" : " none");
    std::printf("\nloadDemo: %.2f s; peak resident memory: %.1f MiB\n", run.loadSeconds(),
                usage.ru_maxrss / 1024.0);
    std::fflush(stdout);
    return 0;
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');) {
        parts.push_back(part);
    }
    return parts;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<Span> spans(SpanCount);
    const char* names[SpanCount] = {"loading", "intro",    "overlay-over-intro",
                                    "house",   "harmonia", "finale"};
    for (int i = 0; i < SpanCount; ++i) {
        spans[i].name = names[i];
    }
    std::string sizes = "640x480,1920x1080";
    unsigned fps = 20;
    bool full = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sizes" && i + 1 < argc) {
            sizes = argv[++i];
        } else if (arg == "--fps" && i + 1 < argc) {
            fps = static_cast<unsigned>(std::atoi(argv[++i]));
        } else if (arg == "--full") {
            full = true;
        } else if (arg == "--spans" && i + 1 < argc) {
            const std::vector<std::string> wanted = split(argv[++i]);
            for (Span& s : spans) {
                s.chosen = std::find(wanted.begin(), wanted.end(), s.name) != wanted.end();
            }
        } else {
            std::fprintf(stderr,
                         "usage: production_bench [--sizes WxH,...] [--fps N] "
                         "[--spans intro,overlay-over-intro,house,harmonia,finale] [--full]\n"
                         "  run it from the build folder, beside data/\n");
            return arg == "--help" ? 0 : 2;
        }
    }
    if (fps == 0 || fps > 1000) {
        std::fprintf(stderr, "production_bench: bad fps\n");
        return 2;
    }
    int failures = 0;
    for (const std::string& size : split(sizes)) {
        unsigned width = 0, height = 0;
        if (!parseSize(size, width, height)) {
            std::fprintf(stderr, "production_bench: bad size %s\n", size.c_str());
            return 2;
        }
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            _exit(measure(width, height, fps, full, spans));
        }
        int status = 0;
        waitpid(child, &status, 0);
        failures += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    return failures == 0 ? 0 : 1;
}
