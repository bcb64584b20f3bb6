#include "demo/production.h"

#include <utility>

#include <windows.h>

#include "demo/house_scene.h"
#include "demo/intro_scene.h"
#include "demo/timeline.h"
#include "engine/platform/log.h"
#include "engine/platform/tweakable.h"
#include "engine/resources/data_file.h"
#include "engine/resources/device_state.h"
#include "engine/resources/effect_cache.h"

namespace {

// The demo's eight tweakable values, in the order they are registered. Nothing
// reads them back; they live until the process ends.
void registerTweakables() {
    const struct {
        const char* name;
        float value;
    } values[] = {{"EfEx::dist", 0.06f}, {"EfEx::h", 0.17f}, {"font x-pos", 0.5f}, {"int", 0.1f},
                  {"pow", 0.04f},        {"range", 0.88f},   {"pos_x", 0.5f},      {"pos_z", 0.5f}};
    auto& tweakables = velmo::Device::instance()->state->tweakables;
    for (const auto& v : values) {
        tweakables.push_back(new velmo::DData<float>(v.name, v.value));
    }
}

LoadingCheckHook loadingCheckHook;

} // namespace

void setLoadingCheckHook(LoadingCheckHook hook) {
    loadingCheckHook = std::move(hook);
}

void setDisplayDefaults(velmo::DisplaySettings& settings) {
    settings.aspectRatio = 4.0f / 3.0f;
    settings.width = 640;
    settings.height = 480;
    settings.bitsPerPixel = 32;
    settings.fullscreen = false;
    settings.title = "velmo 08";
    configureDisplaySettings(settings);
}

bool startProduction(velmo::Engine& engine, Production& production) {
    velmo::Window& window = *engine.window;
    if (!engine.init(window.settings)) {
        return false;
    }

    // The sound library. Music that does not open (missing, or a directory or a pipe in its
    // place) never reaches it; music that gives no sound (not an mp3, only a tag) does not make
    // a stream. Either way the user is told as for any data file that does not open, and the
    // run goes on without music, its demo time at 0.
    FMOD_System_Create(&production.system);
    production.system->init(1, FMOD_INIT_NORMAL, nullptr);
    const char* music = "data/corvena (short version) 192kbps.mp3";
    if (!velmo::DataFile().open(music) ||
        production.system->createStream(music, FMOD_2D | FMOD_SOFTWARE, nullptr,
                                        &production.stream) != FMOD_OK) {
        velmo::reportUnopenedFile(music);
    }

    currentSpectrumRow = production.firstSpectrumRow;
    production.loadStart = std::chrono::steady_clock::now();
    // A quit asked for while loading ends the start-up after the step in progress; the loop is
    // then skipped and the shutdown releases what was made.
    unsigned checks = 0;
    const auto goOn = [&window, &checks] {
        if (loadingCheckHook) {
            loadingCheckHook(checks);
        }
        ++checks;
        pumpMessages();
        return !window.quit;
    };
    const bool loaded = goOn() && loadDemo(goOn) && goOn();
    production.loadSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - production.loadStart)
            .count();
    production.device = velmo::Device::instance()->state->device;
    if (!loaded) {
        return true;
    }
    production.spectrum =
        SpectrumData::load("data/mirel.vek", SpectrumData::rowLimit(production.stream));
    registerTweakables();
    // Loading frees what it decoded and imported, but the heap keeps those pages; handing them
    // back keeps the run's resident memory to what it holds.
    SetProcessWorkingSetSize(GetCurrentProcess(), SIZE_T(-1), SIZE_T(-1));

    production.system->playSound(FMOD_CHANNEL_FREE, production.stream, false, &production.music);
    production.clock = LoopClock{};
    production.clock.start = production.clock.previousFrame = timeGetTime();
    return true;
}

FrameReport runProductionFrame(velmo::Engine& engine, Production& production) {
    return runFrame(*engine.window, production.device, production.music, production.clock,
                    production.spectrum);
}

void shutDownProduction(velmo::Engine* engine) {
    RemoveFontResourceA("data/CHOPS___.TTF");
    RemoveFontResourceA("data/Shadowed Black Wide.ttf");
    freeHouseScene();
    freeIntroScene();
    delete velmo::EffectCache::single;
    velmo::EffectCache::single = nullptr;
    velmo::Device::instance()->state->releaseAll();
    delete engine;
    velmo::closeLog();
}
