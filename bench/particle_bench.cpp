// The textured particle system's frame: filling its vertex buffer, uploading it and drawing the
// sprites into a scene's target, for an empty and a full system of the harmonia scene's size
// (150 000 particles). Each frame ends with glFinish, so the software renderer's work is in the
// wall time; the CPU time is the main thread's.
// Runs on the offscreen video driver unless SDL_VIDEODRIVER says otherwise.

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include "bench_device.h"
#include "engine/platform/engine.h"
#include "engine/render/particle_system.h"
#include "engine/resources/device_state.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"

namespace {

constexpr int kCapacity = 150000;

// A scene holding one system of kCapacity slots with `live` small sprites spread over the view.
void BM_ParticleFrame(benchmark::State& state) {
    ensureDevice();
    const int live = int(state.range(0));
    velmo::PerspectiveCamera camera(1.0f, 0.5f, 200.0f);
    camera.position = velmo::Vec3(0, 0, -10);
    camera.target = velmo::Vec3(0, 0, 0);
    auto* scene = new velmo::Scene;
    scene->root->camera = &camera;
    auto* system = new velmo::TextureParticleSystem(kCapacity, nullptr);
    scene->root->addChild(system);
    for (int i = 0; i < live; ++i) {
        const float x = float(i % 400) / 40.0f - 5.0f;
        const float y = float(i / 400) / 75.0f - 2.5f;
        system->allocParticle(new velmo::TextureParticle(0.02f, 1.0f, x, y, float(i % 7)));
    }
    float t = 0.0f;
    for (auto _ : state) {
        t += 1.0f / 60.0f;
        scene->render(t);
        glFinish();
    }
    state.SetLabel(std::to_string(live) + " of " + std::to_string(kCapacity) + " live");
    scene->root->removeChild(system);
    delete system;
    delete scene;
}
BENCHMARK(BM_ParticleFrame)->Arg(0)->Arg(kCapacity)->Unit(benchmark::kMillisecond);

} // namespace
