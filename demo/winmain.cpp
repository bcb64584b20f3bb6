// The whole life of the program: display defaults, start-up window, main window and device,
// music, loading, spectrum, tweakable values, the frame loop, and the shutdown.
#include <windows.h>

#include <fmod.hpp>

#include "demo/data_folder.h"
#include "demo/finale_scene.h"
#include "demo/house_scene.h"
#include "demo/intro_scene.h"
#include "demo/main_loop.h"
#include "demo/spectrum.h"
#include "demo/timeline.h"
#include "engine/platform/engine.h"
#include "engine/platform/log.h"
#include "engine/platform/startup_dialog.h"
#include "engine/platform/tweakable.h"
#include "engine/resources/device_state.h"
#include "engine/resources/effect_cache.h"

namespace {

// The sound-library objects and the spectrum live for the whole run and are left to process
// exit, as the shutdown order intends.
struct Music {
    FMOD::System* system = nullptr;
    FMOD::Sound* stream = nullptr;
    FMOD::Channel* channel = nullptr;
};
Music music;
SpectrumData* spectrum = nullptr;
// The spectrum row until the first frame picks one; nothing reads it.
float firstSpectrumRow[SpectrumData::binsPerRow];

void registerTweakables() {
    const struct {
        const char* name;
        float value;
    } values[] = {{"EfEx::dist", 0.06f}, {"EfEx::h", 0.17f},   {"font x-pos", 0.5f},
                  {"int", 0.1f},         {"pow", 0.04f},       {"range", 0.88f},
                  {"pos_x", 0.5f},       {"pos_z", 0.5f}};
    auto& tweakables = velmo::Device::instance()->state->tweakables;
    for (const auto& v : values) {
        tweakables.push_back(new velmo::DData<float>(v.name, v.value));
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (!dataFolderFound()) {
        return 1;
    }
    auto* engine = new velmo::Engine;
    velmo::Window& window = *engine->window;
    window.settings.aspectRatio = 4.0f / 3.0f;
    window.settings.width = 640;
    window.settings.height = 480;
    window.settings.bitsPerPixel = 32;
    window.settings.fullscreen = false;
    window.settings.title = "velmo 08";
    configureDisplaySettings(window.settings);

    if (!velmo::runStartupDialog(instance)) {
        return 0;
    }
    if (!engine->init(window.settings)) {
        return 0;
    }

    FMOD_System_Create(&music.system);
    music.system->init(1, FMOD_INIT_NORMAL, nullptr);
    music.system->createStream("data/corvena (short version) 192kbps.mp3",
                               FMOD_2D | FMOD_SOFTWARE, nullptr, &music.stream);

    currentSpectrumRow = firstSpectrumRow;
    loadDemo();
    IDirect3DDevice9* device = velmo::Device::instance()->state->device;
    spectrum = new SpectrumData(
        SpectrumData::load("data/mirel.vek", SpectrumData::rowLimit(music.stream)));
    registerTweakables();

    music.system->playSound(FMOD_CHANNEL_FREE, music.stream, false, &music.channel);
    LoopClock clock;
    clock.start = clock.previousFrame = timeGetTime();
    while (!window.quit) {
        runFrame(window, device, music.channel, clock, *spectrum);
    }

    RemoveFontResourceA("data/CHOPS___.TTF");
    RemoveFontResourceA("data/Shadowed Black Wide.ttf");
    freeHouseScene();
    freeIntroScene();
    delete velmo::EffectCache::single;
    velmo::EffectCache::single = nullptr;
    velmo::Device::instance()->state->releaseAll();
    delete engine;
    velmo::closeLog();
    return 0;
}
