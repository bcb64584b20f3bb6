// Frame time of the main loop with whatever the timeline draws, on the offscreen driver.
#include <cstdlib>

#include <benchmark/benchmark.h>

#include "demo/main_loop.h"
#include "demo/timeline.h"
#include "engine/platform/engine.h"
#include "engine/resources/device_state.h"

static void BM_EmptyFrame(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    velmo::Engine engine;
    velmo::DisplaySettings settings{640, 480, 32, false, "velmo 08", 16.0f / 9.0f};
    configureDisplaySettings(settings);
    if (!engine.init(settings)) {
        state.SkipWithError("no device");
        return;
    }
    IDirect3DDevice9* device = velmo::Device::instance()->state->device;
    SpectrumData spectrum = SpectrumData::load("data/mirel.vek");
    LoopClock clock;
    clock.start = clock.previousFrame = timeGetTime();
    for (auto _ : state) {
        runFrame(*engine.window, device, nullptr, clock, spectrum);
    }
    velmo::Device::instance()->state->releaseAll();
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMicrosecond);
