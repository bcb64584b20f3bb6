// The draw path under the load of the production's heaviest scenes, on the offscreen driver:
// - a finale-like frame (380 mesh instances of a small subdivided link, a subdivided room and
//   10 point lights through the solid-object effect into the scene's four targets, then motion
//   blur, HSV, mapped distortion and the screen quad, then Present) at 640 x 480 and
//   1920 x 1080;
// - the particle system at 150 000 live sprites, large and small, and at the harmonia scene's
//   real load of about 8 000 live sprites of its sizes in a 150 000-slot system;
// - the cost of one small mesh's draw through the engine's mesh-instance path, through the
//   effect alone, and through raw GL with the same program, in the same run;
// - the floor under the finale-like frame: the same geometry, program, lights, textures,
//   targets and stages, with the links sent as raw GL draws, in the same run as the frame.
// - the finale's links as 380 draws against one instanced draw of the same triangles and
//   fragment work, in raw GL: what drawing runs of identical instances at once would save.
// The finale's stages are also timed one by one, to show which holds the frame.
// Frame cases report the median and 99th percentile of the wall time per frame and the main
// thread's CPU time per frame (the steadier figure on a shared machine); the per-draw case
// reports microseconds per draw and the ratios to raw GL, which carry from machine to machine.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <d3dx9.h>
#include <epoxy/gl.h>
#include <port_testing.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "engine/math/matrix.h"
#include "engine/mesh/generators.h"
#include "engine/mesh/mesh.h"
#include "engine/mesh/mesh_buffers.h"
#include "engine/render/mesh_instance.h"
#include "engine/mesh/mesh_transfer.h"
#include "engine/mesh/modifiers.h"
#include "engine/mesh/subdivide.h"
#include "engine/platform/engine.h"
#include "engine/render/particle_system.h"
#include "engine/render/post_effects.h"
#include "engine/render/screen_quad.h"
#include "engine/render/shader.h"
#include "engine/render/shader_binding.h"
#include "engine/resources/device_state.h"
#include "engine/resources/effect_cache.h"
#include "engine/resources/file_cache.h"
#include "engine/resources/render_target.h"
#include "engine/resources/texture.h"
#include "engine/scene/camera.h"
#include "engine/scene/matrix_stack.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"

namespace {

constexpr int kLinks = 380;
constexpr int kLights = 10;
constexpr float kFrameStep = 1.0f / 60.0f;

double threadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double wallSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// With VELMO_BENCH_PICTURES naming a folder, the picture of render target 0 after the
// warm-up, as <folder>/<name>.png: pictures of two builds compare the draw paths' results.
void savePicture(IDirect3DDevice9* device, const std::string& name) {
    const char* folder = std::getenv("VELMO_BENCH_PICTURES");
    IDirect3DSurface9* target = nullptr;
    if (folder == nullptr || device->GetRenderTarget(0, &target) != D3D_OK) {
        return;
    }
    D3DSURFACE_DESC desc = {};
    target->GetDesc(&desc);
    const std::vector<unsigned char> rgb = port::testing::surfaceRgb(device, target);
    if (!rgb.empty()) {
        const std::string path = std::string(folder) + "/" + name + ".png";
        stbi_write_png(path.c_str(), int(desc.Width), int(desc.Height), 3, rgb.data(),
                       int(desc.Width) * 3);
    }
    target->Release();
}

// An engine with its window and device at one size, torn down in the program's order.
class Stage {
public:
    Stage(UINT width, UINT height) {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        engine = std::make_unique<velmo::Engine>();
        velmo::DisplaySettings settings;
        settings.width = width;
        settings.height = height;
        settings.bitsPerPixel = 32;
        settings.fullscreen = false;
        settings.title = "velmo 08";
        settings.aspectRatio = float(width) / float(height);
        ready = engine->init(settings);
        device = ready ? velmo::Device::instance()->state->device : nullptr;
    }
    ~Stage() {
        delete velmo::EffectCache::single;
        velmo::EffectCache::single = nullptr;
        if (device != nullptr) {
            device->SetTexture(0, nullptr);
        }
        velmo::Device::instance()->state->releaseAll();
    }

