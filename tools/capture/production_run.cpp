#include "production_run.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <SDL.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "demo/house_scene.h"
#include "demo/intro_scene.h"
#include "demo/timeline.h"
#include "engine/resources/device_state.h"
#include "engine/resources/effect_cache.h"

namespace {

// The clock starts here rather than at 0, as a real wall clock would.
constexpr DWORD clockOrigin = 1000;

} // namespace

ProductionRun::ProductionRun(unsigned width, unsigned height, bool vsync,
                             port::testing::MessageBoxHandler boxes)
    : firstRow(SpectrumData::binsPerRow, 0.0f) {
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

    engine = new velmo::Engine;
    velmo::DisplaySettings settings{640, 480, 32, false, "velmo 08", 4.0f / 3.0f};
    configureDisplaySettings(settings);
    settings.width = width;
    settings.height = height;
    if (!engine->init(settings)) {
        failure = "no window or device";
        return;
    }
    device = velmo::Device::instance()->state->device;
    SDL_GL_SetSwapInterval(vsync ? 1 : 0);

    FMOD_System_Create(&system);
    system->init(1, FMOD_INIT_NORMAL, nullptr);
    system->createStream("data/corvena (short version) 192kbps.mp3", FMOD_2D | FMOD_SOFTWARE,
                         nullptr, &stream);

    currentSpectrumRow = firstRow.data();
    loadStart = std::chrono::steady_clock::now();
    loadDemo();
    loadTime = std::chrono::duration<double>(std::chrono::steady_clock::now() - loadStart).count();
    spectrum = SpectrumData::load("data/mirel.vek", SpectrumData::rowLimit(stream));

    system->playSound(FMOD_CHANNEL_FREE, stream, false, &music);
    if (music == nullptr) {
        failure = "the music does not play: the demo time stays 0";
    }
    clock.start = clock.previousFrame = now;
}

ProductionRun::~ProductionRun() {
    port::testing::setClock({});
    port::testing::setMessageBoxHandler({});
    if (device != nullptr) {
        // The program's own shutdown.
        freeHouseScene();
        freeIntroScene();
        delete velmo::EffectCache::single;
        velmo::EffectCache::single = nullptr;
        velmo::Device::instance()->state->releaseAll();
    }
    delete engine;
    // The program leaves the sound library to process exit; a test aid ends it, so that a leak
    // check sees only what the production itself loses. The system goes first: its audio
    // device reads the stream until it closes.
    if (system != nullptr) {
        system->release();
    }
    if (stream != nullptr) {
        stream->release();
    }
}

void ProductionRun::skipTo(unsigned ms) {
    now = clockOrigin + ms;
    clock.previousFrame = now;
    clock.accumulator = 0;
}

FrameReport ProductionRun::frameAt(unsigned ms) {
    now = clockOrigin + ms;
    return runFrame(*engine->window, device, music, clock, spectrum);
}

bool ProductionRun::over() const {
    return engine->window->quit;
}

std::vector<unsigned char> ProductionRun::backBufferRgb(unsigned& width, unsigned& height) const {
    width = height = 0;
    // Between frames the main target is the back buffer again: every render target that a
    // frame begins it also ends.
    IDirect3DSurface9* back = nullptr;
    if (device == nullptr || FAILED(device->GetRenderTarget(0, &back))) {
        return {};
    }
    D3DSURFACE_DESC desc = {};
    back->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    std::vector<unsigned char> rgb;
    if (SUCCEEDED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                      D3DPOOL_SYSTEMMEM, &copy, nullptr)) &&
        SUCCEEDED(device->GetRenderTargetData(back, copy))) {
        D3DLOCKED_RECT locked = {};
        if (SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            width = desc.Width;
            height = desc.Height;
            rgb.resize(size_t(width) * height * 3);
            for (unsigned y = 0; y < height; ++y) {
                const auto* row = static_cast<const unsigned char*>(locked.pBits) +
                                  size_t(y) * size_t(locked.Pitch);
                for (unsigned x = 0; x < width; ++x) {
                    // X8R8G8B8 in memory: blue, green, red, unused.
                    unsigned char* out = &rgb[(size_t(y) * width + x) * 3];
                    out[0] = row[x * 4 + 2];
                    out[1] = row[x * 4 + 1];
                    out[2] = row[x * 4 + 0];
                }
            }
            copy->UnlockRect();
        }
    }
    if (copy != nullptr) {
        copy->Release();
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
