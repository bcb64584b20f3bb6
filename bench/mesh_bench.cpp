// Mesh transfers and subdivision: the upload and read-back of a 100 000-triangle mesh, the
// quadratic weld at the sizes of imported models, the demo's subdivision of its box, and the
// load of a 10 000-triangle DirectX model file.
// Runs on the offscreen video driver unless SDL_VIDEODRIVER says otherwise.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

#include "bench_device.h"
#include "engine/mesh/generators.h"
#include "engine/mesh/mesh.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/mesh/mesh_transfer.h"
#include "engine/mesh/modifiers.h"
#include "engine/mesh/subdivide.h"
#include "engine/platform/engine.h"
#include "engine/render/material.h"
#include "engine/resources/device_state.h"

namespace {

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

// A text DirectX file of a 50 x 100 quad grid (10 000 triangles, 5 151 vertices) with normals,
// texture coordinates and one material, in a part frame under a root frame, as models are.
std::string writeGridModel() {
    const std::string path =
        (std::filesystem::temp_directory_path() / "velmo-bench-grid10k.x").string();
    constexpr int kColumns = 50, kRows = 100;
    std::ofstream out(path);
    out << "xof 0303txt 0032\nFrame Top {\nFrame Grid {\nMesh {\n"
        << (kColumns + 1) * (kRows + 1) << ";\n";
    const char* separator = "";
    for (int y = 0; y <= kRows; ++y) {
        for (int x = 0; x <= kColumns; ++x) {
            out << separator << x * 0.1f << ";" << y * 0.1f << ";" << 0.01f * float((x * y) % 7)
                << ";";
            separator = ",\n";
        }
    }
    out << ";\n" << 2 * kColumns * kRows << ";\n";
    separator = "";
    for (int y = 0; y < kRows; ++y) {
        for (int x = 0; x < kColumns; ++x) {
            const int a = y * (kColumns + 1) + x, b = a + 1, c = a + kColumns + 2, d = c - 1;
            out << separator << "3;" << a << "," << b << "," << c << ";,\n3;" << a << "," << c
                << "," << d << ";";
            separator = ",\n";
        }
    }
    out << ";\nMeshNormals { 1; 0;0;-1;; " << 2 * kColumns * kRows << ";\n";
    separator = "";
    for (int i = 0; i < 2 * kColumns * kRows; ++i) {
        out << separator << "3;0,0,0;";
        separator = ",\n";
    }
    out << "; }\nMeshTextureCoords { " << (kColumns + 1) * (kRows + 1) << ";\n";
    separator = "";
    for (int y = 0; y <= kRows; ++y) {
        for (int x = 0; x <= kColumns; ++x) {
            out << separator << float(x) / kColumns << ";" << float(y) / kRows << ";";
            separator = ",\n";
        }
    }
    out << "; }\nMeshMaterialList { 1; 1; 0;; Material { 0.8;0.8;0.8;1;; 5; 1;1;1;; 0;0;0;; } "
           "}\n}\n}\n}\n";
    return path;
}

// The model loader reading the file above: import, conversion and the GPU buffers' filling.
void BM_LoadDirectXModel10kTriangles(benchmark::State& state) {
    ensureDevice();
    const std::string path = writeGridModel();
    velmo::MeshLoader loader;
    for (auto _ : state) {
        velmo::INode* root = loader.load(path.c_str());
        if (root == nullptr) {
            state.SkipWithError("the model did not load");
            break;
        }
        state.PauseTiming();
        // The program keeps loaded models for the run; the benchmark frees each one.
        for (velmo::INode* node : root->children) {
            delete node;
        }
        delete root;
        for (velmo::Mesh* mesh : loader.meshes) {
            delete mesh;
        }
        for (velmo::Material* material : loader.materials) {
            delete material;
        }
        state.ResumeTiming();
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_LoadDirectXModel10kTriangles)->Unit(benchmark::kMillisecond);

} // namespace
