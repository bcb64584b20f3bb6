#include "production_run.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

// The clock starts here rather than at 0, as a real wall clock would.
constexpr DWORD clockOrigin = 1000;

} // namespace

ProductionRun::ProductionRun(unsigned width, unsigned height, bool vsync,
                             port::testing::MessageBoxHandler boxes) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    // No audio device: the music position then follows the substituted clock alone.
    setenv("SDL_AUDIODRIVER", "none", 1);
    now = clockOrigin;
    port::testing::setClock([this] { return now; });
    if (!boxes) {
        boxes = [](HWND, const char* text, const char* caption, UINT) {
            std::fprintf(stderr, "message box \"%s\": %s\n", caption, text);
            return IDOK;
        };
    }
    port::testing::setMessageBoxHandler(std::move(boxes));

    // The program's own start-up, with the chosen size in place of the start-up window's.
    engine = new velmo::Engine;
    velmo::DisplaySettings& settings = engine->window->settings;
    setDisplayDefaults(settings);
    settings.width = width;
    settings.height = height;
    if (!startProduction(*engine, production)) {
        failure = "no window or device";
        return;
    }
    started = true;
    port::testing::setVsync(vsync);
    if (production.music == nullptr) {
        failure = "the music does not play: the demo time stays 0";
    }
}

ProductionRun::~ProductionRun() {
    port::testing::setClock({});
    port::testing::setMessageBoxHandler({});
    if (started) {
        // The program's own shutdown; it deletes the engine.
        shutDownProduction(engine);
    } else {
        delete engine;
    }
    // The program leaves the sound library to process exit; a test aid ends it, so that a leak
    // check sees only what the production itself loses. The system goes first: its audio
    // device reads the stream until it closes.
    if (production.system != nullptr) {
        production.system->release();
    }
    if (production.stream != nullptr) {
        production.stream->release();
    }
}

void ProductionRun::skipTo(unsigned ms) {
    now = clockOrigin + ms;
    production.clock.previousFrame = now;
    production.clock.accumulator = 0;
}

void ProductionRun::catchUpTo(unsigned ms, unsigned stepMs) {
    for (DWORD next = now + stepMs; next < clockOrigin + ms && !over(); next += stepMs) {
        now = next;
        if (next + stepMs >= clockOrigin + ms) {
            // The last skipped frame is drawn, so that the frame at ms shows one step of motion
            // since the frame before it, not the whole skipped time's.
            runProductionFrame(*engine, production);
            break;
        }
        const float t =
            advanceClock(*engine->window, production.music, production.clock, production.spectrum);
        runDueUpdates(production.clock, t);
    }
}

FrameReport ProductionRun::frameAt(unsigned ms) {
    now = clockOrigin + ms;
    return runProductionFrame(*engine, production);
}

bool ProductionRun::over() const {
    return engine->window->quit;
}

std::vector<unsigned char> ProductionRun::backBufferRgb(unsigned& width, unsigned& height) const {
    width = height = 0;
    // Between frames the main target is the back buffer again: every render target that a
    // frame begins it also ends.
    IDirect3DDevice9* device = production.device;
    IDirect3DSurface9* back = nullptr;
    if (device == nullptr || FAILED(device->GetRenderTarget(0, &back))) {
        return {};
    }
    D3DSURFACE_DESC desc = {};
    back->GetDesc(&desc);
    std::vector<unsigned char> rgb = port::testing::surfaceRgb(device, back);
    if (!rgb.empty()) {
        width = desc.Width;
        height = desc.Height;
    }
    back->Release();
    return rgb;
}

bool ProductionRun::saveBackBuffer(const std::string& pngPath) const {
    unsigned width = 0, height = 0;
    const std::vector<unsigned char> rgb = backBufferRgb(width, height);
    return !rgb.empty() && stbi_write_png(pngPath.c_str(), int(width), int(height), 3, rgb.data(),
                                          int(width) * 3) != 0;
}

bool parseSize(const std::string& text, unsigned& width, unsigned& height) {
    unsigned w = 0, h = 0;
    char x = 0, rest = 0;
    if (std::sscanf(text.c_str(), "%u%c%u%c", &w, &x, &h, &rest) != 3 || x != 'x' || w == 0 ||
        h == 0 || w > 8192 || h > 8192) {
        return false;
    }
    width = w;
    height = h;
    return true;
}