    std::unique_ptr<velmo::Engine> engine;
    IDirect3DDevice9* device = nullptr;
    bool ready = false;
};

// A small closed link: a flat box split twice (a few hundred triangles).
velmo::Mesh* linkMesh() {
    velmo::Mesh* mesh = velmo::Device::instance()->state->createMesh();
    velmo::meshgen::Cube(velmo::Vec3(0.6f, 0.3f, 0.1f)).generate(mesh);
    velmo::meshmodify::Subdivide(2, 0).apply(mesh);
    return mesh;
}

// The room around the links: a large box turned inside out and split.
velmo::Mesh* roomMesh() {
    velmo::Mesh* mesh = velmo::Device::instance()->state->createMesh();
    velmo::meshgen::Cube(velmo::Vec3(40, 40, 40)).generate(mesh);
    velmo::meshmodify::InvertFaces().apply(mesh);
    velmo::meshmodify::Subdivide(2, 1).apply(mesh);
    return mesh;
}

// Per-frame wall and main-thread CPU times of a run of frames, and their report.
class FrameTimes {
public:
    void run(benchmark::State& state, const auto& frame) {
        for (auto _ : state) {
            const double wall = wallSeconds(), cpu = threadSeconds();
            frame();
            glFinish(); // the frame's pixels are drawn before the clock stops
            walls.push_back(wallSeconds() - wall);
            cpus.push_back(threadSeconds() - cpu);
        }
        std::sort(walls.begin(), walls.end());
        const auto at = [&](double q) {
            return walls[std::min(walls.size() - 1, size_t(q * double(walls.size())))] * 1e3;
        };
        double cpu = 0.0;
        for (double c : cpus) {
            cpu += c;
        }
        state.counters["median_ms"] = at(0.5);
        state.counters["p99_ms"] = at(0.99);
        state.counters["cpu_ms"] = cpu / double(cpus.size()) * 1e3;
    }

private:
    std::vector<double> walls;
    std::vector<double> cpus;
};

// The links' buffers as GL objects of our own, laid out as the device lays out the mesh's
// 64-byte vertex (position, normal, texture sets 0 and 1, tangent, binormal), and the
// locations of the seven matrices in the solid-object program.
struct RawMesh {
    RawMesh(velmo::MeshBuffers& buffers) : indices(GLsizei(buffers.indexCount)) {
        void* vertexBytes = nullptr;
        void* indexBytes = nullptr;
        buffers.vertexBuffer->Lock(0, 0, &vertexBytes, D3DLOCK_READONLY);
        buffers.indexBuffer->Lock(0, 0, &indexBytes, D3DLOCK_READONLY);
        GLint deviceArray = 0;
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &deviceArray);
        glGenVertexArrays(1, &array);
        glGenBuffers(2, names);
        glBindVertexArray(array);
        glBindBuffer(GL_ARRAY_BUFFER, names[0]);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(buffers.vertexCount) * buffers.stride, vertexBytes,
                     GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, names[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(buffers.indexCount) * 4, indexBytes,
                     GL_STATIC_DRAW);
        buffers.vertexBuffer->Unlock();
        buffers.indexBuffer->Unlock();
        const GLint sizes[6] = {3, 3, 2, 2, 3, 3};
        uintptr_t offset = 0;
        for (GLuint slot = 0; slot < 6; ++slot) {
            glEnableVertexAttribArray(slot);
            glVertexAttribPointer(slot, sizes[slot], GL_FLOAT, GL_FALSE, buffers.stride,
                                  reinterpret_cast<const void*>(offset));
            offset += uintptr_t(sizes[slot]) * 4;
        }
        glBindVertexArray(GLuint(deviceArray));
    }
    ~RawMesh() {
        glDeleteBuffers(2, names);
        glDeleteVertexArrays(1, &array);
    }
    RawMesh(const RawMesh&) = delete;
    RawMesh& operator=(const RawMesh&) = delete;

    GLuint array = 0;
    GLuint names[2] = {};
    GLsizei indices = 0;
};

