#include "bench_device.h"

#include <cstdlib>

#include "engine/platform/engine.h"

void ensureDevice() {
    static const bool ready = [] {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        auto* engine = new velmo::Engine;
        velmo::DisplaySettings settings{640, 480, 32, false, "velmo 08", 16.0f / 9.0f};
        return engine->init(settings);
    }();
    if (!ready) {
        std::abort();
    }
}
