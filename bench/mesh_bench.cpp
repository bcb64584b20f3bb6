// Mesh transfers and subdivision: the upload and read-back of a 100 000-triangle mesh, the
// quadratic weld at the sizes of imported models, and the demo's subdivision of its box.
// Runs on the offscreen video driver unless SDL_VIDEODRIVER says otherwise.
#include <cstdlib>

#include <benchmark/benchmark.h>

#include "engine/mesh/generators.h"
#include "engine/mesh/mesh.h"
#include "engine/mesh/mesh_transfer.h"
#include "engine/mesh/modifiers.h"
#include "engine/mesh/subdivide.h"
#include "engine/platform/engine.h"
#include "engine/resources/device_state.h"

namespace {

// One engine and device for the whole run.
void ensureDevice() {
    static const bool ready = [] {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        auto* engine = new velmo::Engine;
        velmo::DisplaySettings settings;
        settings.width = 640;
        settings.height = 480;
        settings.bitsPerPixel = 32;
        settings.fullscreen = false;
        settings.title = "velmo 08";
        settings.aspectRatio = 16.0f / 9.0f;
        return engine->init(settings);
    }();
    if (!ready) {
        std::abort();
    }
}

// A square grid of n x n vertices as 2 (n - 1)^2 triangles, CPU current.
velmo::Mesh* grid(int n) {
    auto* mesh = new velmo::Mesh(0, 0);
    velmo::VertexList* vertices = nullptr;
    velmo::EdgeList* edges = nullptr;
    velmo::FaceList* faces = nullptr;
    mesh->editGeometry(&vertices, &edges, &faces);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            vertices->push_back(new velmo::Vertex(float(x), float(y), 0.0f));
        }
    }
    auto edge = [&](int a, int b) {
        edges->push_back(new velmo::Edge{(*vertices)[a], (*vertices)[b]});
        return edges->back();
    };
    for (int y = 0; y + 1 < n; ++y) {
        for (int x = 0; x + 1 < n; ++x) {
            const int a = y * n + x, b = a + 1, c = a + n + 1, d = a + n;
            faces->push_back(new velmo::TriFace(edge(a, b), edge(b, c), edge(c, a)));
            faces->push_back(new velmo::TriFace(edge(a, c), edge(c, d), edge(d, a)));
        }
    }
    return mesh;
}

constexpr int kGridSide = 225; // 100 352 triangles, 50 625 vertices

void BM_Upload100kTriangles(benchmark::State& state) {
    ensureDevice();
    velmo::Mesh* mesh = grid(kGridSide);
    for (auto _ : state) {
        velmo::uploadGeometry(*mesh->data->geometry, *mesh);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(mesh->data->geometry->faces.size()));
    delete mesh;
}
BENCHMARK(BM_Upload100kTriangles)->Unit(benchmark::kMillisecond);

void BM_ReadBack100kTriangles(benchmark::State& state) {
    ensureDevice();
    velmo::Mesh* mesh = grid(kGridSide);
    velmo::uploadGeometry(*mesh->data->geometry, *mesh);
    for (auto _ : state) {
        velmo::downloadGeometry(*mesh->data->buffers, *mesh, false);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(mesh->data->buffers->indexCount / 3));
    delete mesh;
}
BENCHMARK(BM_ReadBack100kTriangles)->Unit(benchmark::kMillisecond);

// Read-back with the weld of a flat-shaded model: every GPU vertex compared with those kept.
void BM_ReadBackWithWeld(benchmark::State& state) {
    ensureDevice();
    const int side = int(state.range(0));
    velmo::Mesh* mesh = grid(side);
    velmo::uploadGeometry(*mesh->data->geometry, *mesh);
    for (auto _ : state) {
        velmo::downloadGeometry(*mesh->data->buffers, *mesh, true);
    }
    state.counters["gpu_vertices"] = double(side) * side;
    delete mesh;
}
BENCHMARK(BM_ReadBackWithWeld)->Arg(32)->Arg(55)->Arg(77)->Unit(benchmark::kMillisecond);

void BM_DemoBoxSubdivision(benchmark::State& state) {
    ensureDevice();
    velmo::Mesh* mesh = velmo::Device::instance()->state->createMesh();
    for (auto _ : state) {
        velmo::meshgen::Cube(velmo::Vec3(130, 130, 130)).generate(mesh);
        velmo::meshmodify::InvertFaces().apply(mesh);
        velmo::meshmodify::Subdivide(2, 1).apply(mesh);
        velmo::meshmodify::Subdivide(1, 0).apply(mesh);
    }
}
BENCHMARK(BM_DemoBoxSubdivision)->Unit(benchmark::kMicrosecond);

} // namespace