// The finale-like scene: links on a slowly turning ring of rings inside the room, ten lights.
struct FinaleScene {
    FinaleScene() {
        auto* pool = velmo::Device::instance()->state;
        scene.root->camera = &camera;
        scene.root->blurMapTarget = pool->acquireRenderTarget(D3DFMT_A8R8G8B8);
        camera.position = velmo::Vec3(0, 4, -26);
        camera.target = velmo::Vec3(0, 0, 0);

        room = std::make_unique<velmo::MeshInstance>(roomMesh());
        scene.root->addChild(room.get());
        velmo::Mesh* link = linkMesh();
        links.resize(kLinks);
        for (auto& instance : links) {
            instance = std::make_unique<velmo::MeshInstance>(link);
            instance->material.setDiffuse(std::array<float, 4>{0.6f, 0.5f, 0.4f, 1.0f}.data());
            scene.root->addChild(instance.get());
        }
        for (int i = 0; i < kLights; ++i) {
            const float a = float(i) * 0.628f;
            lights.push_back(std::make_unique<velmo::NodePointlight>(
                12.0f * std::cos(a), 3.0f, 12.0f * std::sin(a), 4.0f, 1.2f, 30.0f,
                0.6f + 0.4f * std::cos(a), 0.7f, 0.6f + 0.4f * std::sin(a), 1.0f));
            scene.root->addChild(lights.back().get());
        }
        scene.root->registerLights(scene.root);
        blur = std::make_unique<velmo::MotionblurEffect>(nullptr, scene.extraTarget(),
                                                         scene.floatTarget(), 0.8f);
        hsv = std::make_unique<velmo::HSVEffect>(blur.get(), 10.0f, 1.2f, 1.1f);
        distortion = std::make_unique<velmo::MappedDistortionEffect>(nullptr, scene.colorTarget(),
                                                                     0.02f, 0.003f);
    }

    // Places every link for time t: 20 rings of 19 links turning about the vertical axis.
    void place(float t) {
        for (int i = 0; i < kLinks; ++i) {
            const int ring = i / 19, slot = i % 19;
            const float a = float(slot) * 0.3307f + t * (0.2f + 0.01f * float(ring));
            const float r = 4.0f + float(ring) * 0.5f;
            const D3DXMATRIX spin = velmo::rotationZ(a + float(ring));
            D3DXMATRIX at;
            D3DXMatrixTranslation(&at, r * std::cos(a), float(ring) * 0.6f - 6.0f, r * std::sin(a));
            links[size_t(i)]->transform = velmo::multiplyMatrix(spin, at);
        }
    }

    // One frame; with `stages`, each stage is finished before the next and its wall time in
    // milliseconds added to the stage's entry: scene, blur, HSV, distortion, quad and Present.
    void frame(IDirect3DDevice9* device, float t, std::array<double, 5>* stages = nullptr) {
        double start = wallSeconds();
        const auto stage = [&](size_t index) {
            if (stages != nullptr) {
                glFinish();
                const double now = wallSeconds();
                (*stages)[index] += (now - start) * 1e3;
                start = now;
            }
        };
        place(t);
        scene.update(t);
        scene.render(t);
        stage(0);
        blur->tex = scene.getRenderTarget();
        blur->render(t);
        stage(1);
        hsv->render(t);
        stage(2);
        distortion->source = hsv->getRenderTarget();
        distortion->render(t);
        stage(3);
        device->BeginScene();
        velmo::drawScreenQuad(distortion->getRenderTarget(), 1.0f, 0.0f, D3DBLEND_INVSRCALPHA,
                              D3DBLEND_SRCALPHA);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        stage(4);
    }

    // The frame's floor: the scene's clears as its root makes them, the room and the first
    // link through the engine (which binds the four targets, the program, the lights and the
    // textures), the other links as raw GL draws into that state (their seven matrices and the
    // draw, nothing else), then the same stages as frame().
    void floorFrame(IDirect3DDevice9* device, float t, RawMesh& raw) {
        // The links' matrices one frame step before, for their motion.
        place(t - kFrameStep);
        previous.resize(links.size());
        for (size_t i = 0; i < links.size(); ++i) {
            previous[i] = velmo::multiplyMatrix(links[i]->transform, camera.getViewProjection());
        }
        place(t);
        scene.update(t);
        velmo::SceneRoot* root = scene.root;
        velmo::MatrixStack* stack = velmo::MatrixStack::instance();
        const D3DXMATRIX identity = velmo::identityMatrix();
        root->time = t;
        root->gatherLights();
        velmo::currentScene = &scene;
        stack->scene = &scene;

        velmo::RenderTarget* main = scene.getRenderTarget();
        main->begin(0);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        for (velmo::RenderTarget* target :
             {root->blurMapTarget, root->floatTargetRT, root->colorTargetRT}) {
            target->begin(0);
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF808080, 1.0f, 0);
            target->end();
        }
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->BeginScene();
        room->render(&identity);

