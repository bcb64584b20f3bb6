// The model loader when memory runs out during a load: every allocation from a given size on
// fails (as large ones do first when memory is short), so the load fails part way. The load
// must report a failed load (null, nothing built) instead of throwing into its caller, and the
// loader must load normally afterwards.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "engine/mesh/mesh.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/mesh/vertex.h"
#include "engine/render/material.h"
#include "engine/scene/node.h"
#include "support/engine_fixture.h"
#include "support/message_boxes.h"
#include "support/scratch.h"

namespace {

// Allocations of this many bytes or more fail while it is set.
std::atomic<size_t> failFrom{SIZE_MAX};

void* allocate(size_t size) {
    if (size >= failFrom.load(std::memory_order_relaxed)) {
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

} // namespace

void* operator new(size_t size) {
    return allocate(size);
}
void* operator new[](size_t size) {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}

namespace {

// A DirectX file with one mesh of `triangles` separate triangles.
std::string bigModel(unsigned triangles) {
    std::string text =
        "xof 0303txt 0032\nFrame Top { Frame A { Mesh { " + std::to_string(triangles * 3) + ";\n";
    for (unsigned i = 0; i < triangles * 3; ++i) {
        text += std::to_string(i % 7) + ";" + std::to_string(i % 5) + ";0;" +
                (i + 1 < triangles * 3 ? ",\n" : ";\n");
    }
    text += std::to_string(triangles) + ";\n";
    for (unsigned i = 0; i < triangles; ++i) {
        text += "3;" + std::to_string(i * 3) + "," + std::to_string(i * 3 + 1) + "," +
                std::to_string(i * 3 + 2) + ";" + (i + 1 < triangles ? ",\n" : ";\n");
    }
    return text + "} } }\n";
}

class MeshLoaderOutOfMemory : public EngineTest {};

TEST_F(MeshLoaderOutOfMemory, ALoadThatRunsOutOfMemoryFailsAndBuildsNothing) {
    ScratchDir dir;
    MessageBoxRecorder boxes;
    constexpr unsigned triangles = 20000;
    const std::string text = bigModel(triangles);
    const std::string path = dir.file("big.x");
    writeFile(path, text.data(), text.size());

    velmo::MeshLoader loader;
    // The importer's own blocks (the file's text, its positions and faces) stay below this;
    // the engine's vertices for the mesh do not.
    const size_t vertexBytes = sizeof(velmo::Vertex) * triangles * 3;
    ASSERT_GT(vertexBytes, 2 * text.size());
    for (size_t limit : {size_t(1) << 10, vertexBytes}) {
        SCOPED_TRACE(limit);
        failFrom = limit;
        velmo::INode* root = nullptr;
        EXPECT_NO_THROW(root = loader.load(path.c_str()));
        failFrom = SIZE_MAX;
        EXPECT_EQ(root, nullptr);
        EXPECT_EQ(loader.root, nullptr);
        EXPECT_EQ(loader.scene, nullptr);
        EXPECT_TRUE(loader.meshes.empty());
        EXPECT_TRUE(loader.materials.empty());
        EXPECT_TRUE(loader.meshMaterials.empty());
    }

    // With memory back, the same loader loads the same file.
    velmo::INode* root = loader.load(path.c_str());
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(loader.meshes.size(), 1u);
    EXPECT_TRUE(boxes.boxes().empty());
    for (velmo::INode* child : root->children) {
        delete child;
    }
    delete root;
    for (velmo::Mesh* mesh : loader.meshes) {
        delete mesh;
    }
    for (velmo::Material* material : loader.materials) {
        delete material;
    }
}

} // namespace
