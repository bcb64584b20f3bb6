// Runs the whole production on a substituted clock, every frame rendered, and checks that the
// run holds steady: resident memory over each scene, and the render-target pool from frame to
// frame. A test aid for the long-run checks (scripts/whole-run-check.sh), run from the build
// folder beside data/.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "demo/timeline.h"
#include "engine/resources/device_state.h"
#include "production_run.h"

namespace {

void usage(FILE* to) {
    std::fprintf(to,
                 "usage: velmo_whole_run [--fps N] [--check]\n"
                 "  Runs the production from 0 to its end with a frame every 1/N s of demo time\n"
                 "  (default 15), all fixed 50 ms updates included, and prints the durations,\n"
                 "  the resident memory after loading, per scene and at the end, and the\n"
                 "  render-target pool's size. With --check it fails when the resident memory of\n"
                 "  a scene grows by 5 %% or more once the scene has run for 10 s, or when the\n"
                 "  pool changes size on a frame that shows the same scene and overlay as the\n"
                 "  frame before.\n");
}

constexpr float kSceneWarmUp = 10.0f;
constexpr double kMostGrowth = 5.0;

// Resident memory of this process in KiB.
long residentKiB() {
    long pages = 0, resident = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) {
        return 0;
    }
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
        resident = 0;
    }
    std::fclose(statm);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double growthPercent(long from, long to) {
    return from > 0 ? 100.0 * double(to - from) / double(from) : 0.0;
}

// The pool: every render target the device state made, and how many of them are free.
struct PoolSize {
    size_t targets = 0;
    size_t free = 0;
    bool operator==(const PoolSize&) const = default;
};
PoolSize poolSize() {
    const velmo::DeviceState& state = *velmo::Device::instance()->state;
    return {state.renderTargets.size(), state.freeRenderTargets.size()};
}

bool sameMakeup(const FramePlan& a, const FramePlan& b) {
    return a.scene == b.scene && (a.overlayLine >= 0) == (b.overlayLine >= 0) &&
           a.overlayMode == b.overlayMode;
}

// Resident memory over one scene's stretch of the run.
struct SceneMemory {
    DemoPart scene;
    float start = 0.0f;
    long settled = 0; // once the scene has run for kSceneWarmUp
    long end = 0;
};

const char* sceneName(DemoPart part) {
    switch (part) {
    case DemoPart::Intro:
        return "intro";
    case DemoPart::House:
        return "house";
    case DemoPart::Harmonia:
        return "harmonia";
    case DemoPart::Finale:
        return "finale";
    }
    return "?";
}

} // namespace

int main(int argc, char** argv) {
    unsigned fps = 15;
    bool check = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--fps" && i + 1 < argc) {
            fps = static_cast<unsigned>(std::atoi(argv[++i]));
            if (fps == 0 || fps > 1000) {
                std::fprintf(stderr, "velmo_whole_run: bad fps %s\n", argv[i]);
                return 2;
            }
        } else if (arg == "--check") {
            check = true;
        } else {
            usage(stderr);
            return 2;
        }
    }
    if (!std::filesystem::is_directory("data")) {
        std::fprintf(stderr, "velmo_whole_run: no data/ here: run it from the build folder\n");
        return 1;
    }
    // Line by line, so that the figures survive a sanitizer that ends the process.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    const auto started = std::chrono::steady_clock::now();
    ProductionRun run(640, 480, false);
    if (!run.ready() || !run.musicPlays()) {
        std::fprintf(stderr, "velmo_whole_run: %s\n", run.problem().c_str());
        return 1;
    }
    const long loadedKiB = residentKiB();
    std::printf("loaded in %.2f s; resident after loading %ld KiB\n", run.loadSeconds(), loadedKiB);

    unsigned frames = 0, updates = 0, poolChangesWithinAPart = 0;
    long peakKiB = loadedKiB;
    PoolSize previousPool = poolSize();
    PoolSize least = previousPool, most = previousPool;
    FramePlan previousPlan = {-2, -2, DemoPart::Intro};
    std::vector<SceneMemory> scenes;
    while (!run.over()) {
        const unsigned ms = static_cast<unsigned>(uint64_t(frames) * 1000 / fps);
        const FrameReport report = run.frameAt(ms);
        ++frames;
        updates += report.updates;
        const FramePlan plan = framePlanAt(report.t);
        const long kiB = residentKiB();
        peakKiB = std::max(peakKiB, kiB);

        if (scenes.empty() || scenes.back().scene != plan.scene) {
            scenes.push_back({plan.scene, report.t, 0, 0});
        }
        SceneMemory& scene = scenes.back();
        scene.end = kiB;
        if (scene.settled == 0 && report.t >= scene.start + kSceneWarmUp) {
            scene.settled = kiB;
        }

        const PoolSize pool = poolSize();
        if (!(pool == previousPool)) {
            const bool newPart = !sameMakeup(plan, previousPlan);
            poolChangesWithinAPart += newPart ? 0 : 1;
            std::printf("t = %7.3f s: pool %zu targets (%zu free), was %zu (%zu free)%s\n",
                        report.t, pool.targets, pool.free, previousPool.targets, previousPool.free,
                        newPart ? " as a new part starts" : "");
        }
        least = {std::min(least.targets, pool.targets), std::min(least.free, pool.free)};
        most = {std::max(most.targets, pool.targets), std::max(most.free, pool.free)};
        previousPool = pool;
        previousPlan = plan;
    }
    const long endKiB = residentKiB();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    bool steady = poolChangesWithinAPart == 0;
    std::printf("%u frames, %u updates, %.1f s wall\n", frames, updates, seconds);
    std::printf("resident: %ld KiB after loading, %ld KiB at the end (%+.2f %%), peak %ld KiB\n",
                loadedKiB, endKiB, growthPercent(loadedKiB, endKiB), peakKiB);
    for (const SceneMemory& scene : scenes) {
        const double growth = growthPercent(scene.settled, scene.end);
        std::printf("  %-8s from %6.1f s: %ld KiB after %.0f s, %ld KiB at its end (%+.2f %%)\n",
                    sceneName(scene.scene), scene.start, scene.settled, kSceneWarmUp, scene.end,
                    growth);
        steady = steady && growth < kMostGrowth;
    }
    std::printf("pool: %zu to %zu targets, %zu to %zu free; %u changes within a part\n",
                least.targets, most.targets, least.free, most.free, poolChangesWithinAPart);
    if (check && !steady) {
        std::fprintf(stderr, "velmo_whole_run: the run does not hold steady\n");
        return 1;
    }
    return 0;
}