        velmo::MeshInstance* first = links[0].get();
        velmo::beginMaterialShader(first, stack);
        first->renderNode(identity, first); // the link's draw through the port: state in place
        GLint program = 0, deviceArray = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &deviceArray);
        static const char* const names[7] = {"worldViewProjection", "worldViewProjInv", "world",
                                             "viewProjection",      "worldView",        "worldInv",
                                             "velocityTransform"};
        GLint locations[7];
        for (int m = 0; m < 7; ++m) {
            locations[m] = glGetUniformLocation(GLuint(program), names[m]);
        }
        const D3DXMATRIX viewProjection = camera.getViewProjection();
        const D3DXMATRIX view = camera.getView();
        glBindVertexArray(raw.array);
        for (size_t i = 1; i < links.size(); ++i) {
            const D3DXMATRIX& world = links[i]->transform;
            const D3DXMATRIX wvp = velmo::multiplyMatrix(world, viewProjection);
            const D3DXMATRIX m[7] = {wvp,
                                     velmo::invertMatrix(wvp),
                                     world,
                                     viewProjection,
                                     velmo::multiplyMatrix(world, view),
                                     velmo::invertMatrix(world),
                                     velmo::subtractMatrix(wvp, previous[i])};
            for (int k = 0; k < 7; ++k) {
                glUniformMatrix4fv(locations[k], 1, GL_TRUE, &m[k]._11);
            }
            glDrawElements(GL_TRIANGLES, raw.indices, GL_UNSIGNED_INT, nullptr);
        }
        glBindVertexArray(GLuint(deviceArray));
        velmo::endMaterialShader(stack);
        device->EndScene();
        main->end();

        blur->tex = scene.getRenderTarget();
        blur->render(t);
        hsv->render(t);
        distortion->source = hsv->getRenderTarget();
        distortion->render(t);
        device->BeginScene();
        velmo::drawScreenQuad(distortion->getRenderTarget(), 1.0f, 0.0f, D3DBLEND_INVSRCALPHA,
                              D3DBLEND_SRCALPHA);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    velmo::Scene scene;
    velmo::PerspectiveCamera camera{1.3f, 1.0f, 200.0f};
    std::vector<D3DXMATRIX> previous; // the floor's links' matrices one frame step before
    std::unique_ptr<velmo::MeshInstance> room;
    std::vector<std::unique_ptr<velmo::MeshInstance>> links;
    std::vector<std::unique_ptr<velmo::NodePointlight>> lights;
    std::unique_ptr<velmo::MotionblurEffect> blur;
    std::unique_ptr<velmo::HSVEffect> hsv;
    std::unique_ptr<velmo::MappedDistortionEffect> distortion;
};

// A finale-like scene after ten untimed frames (effects compiled, buffers made); t is the
// demo time of the last of them.
std::unique_ptr<FinaleScene> warmFinale(Stage& stage, float& t) {
    velmo::preloadFile("SolidObject.fxo");
    auto finale = std::make_unique<FinaleScene>();
    for (int i = 0; i < 10; ++i) {
        finale->frame(stage.device, t += kFrameStep);
    }
    return finale;
}

