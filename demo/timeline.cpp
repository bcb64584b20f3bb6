#include "demo/timeline.h"

#include <cmath>
#include <initializer_list>

#include "demo/finale_scene.h"
#include "demo/harmonia_scene.h"
#include "demo/house_scene.h"
#include "demo/intro_scene.h"
#include "demo/shared_assets.h"
#include "demo/text_overlay.h"
#include "engine/platform/log.h"
#include "engine/render/screen_quad.h"
#include "engine/resources/device_state.h"
#include "engine/resources/file_cache.h"
#include "engine/resources/render_target.h"
#include "engine/resources/texture.h"

float demoTime = 0.0f;
bool houseSceneIntense = false;
float harmoniaProgress = 0.0f;

namespace {

constexpr float houseStart = 52.0f;
constexpr float harmoniaStart = 128.5f;
constexpr float finaleStart = 155.0f;

using velmo::lookUp;

// Runs the steps in order, asking goOn before each whether loading is still wanted; false when
// it stopped before the last.
bool runSteps(std::initializer_list<void (*)()> steps, const std::function<bool()>& goOn) {
    for (void (*step)() : steps) {
        if (!goOn()) {
            return false;
        }
        step();
    }
    return true;
}

// Draws every scene with its stages into a pooled target that is never shown, so that
// the renderer compiles every shader and meets every drawing state while the loading picture
// is up, not in the first frame of each part. No state a later frame reads changes. Between
// the scenes it asks goOn whether loading is still wanted; false when it stopped early.
bool warmScenes(const std::function<bool()>& goOn) {
    velmo::DeviceState* state = velmo::Device::instance()->state;
    if (state->device == nullptr) {
        return true;
    }
    velmo::RenderTarget* scratch = state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    scratch->begin(0);
    // A pass's drawing states are partly those the draw before it left, so each scene is drawn
    // after the one the run shows before it and again after itself, as in the run, and the
    // intro last, since the first frame follows the warm-up.
    const bool warmed = runSteps({warmIntroScene, warmIntroScene, warmTextOverlay, warmHouseScene,
                                  warmHouseScene, warmHarmoniaScene, warmHarmoniaScene,
                                  warmFinaleScene, warmFinaleScene, warmIntroScene},
                                 goOn);
    scratch->end();
    state->returnRenderTarget(scratch);
    return warmed;
}

} // namespace

DemoPart updatePartAt(float t) {
    if (t < houseStart) {
        return DemoPart::Intro;
    }
    if (t < harmoniaStart) {
        return DemoPart::House;
    }
    if (t < finaleStart) {
        return DemoPart::Harmonia;
    }
    return DemoPart::Finale;
}

FramePlan framePlanAt(float t) {
    if (t <= 42.0f) {
        return {-1, 0, DemoPart::Intro};
    }
    if (t < houseStart) {
        return {t <= 48.0f ? 0 : 1, 0, DemoPart::Intro};
    }
    if (t < harmoniaStart) {
        return {2 + static_cast<int>(std::floor((t - houseStart) / 4.0f)), 1, DemoPart::House};
    }
    if (t < finaleStart) {
        return {-1, 0, DemoPart::Harmonia};
    }
    return {24 + static_cast<int>(std::floor((t - finaleStart) / 4.0f)), 1, DemoPart::Finale};
}

void configureDisplaySettings(velmo::DisplaySettings& settings) {
    settings.width = 640;
    settings.height = 480;
    settings.fullscreen = false;
    settings.aspectRatio = 16.0f / 9.0f;
}

bool loadDemo(const std::function<bool()>& goOn) {
    velmo::preloadFile("loading.jpg");
    velmo::Texture* loading = velmo::Device::loadTexture("loading.jpg");

    IDirect3DDevice9* device = velmo::Device::instance()->state->device;
    lookUp(device->BeginScene());
    velmo::clearScreen(0, 0, 0, 0);
    velmo::drawScreenQuad(loading, 1.0f, 0.0f, D3DBLEND_ONE, D3DBLEND_SRCALPHA);
    lookUp(device->EndScene());
    lookUp(device->Present(nullptr, nullptr, nullptr, nullptr));

    const bool loaded = runSteps({loadSharedAssets, buildHouseScene, buildHarmoniaScene,
                                  buildIntroScene, buildFinaleScene, buildTextOverlay},
                                 goOn) &&
                        warmScenes(goOn);
    // The picture stays on the screen until the first frame; no frame draws it again.
    velmo::Device::instance()->state->releaseTexture(loading);
    return loaded;
}

void updateDemo(float t) {
    switch (updatePartAt(t)) {
    case DemoPart::Intro:
        updateIntroScene(0.05f, t);
        break;
    case DemoPart::House:
        houseSceneIntense = (t >= 76.5f && t < 102.5f) || (t >= 114.0f && t < 128.5f);
        updateHouseScene(t);
        break;
    case DemoPart::Harmonia:
        harmoniaProgress = (t - harmoniaStart) * 4.0f / 40.5f;
        updateHarmoniaScene(t);
        break;
    case DemoPart::Finale:
        updateFinaleScene(0.05f, t);
        break;
    }
}

void renderDemo(float t) {
    demoTime = t;
    const FramePlan plan = framePlanAt(t);
    if (plan.overlayLine >= 0) {
        renderTextOverlay(plan.overlayLine, plan.overlayMode);
    }
    switch (plan.scene) {
    case DemoPart::Intro:
        renderIntroScene(t);
        break;
    case DemoPart::House:
        renderHouseScene();
        break;
    case DemoPart::Harmonia:
        renderHarmoniaScene();
        break;
    case DemoPart::Finale:
        renderFinaleScene(t);
        break;
    }
}