void BM_FinaleFrame(benchmark::State& state) {
    Stage stage(UINT(state.range(0)), UINT(state.range(1)));
    if (!stage.ready) {
        state.SkipWithError("no device");
        return;
    }
    float t = 0.0f;
    auto finale = warmFinale(stage, t);
    savePicture(stage.device, "finale-" + std::to_string(state.range(0)));
    FrameTimes times;
    times.run(state, [&] { finale->frame(stage.device, t += kFrameStep); });
    finale.reset();
}
BENCHMARK(BM_FinaleFrame)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Iterations(300)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The finale-like frame and its floor (floorFrame) in turn, frame by frame, in one process: the
// frame's time over the floor's is what the engine and the port add to raw GL draws.
void BM_FinaleFloor(benchmark::State& state) {
    Stage stage(UINT(state.range(0)), UINT(state.range(1)));
    if (!stage.ready) {
        state.SkipWithError("no device");
        return;
    }
    float t = 0.0f;
    auto finale = warmFinale(stage, t);
    finale->links[0]->rewindChildren();
    auto* link = dynamic_cast<velmo::Mesh*>(finale->links[0]->nextChild());
    RawMesh raw(*link->data->buffers);
    for (int i = 0; i < 10; ++i) {
        finale->floorFrame(stage.device, t += kFrameStep, raw);
    }
    std::vector<double> frames, floors, frameCpu, floorCpu;
    const auto timed = [&](const auto& draw, std::vector<double>& walls,
                           std::vector<double>& cpus) {
        const double wall = wallSeconds(), cpu = threadSeconds();
        draw();
        glFinish();
        walls.push_back((wallSeconds() - wall) * 1e3);
        cpus.push_back((threadSeconds() - cpu) * 1e3);
    };
    for (auto _ : state) {
        timed([&] { finale->frame(stage.device, t += kFrameStep); }, frames, frameCpu);
        timed([&] { finale->floorFrame(stage.device, t += kFrameStep, raw); }, floors, floorCpu);
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    state.counters["frame_ms"] = median(frames);
    state.counters["floor_ms"] = median(floors);
    state.counters["frame_cpu_ms"] = median(frameCpu);
    state.counters["floor_cpu_ms"] = median(floorCpu);
    state.counters["frame_x"] = median(frames) / median(floors);
    finale.reset();
}
BENCHMARK(BM_FinaleFloor)
    ->Args({640, 480})
    ->Iterations(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Where the finale-like frame's wall time goes: the mean of each stage, finished one by one.
void BM_FinaleStages(benchmark::State& state) {
    Stage stage(UINT(state.range(0)), UINT(state.range(1)));
    if (!stage.ready) {
        state.SkipWithError("no device");
        return;
    }
    float t = 0.0f;
    auto finale = warmFinale(stage, t);
    std::array<double, 5> stages = {};
    for (auto _ : state) {
        finale->frame(stage.device, t += kFrameStep, &stages);
    }
    const char* const names[5] = {"scene_ms", "blur_ms", "hsv_ms", "distortion_ms", "quad_ms"};
    for (size_t i = 0; i < stages.size(); ++i) {
        state.counters[names[i]] = stages[i] / double(state.iterations());
    }
    finale.reset();
}
BENCHMARK(BM_FinaleStages)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Iterations(60)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Particles in a cloud before the camera: `live` of a 150 000-slot system with sizes between
// `smallest` and `largest`, rising as the harmonia scene's do.
void BM_Particles(benchmark::State& state) {
    Stage stage(640, 480);
    if (!stage.ready) {
        state.SkipWithError("no device");
        return;
    }
    const int live = int(state.range(0));
    const float smallest = float(state.range(1)) / 10.0f, largest = float(state.range(2)) / 10.0f;
    velmo::Texture* sprite = velmo::Device::loadTexture("particle.png");
    auto scene = std::make_unique<velmo::Scene>();
    velmo::PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
    camera.position = velmo::Vec3(0, 0, -20);
    camera.target = velmo::Vec3(0, 0, 0);
    scene->root->camera = &camera;
    velmo::TextureParticleSystem particles(150000, sprite);
    scene->root->addChild(&particles);
    std::srand(8383);
    const auto random = [] { return float(std::rand() % 20000) / 10000.0f - 1.0f; };
    for (int i = 0; i < live; ++i) {
        const float size = smallest + (largest - smallest) * float(i % 97) / 96.0f;
        particles.allocParticle(new velmo::TextureParticle(size, 0.2f, 8.0f * random(),
                                                           8.0f * random(), 8.0f * random()));
    }
    float t = 0.0f;
    const auto frame = [&] {
        t += kFrameStep;
        for (velmo::TextureParticle* p : particles.slots) {
            if (p != nullptr) {
                p->y += kFrameStep;
            }
        }
        scene->render(t);
        stage.device->BeginScene();
        velmo::drawScreenQuad(scene->getRenderTarget(), 1.0f, 0.0f, D3DBLEND_INVSRCALPHA,
                              D3DBLEND_SRCALPHA);
        stage.device->EndScene();
        stage.device->Present(nullptr, nullptr, nullptr, nullptr);
    };
    for (int i = 0; i < 5; ++i) {
        frame();
    }
    savePicture(stage.device,
                "particles-" + std::to_string(live) + "-" + std::to_string(state.range(2)));
    FrameTimes times;
    times.run(state, frame);
    scene->root->removeChild(&particles);
    scene.reset();
}
// live particles, smallest and largest size in tenths.
BENCHMARK(BM_Particles)
    ->Args({150000, 20, 20})
    ->Args({150000, 1, 1})
    ->Args({8000, 1, 25})
    ->Iterations(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Draws of one link into a small target: through the engine's mesh instance (its shader made,
// bound and ended per draw), through the effect alone (7 matrices, commit, draw), and through
// raw GL with the effect's own program (7 matrices, draw). Reports microseconds per draw.
void BM_PerDraw(benchmark::State& state) {
    Stage stage(640, 480);
    if (!stage.ready) {
        state.SkipWithError("no device");
        return;
    }
    constexpr int kDraws = 400;
    IDirect3DDevice9* device = stage.device;
    velmo::preloadFile("SolidObject.fxo");
    FinaleScene finale;
    finale.place(0.0f);
    finale.scene.render(0.5f); // transforms, lights and targets as in a frame
    velmo::Mesh* link = linkMesh();
    velmo::uploadGeometry(*link->data->geometry, *link);
    velmo::MeshInstance instance(link);
    velmo::MatrixStack* stack = velmo::MatrixStack::instance();
    ID3DXEffect* effect = velmo::EffectCache::instance()->get("SolidObject.fxo");
    velmo::RenderTarget* target = finale.scene.getRenderTarget();

    // The link's buffers copied into GL objects of our own for the raw draws. GL bindings the
    // device holds are put back after each use of raw GL: the device sends only what changed,
    // trusting GL to hold what it last sent.
    velmo::MeshBuffers& buffers = *link->data->buffers;
    const RawMesh rawMesh(buffers);
    GLint deviceArray = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &deviceArray);

    static const char* const kMatrices[] = {"worldViewProjection", "worldViewProjInv", "world",
                                            "viewProjection",      "worldView",        "worldInv",
                                            "velocityTransform"};
    // Each draw its own placement, as each instance of a scene has: a link shrunk to a few
    // pixels, so that the draws measure the path and not the rasteriser.
    std::vector<D3DXMATRIX> worlds(kDraws), wvps(kDraws);
    for (int i = 0; i < kDraws; ++i) {
        D3DXMATRIX scale, at;
        D3DXMatrixScaling(&scale, 0.05f, 0.05f, 0.05f);
        D3DXMatrixTranslation(&at, float(i % 20) - 10.0f, float(i / 20) * 0.5f - 5.0f, 0.0f);
        worlds[size_t(i)] = velmo::multiplyMatrix(scale, at);
        wvps[size_t(i)] =
            velmo::multiplyMatrix(worlds[size_t(i)], finale.camera.getViewProjection());
    }

    const auto timed = [&](const auto& draw) {
        target->begin(0);
        device->BeginScene();
        draw(); // untimed: the first batch after a target change pays the driver's set-up
        glFinish();
        const double start = wallSeconds();
        draw();
        glFinish();
        const double seconds = wallSeconds() - start;
        device->EndScene();
        target->end();
        return seconds / kDraws * 1e6;
    };
    const auto engineDraws = [&] {
        stack->scene = &finale.scene;
        for (int i = 0; i < kDraws; ++i) {
            instance.render(&worlds[size_t(i)]);
        }
    };
    const auto portDraws = [&] {
        effect->SetTechnique("SolidObject");
        UINT passes = 0;
        effect->Begin(&passes, 0);
        effect->BeginPass(0);
        for (int i = 0; i < kDraws; ++i) {
            for (const char* name : kMatrices) {
                effect->SetMatrix(name, &wvps[size_t(i)]);
            }
            effect->CommitChanges();
            link->draw();
        }
        effect->EndPass();
        effect->End();
    };
    const auto rawDraws = [&] {
        effect->SetTechnique("SolidObject");
        UINT passes = 0;
        effect->Begin(&passes, 0);
        effect->BeginPass(0);
        effect->CommitChanges();
        link->draw(); // the device's state in place, as the other paths leave it
        GLint program = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        GLint locations[7];
        for (int m = 0; m < 7; ++m) {
            locations[m] = glGetUniformLocation(GLuint(program), kMatrices[m]);
        }
        glBindVertexArray(rawMesh.array);
        for (int i = 0; i < kDraws; ++i) {
            for (GLint at : locations) {
                glUniformMatrix4fv(at, 1, GL_TRUE, &wvps[size_t(i)]._11);
            }
            glDrawElements(GL_TRIANGLES, buffers.indexCount, GL_UNSIGNED_INT, nullptr);
        }
        glBindVertexArray(GLuint(deviceArray));
        effect->EndPass();
        effect->End();
    };

    double raw = 0.0, port = 0.0, engine = 0.0;
    for (auto _ : state) {
        raw += timed(rawDraws);
        port += timed(portDraws);
        engine += timed(engineDraws);
    }
    const double n = double(state.iterations());
    state.counters["raw_us"] = raw / n;
    state.counters["port_us"] = port / n;
    state.counters["engine_us"] = engine / n;
    state.counters["port_x"] = port / raw;
    state.counters["engine_x"] = engine / raw;
}
BENCHMARK(BM_PerDraw)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

// A link program: the position through the world-view-projection, the normal through the
// world, one directional light. The two matrices are uniforms, or with `instanced` vertex
// attributes that advance once per instance (slots 6 to 9 and 10 to 12). 0 when it fails.
GLuint linkProgram(bool instanced) {
    const std::string matrices =
        instanced ? "layout(location = 6) in vec4 wvp0; layout(location = 7) in vec4 wvp1;\n"
                    "layout(location = 8) in vec4 wvp2; layout(location = 9) in vec4 wvp3;\n"
                    "layout(location = 10) in vec4 w0; layout(location = 11) in vec4 w1;\n"
                    "layout(location = 12) in vec4 w2;\n"
                    "mat4 wvp() { return mat4(wvp0, wvp1, wvp2, wvp3); }\n"
                    "mat3 world() { return mat3(w0.xyz, w1.xyz, w2.xyz); }\n"
                  : "uniform mat4 wvpUniform; uniform mat4 worldUniform;\n"
                    "mat4 wvp() { return wvpUniform; }\n"
                    "mat3 world() { return mat3(worldUniform); }\n";
    const std::string vertex = "#version 330 core\n"
                               "layout(location = 0) in vec3 position;\n"
                               "layout(location = 1) in vec3 normal;\n" +
                               matrices +
                               "out vec3 worldNormal;\n"
                               "void main() {\n"
                               "    gl_Position = vec4(position, 1.0) * wvp();\n"
                               "    worldNormal = normal * world();\n"
                               "}\n";
    const char* fragment =
        "#version 330 core\n"
        "in vec3 worldNormal;\n"
        "out vec4 color;\n"
        "void main() {\n"
        "    float lit = max(dot(normalize(worldNormal), vec3(0.3, 0.8, -0.5)), 0.0);\n"
        "    color = vec4(vec3(0.2 + 0.8 * lit), 1.0);\n"
        "}\n";
    const auto stage = [](GLenum kind, const char* source) {
        const GLuint shader = glCreateShader(kind);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        return shader;
    };
    const GLuint program = glCreateProgram();
    const GLuint vs = stage(GL_VERTEX_SHADER, vertex.c_str());
    const GLuint fs = stage(GL_FRAGMENT_SHADER, fragment);
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    return linked != 0 ? program : 0;
}

// Whether drawing the finale's links as one instanced draw would pay: the 380 links of the
// finale-like scene at their places, into the scene's picture target with depth, as 380 draws
// (two matrices as uniforms, then the draw) and as one instanced draw (the same two matrices
// per instance from a buffer refilled every frame), with the same vertex and fragment work.
// Reports the median frame of each (clear, the links, glFinish), the saving per link, and
// whether both drew the same picture.
void BM_InstancedLinks(benchmark::State& state) {
    Stage stage(640, 480);
    if (!stage.ready) {
        state.SkipWithError("no device");
        return;
    }
    IDirect3DDevice9* device = stage.device;
    velmo::preloadFile("SolidObject.fxo");
    FinaleScene finale;
    float t = 0.0f;
    for (int i = 0; i < 3; ++i) {
        finale.frame(device, t += kFrameStep); // buffers made, targets in the pool
    }
    finale.links[0]->rewindChildren();
    auto* link = dynamic_cast<velmo::Mesh*>(finale.links[0]->nextChild());
    const RawMesh raw(*link->data->buffers);
    const GLuint perDraw = linkProgram(false), instanced = linkProgram(true);
    if (perDraw == 0 || instanced == 0) {
        state.SkipWithError("link programs did not build");
        return;
    }
    const GLint wvpAt = glGetUniformLocation(perDraw, "wvpUniform");
    const GLint worldAt = glGetUniformLocation(perDraw, "worldUniform");

    // The instance buffer: per link, its world-view-projection then its world, transposed as
    // the uniforms are (GL_TRUE), so that both programs read the same matrices.
    struct Instance {
        float wvp[16];
        float world[12];
    };
    GLuint instances = 0;
    glGenBuffers(1, &instances);
    GLint deviceArray = 0, deviceProgram = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &deviceArray);
    glGetIntegerv(GL_CURRENT_PROGRAM, &deviceProgram);
    glBindVertexArray(raw.array);
    glBindBuffer(GL_ARRAY_BUFFER, instances);
    for (GLuint column = 0; column < 7; ++column) {
        glEnableVertexAttribArray(6 + column);
        glVertexAttribPointer(6 + column, 4, GL_FLOAT, GL_FALSE, sizeof(Instance),
                              reinterpret_cast<const void*>(uintptr_t(column) * 16));
        glVertexAttribDivisor(6 + column, 1);
    }
    glBindVertexArray(GLuint(deviceArray));

    std::vector<Instance> data(finale.links.size());
    const auto placeLinks = [&](float at) {
        finale.place(at);
        const D3DXMATRIX viewProjection = finale.camera.getViewProjection();
        for (size_t i = 0; i < data.size(); ++i) {
            const D3DXMATRIX& world = finale.links[i]->transform;
            const D3DXMATRIX wvp = velmo::multiplyMatrix(world, viewProjection);
            for (int r = 0; r < 4; ++r) {
                for (int c = 0; c < 4; ++c) {
                    data[i].wvp[c * 4 + r] = wvp.m[r][c];
                    if (c < 3) {
                        data[i].world[c * 4 + r] = world.m[r][c];
                    }
                }
            }
        }
    };
    velmo::RenderTarget* target = finale.scene.getRenderTarget();
    // One frame of the links placed for time `at`; with `picture`, the target's pixels after it.
    const auto frame = [&](bool asInstances, float at, std::vector<unsigned char>* picture) {
        placeLinks(at);
        const double start = wallSeconds();
        target->begin(0);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->BeginScene();
        link->draw(); // the device's depth state in place for the raw draws
        glBindVertexArray(raw.array);
        const auto count = GLsizei(raw.indices);
        if (asInstances) {
            glUseProgram(instanced);
            glBindBuffer(GL_ARRAY_BUFFER, instances);
            glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(data.size() * sizeof(Instance)), data.data(),
                         GL_STREAM_DRAW);
            glDrawElementsInstanced(GL_TRIANGLES, count, GL_UNSIGNED_INT, nullptr,
                                    GLsizei(data.size()));
        } else {
            glUseProgram(perDraw);
            for (const Instance& one : data) {
                glUniformMatrix4fv(wvpAt, 1, GL_FALSE, one.wvp);
                float world[16] = {};
                std::copy(one.world, one.world + 12, world);
                world[15] = 1.0f;
                glUniformMatrix4fv(worldAt, 1, GL_FALSE, world);
                glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, nullptr);
            }
        }
        glBindVertexArray(GLuint(deviceArray));
        glUseProgram(GLuint(deviceProgram));
        device->EndScene();
        glFinish();
        const double ms = (wallSeconds() - start) * 1e3;
        if (picture != nullptr) {
            picture->resize(size_t(target->getWidth()) * target->getHeight() * 4);
            glReadPixels(0, 0, GLsizei(target->getWidth()), GLsizei(target->getHeight()), GL_RGBA,
                         GL_UNSIGNED_BYTE, picture->data());
        }
        target->end();
        return ms;
    };
    // Both ways draw the same picture: the comparison is between equal work.
    std::vector<unsigned char> drawn, drawnInstanced;
    frame(false, t, &drawn);
    frame(true, t, &drawnInstanced);
    state.counters["same_picture"] = drawn == drawnInstanced ? 1 : 0;
    for (int i = 0; i < 5; ++i) {
        frame(false, t += kFrameStep, nullptr);
        frame(true, t, nullptr);
    }
    std::vector<double> draws, instancedDraws;
    for (auto _ : state) {
        draws.push_back(frame(false, t += kFrameStep, nullptr));
        instancedDraws.push_back(frame(true, t, nullptr));
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    state.counters["draws_ms"] = median(draws);
    state.counters["instanced_ms"] = median(instancedDraws);
    state.counters["saved_us_per_link"] =
        (median(draws) - median(instancedDraws)) * 1e3 / double(data.size());
    glDeleteBuffers(1, &instances);
    glDeleteProgram(perDraw);
    glDeleteProgram(instanced);
}
BENCHMARK(BM_InstancedLinks)->Iterations(100)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
