// Model files through the loader: the flat node tree it builds, the DirectX file's corner
// order, axis change, texture-coordinate flip and matrices as they arrive in the engine, the
// 3DS importer's conventions, the texture-coordinate sets and materials, the faults of
// imported data it survives (points and lines, missing materials, empty meshes), files it
// rejects, and a loaded model drawn by a scene where its camera should see it.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include <assimp/Exporter.hpp>
#include <assimp/scene.h>
#include <d3dx9.h>
#include <gtest/gtest.h>

#include "engine/math/matrix.h"
#include "engine/mesh/mesh.h"
#include "engine/render/mesh_instance.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/render/material.h"
#include "engine/resources/effect_cache.h"
#include "engine/resources/file_cache.h"
#include "engine/resources/render_target.h"
#include "engine/resources/texture.h"
#include "engine/scene/camera.h"
#include "engine/scene/matrix_stack.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"
#include "support/engine_fixture.h"
#include "support/expect_math.h"
#include "support/images.h"
#include "support/message_boxes.h"
#include "support/not_regular.h"
#include "support/scratch.h"

namespace {

using velmo::INode;
using velmo::Matrix;
using velmo::Mesh;
using velmo::MeshInstance;

// One record of a mesh's vertex buffer.
struct GpuVertex {
    float position[3], normal[3], uv0[2], uv1[2], tangent[3], binormal[3];
};
static_assert(sizeof(GpuVertex) == 64);

// What a mesh's GPU buffers hold, read without disturbing the mesh's sync state.
struct Buffers {
    std::vector<GpuVertex> vertices;
    std::vector<uint32_t> indices;
};

Buffers readBuffers(const Mesh* mesh) {
    const velmo::MeshBuffers& b = *mesh->data->buffers;
    Buffers out;
    void* locked = nullptr;
    if (b.vertexBuffer != nullptr && b.vertexCount > 0 &&
        SUCCEEDED(b.vertexBuffer->Lock(0, UINT(b.vertexCount) * 64, &locked, D3DLOCK_READONLY))) {
        const auto* first = static_cast<const GpuVertex*>(locked);
        out.vertices.assign(first, first + b.vertexCount);
        b.vertexBuffer->Unlock();
    }
    if (b.indexBuffer != nullptr && b.indexCount > 0 &&
        SUCCEEDED(b.indexBuffer->Lock(0, UINT(b.indexCount) * 4, &locked, D3DLOCK_READONLY))) {
        const auto* first = static_cast<const uint32_t*>(locked);
        out.indices.assign(first, first + b.indexCount);
        b.indexBuffer->Unlock();
    }
    return out;
}

// A DirectX frame matrix, its sixteen numbers in the order the file stores them. Every number
// has a decimal point: Assimp reads "1,0" as the number 1.0.
std::string xMatrix(const Matrix& m) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(6) << "FrameTransformMatrix {";
    for (int i = 0; i < 16; ++i) {
        out << (i ? "," : "") << m.m[i / 4][i % 4];
    }
    out << ";;}\n";
    return out.str();
}

// A row-vector matrix from its sixteen numbers.
Matrix rows(const std::vector<float>& m) {
    return Matrix(m.data());
}

// The engine's form of the DirectX file's axis change: (x, y, z) -> (x, -z, y).
const Matrix kAxisChange = rows({1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1});

// A single-triangle mesh, optionally with a material of the given diffuse colour.
std::string xTriangle(const char* colour = nullptr) {
    std::string mesh = "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n";
    if (colour != nullptr) {
        mesh += std::string("MeshMaterialList { 1; 1; 0;; Material { ") + colour +
                ";; 5; 1;1;1;; 0;0;0;; } }\n";
    }
    return mesh + "}\n";
}

class MeshLoaderTest : public EngineTest {
protected:
    void TearDown() override {
        // The program keeps what a load makes for the whole run; a test frees it.
        for (INode* node : nodes) {
            delete node;
        }
        for (Mesh* mesh : madeMeshes) {
            delete mesh;
        }
        for (velmo::Material* material : madeMaterials) {
            delete material;
        }
        EngineTest::TearDown();
    }

    std::string write(const std::string& name, const std::string& text) {
        const std::string path = dir.file(name);
        writeFile(path, text.data(), text.size());
        return path;
    }
    std::string writeX(const std::string& name, const std::string& body) {
        return write(name, "xof 0303txt 0032\n" + body);
    }
    // Writes the scene with Assimp's exporter in the given format.
    std::string exportScene(const aiScene& scene, const char* format, const std::string& name) {
        const std::string path = dir.file(name);
        Assimp::Exporter exporter;
        EXPECT_EQ(exporter.Export(&scene, format, path), aiReturn_SUCCESS)
            << exporter.GetErrorString();
        return path;
    }

    INode* load(const std::string& path) {
        INode* root = loader.load(path.c_str());
        if (root != nullptr) {
            nodes.push_back(root);
            nodes.insert(nodes.end(), root->children.begin(), root->children.end());
        }
        madeMeshes.insert(madeMeshes.end(), loader.meshes.begin(), loader.meshes.end());
        madeMaterials.insert(madeMaterials.end(), loader.materials.begin(), loader.materials.end());
        return root;
    }

    static std::vector<INode*> children(INode* node) {
        return {node->children.begin(), node->children.end()};
    }
    static MeshInstance* instance(INode* node) { return dynamic_cast<MeshInstance*>(node); }
    // The one mesh below a loaded mesh instance.
    static Mesh* meshOf(INode* node) {
        EXPECT_EQ(node->children.size(), 1u);
        return node->children.empty() ? nullptr : dynamic_cast<Mesh*>(node->children.front());
    }

    ScratchDir dir;
    MessageBoxRecorder boxes;
    velmo::MeshLoader loader;
    std::vector<INode*> nodes;
    std::vector<Mesh*> madeMeshes;
    std::vector<velmo::Material*> madeMaterials;
};

TEST_F(MeshLoaderTest, FramesBecomeAFlatTreeUnderTheRootFrame) {
    const Matrix rootMatrix = velmo::makeTranslation(1, 2, 3);
    const Matrix a = velmo::makeTranslation(10, 0, 0), b = velmo::rotationY(0.5f),
                 c = velmo::makeTranslation(0, 0, 7);
    const std::string path =
        writeX("tree.x", "Frame Top {" + xMatrix(rootMatrix) +        //
                             "Frame A {" + xMatrix(a) + xTriangle() + //
                             "} Frame B {" + xMatrix(b) + xTriangle() + " Frame C {" + xMatrix(c) +
                             xTriangle() + "} } Frame Empty {} }");
    INode* root = load(path);
    ASSERT_NE(root, nullptr);

    // The root frame has no mesh: a group named after it, carrying its matrix after the axis
    // change.
    EXPECT_NE(dynamic_cast<velmo::DummyNode*>(root), nullptr);
    EXPECT_EQ(root->name, "Top");
    expectMatrixNear(root->transform, velmo::multiplyMatrix(kAxisChange, rootMatrix), 1e-6f);

    // Every other frame hangs directly under it, the grandchild C included, in file order;
    // each keeps only its own matrix.
    const std::vector<INode*> parts = children(root);
    ASSERT_EQ(parts.size(), 4u);
    const char* names[] = {"A", "B", "C", "Empty"};
    const Matrix* matrices[] = {&a, &b, &c, nullptr};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        ASSERT_NE(instance(parts[i]), nullptr);
        EXPECT_EQ(parts[i]->name, names[i]);
        expectMatrixNear(parts[i]->transform, *matrices[i], 1e-6f);
        Mesh* mesh = meshOf(parts[i]);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->name, std::string("Mesh") + names[i]);
        EXPECT_EQ(mesh->data->syncState, velmo::MeshData::kGpuOnly);
    }
    EXPECT_NE(dynamic_cast<velmo::DummyNode*>(parts[3]), nullptr);
    EXPECT_EQ(parts[3]->name, "Empty");
    EXPECT_TRUE(parts[3]->children.empty());
    EXPECT_EQ(loader.meshes.size(), 3u);
    EXPECT_EQ(loader.root, root);
    // The meshes are the loader's own; the device state does not track them.
    EXPECT_TRUE(velmo::Device::instance()->state->meshes.empty());
}

TEST_F(MeshLoaderTest, ARootFrameWithAMeshHangsUnderAnUnnamedIdentityGroup) {
    const Matrix rootMatrix = velmo::makeTranslation(0, 5, 0);
    const std::string path = writeX("rootmesh.x", "Frame Top {" + xMatrix(rootMatrix) +
                                                      xTriangle() + "Frame Child {} }");
    INode* root = load(path);
    ASSERT_NE(root, nullptr);
    EXPECT_NE(dynamic_cast<velmo::DummyNode*>(root), nullptr);
    EXPECT_EQ(root->name, "");
    expectMatrixNear(root->transform, velmo::identityMatrix(), 0.0f);

    const std::vector<INode*> parts = children(root);
    ASSERT_EQ(parts.size(), 2u);
    ASSERT_NE(instance(parts[0]), nullptr);
    EXPECT_EQ(parts[0]->name, "Top");
    expectMatrixNear(parts[0]->transform, velmo::multiplyMatrix(kAxisChange, rootMatrix), 1e-6f);
    EXPECT_EQ(meshOf(parts[0])->name, "MeshTop");
    EXPECT_EQ(parts[1]->name, "Child");
}

// One triangle with distinguishable corners, normals and two texture-coordinate sets, in a
// frame under a root frame that turns and moves it.
class DirectXConventions : public MeshLoaderTest {
protected:
    void SetUp() override {
        MeshLoaderTest::SetUp();
        path = writeX("tri.x", "Frame Top {" + xMatrix(rootMatrix) + "Frame Part {" +
                                   xMatrix(partMatrix) +
                                   R"(Mesh {
  4; 1;2;3;, 4;5;6.5;, 7;8;9.25;, 0;0;0;;
  2; 3;0,1,2;, 3;3,2,1;;
  MeshNormals { 3; 1;0;0;, 0;1;0;, 0;0;1;; 2; 3;0,1,2;, 3;2,2,2;; }
  MeshTextureCoords { 4; 0.1;0.2;, 0.3;0.4;, 0.5;0.625;, 0.75;0.875;; }
  MeshTextureCoords { 4; 0.9;0.8;, 0.7;0.6;, 0.5;0.375;, 0.25;0.125;; }
} } })");
    }

    // rotation about z by a quarter turn, then a move
    const Matrix rootMatrix = rows({0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1});
    const Matrix partMatrix = rows({2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 100, 1});
    std::string path;
};

TEST_F(DirectXConventions, TrianglesKeepTheFileCornerOrderAndTextureSetZeroIsFlipped) {
    INode* root = load(path);
    ASSERT_NE(root, nullptr);
    Mesh* mesh = meshOf(children(root).at(0));
    const Buffers gpu = readBuffers(mesh);

    // Each face corner is a vertex of its own.
    EXPECT_EQ(gpu.vertices.size(), 6u);
    ASSERT_EQ(gpu.indices.size(), 6u);

    // The file's triangle (a, b, c) is drawn as (b, c, a): the same winding.
    struct Corner {
        float position[3], normal[3], uv0[2], uv1[2];
    };
    const Corner a = {{1, 2, 3}, {1, 0, 0}, {0.1f, 0.8f}, {0.9f, 0.8f}};
    const Corner b = {{4, 5, 6.5f}, {0, 1, 0}, {0.3f, 0.6f}, {0.7f, 0.6f}};
    const Corner c = {{7, 8, 9.25f}, {0, 0, 1}, {0.5f, 0.375f}, {0.5f, 0.375f}};
    const Corner* expected[] = {&b, &c, &a};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const GpuVertex& v = gpu.vertices.at(gpu.indices[size_t(k)]);
        const Corner& e = *expected[k];
        for (int i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ(v.position[i], e.position[i]);
            EXPECT_FLOAT_EQ(v.normal[i], e.normal[i]);
        }
        for (int i = 0; i < 2; ++i) {
            EXPECT_FLOAT_EQ(v.uv0[i], e.uv0[i]);
            EXPECT_FLOAT_EQ(v.uv1[i], e.uv1[i]);
        }
    }
    // The second triangle (3, 2, 1) likewise starts at its second corner.
    EXPECT_FLOAT_EQ(gpu.vertices.at(gpu.indices[3]).position[2], 9.25f);
    EXPECT_FLOAT_EQ(gpu.vertices.at(gpu.indices[4]).position[2], 6.5f);
    EXPECT_FLOAT_EQ(gpu.vertices.at(gpu.indices[5]).position[2], 0.0f);
    EXPECT_TRUE(mesh->data->normalsLocked);
}

TEST_F(DirectXConventions, TheRootFrameTurnsItsAxesThenAppliesItsOwnMatrix) {
    INode* root = load(path);
    ASSERT_NE(root, nullptr);
    INode* part = children(root).at(0);
    // Node matrices are the file's numbers as written.
    expectMatrixNear(part->transform, partMatrix, 0.0f);

    // Corner a = (1, 2, 3): the part doubles x and moves z by 100, giving (2, 2, 103); the axis
    // change makes it (2, -103, 2); the root's quarter turn (x, y) -> (-y, x) gives (103, 2, 2)
    // and its move (113, 22, 32).
    const Buffers gpu = readBuffers(meshOf(part));
    const GpuVertex& corner = gpu.vertices.at(gpu.indices.at(2));
    D3DXVECTOR3 world(corner.position[0], corner.position[1], corner.position[2]);
    const Matrix toWorld = velmo::multiplyMatrix(part->transform, root->transform);
    D3DXVec3TransformCoord(&world, &world, &toWorld);
    EXPECT_NEAR(world.x, 113.0f, 1e-4f);
    EXPECT_NEAR(world.y, 22.0f, 1e-4f);
    EXPECT_NEAR(world.z, 32.0f, 1e-4f);
}

TEST_F(DirectXConventions, NegateNormalsTurnsTheFileNormalsAndSingleSetCopiesSetZero) {
    loader.negateNormals = true;
    loader.singleTextureSet = true;
    INode* root = load(path);
    ASSERT_NE(root, nullptr);
    const Buffers gpu = readBuffers(meshOf(children(root).at(0)));
    const GpuVertex& a = gpu.vertices.at(gpu.indices.at(2));
    EXPECT_FLOAT_EQ(a.normal[0], -1.0f);
    EXPECT_FLOAT_EQ(a.normal[1], 0.0f);
    EXPECT_FLOAT_EQ(a.normal[2], 0.0f);
    EXPECT_FLOAT_EQ(a.uv1[0], 0.1f);
    EXPECT_FLOAT_EQ(a.uv1[1], 0.8f);
}

// A 3DS file as Assimp's exporter writes it: vertices, texture coordinates and faces as given,
// and a keyframer chunk with the node hierarchy.
TEST_F(MeshLoaderTest, A3dsFileKeepsTheImportersUpAxisTurnAndHasItsFacesReversed) {
    aiScene scene;
    scene.mRootNode = new aiNode("Top");
    auto* part = new aiNode("Pipe");
    scene.mRootNode->addChildren(1, &part);
    part->mNumMeshes = 1;
    part->mMeshes = new unsigned[1]{0};
    auto* mesh = new aiMesh;
    scene.mNumMeshes = 1;
    scene.mMeshes = new aiMesh* [1] { mesh };
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNumVertices = 3;
    mesh->mVertices = new aiVector3D[3]{{1, 2, 3}, {4, 5, 6.5f}, {7, 8, 9.25f}};
    mesh->mTextureCoords[0] =
        new aiVector3D[3]{{0.1f, 0.2f, 0}, {0.3f, 0.4f, 0}, {0.5f, 0.625f, 0}};
    mesh->mNumUVComponents[0] = 2;
    mesh->mNumFaces = 1;
    mesh->mFaces = new aiFace[1];
    mesh->mFaces[0].mNumIndices = 3;
    mesh->mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
    scene.mNumMaterials = 1;
    scene.mMaterials = new aiMaterial* [1] { new aiMaterial };
    INode* root = load(exportScene(scene, "3ds", "pipe.3ds"));
    ASSERT_NE(root, nullptr);

    // The importer's root turns the file's z-up into y-up: (x, y, z) -> (x, z, -y).
    EXPECT_EQ(root->name, "<3DSRoot>");
    expectMatrixNear(root->transform, rows({1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1}),
                     0.0f);
    // The keyframer's nodes follow, the mesh's own node last.
    std::vector<std::string> names;
    for (INode* node : children(root)) {
        names.push_back(node->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Top", "Pipe", "Pipe_0"}));

    // Positions as in the file; the triangle (a, b, c) arrives as (b, a, c), reversed; v is
    // flipped; the importer's own normals, along (b - a) x (c - a), are kept.
    Mesh* loaded = meshOf(children(root).at(2));
    const Buffers gpu = readBuffers(loaded);
    ASSERT_EQ(gpu.indices.size(), 3u);
    const float expectedZ[] = {6.5f, 3.0f, 9.25f};
    const float expectedV[] = {0.6f, 0.8f, 0.375f};
    for (int k = 0; k < 3; ++k) {
        const GpuVertex& v = gpu.vertices.at(gpu.indices[size_t(k)]);
        EXPECT_FLOAT_EQ(v.position[2], expectedZ[k]) << k;
        EXPECT_FLOAT_EQ(v.uv0[1], expectedV[k]) << k;
        EXPECT_NEAR(v.normal[0], -std::sqrt(0.5f), 1e-5f) << k;
        EXPECT_NEAR(v.normal[1], std::sqrt(0.5f), 1e-5f) << k;
    }
    EXPECT_TRUE(loaded->data->normalsLocked);
}

// Meshes for the texture-coordinate table, one per combination of sets that Assimp delivers
// (its importers fill the sets from 0 upward, so there is never a set 1 without a set 0), and
// two materials with textures.
class TextureSets : public MeshLoaderTest {
protected:
    void SetUp() override {
        MeshLoaderTest::SetUp();
        const std::vector<unsigned char> png = encodeImage(false, 1, 1, 4, {200, 100, 50, 255});
        const std::string diffusePath = dir.file("diffuse.png"),
                          normalsPath = dir.file("normals.png");
        writeFile(diffusePath, png.data(), png.size());
        writeFile(normalsPath, png.data(), png.size());

        aiScene scene;
        scene.mRootNode = new aiNode("Top");
        scene.mRootNode->mNumMeshes = 3;
        scene.mRootNode->mMeshes = new unsigned[3]{0, 1, 2};
        scene.mNumMeshes = 3;
        scene.mMeshes = new aiMesh*[3];
        for (unsigned i = 0; i < 3; ++i) {
            aiMesh* mesh = scene.mMeshes[i] = new aiMesh;
            mesh->mNumVertices = 1;
            mesh->mVertices = new aiVector3D[1]{};
            if (i < 2) {
                mesh->mTextureCoords[0] = new aiVector3D[1]{{0.25f, 0.125f, 0}};
                mesh->mNumUVComponents[0] = 2;
            }
            if (i == 1) {
                mesh->mTextureCoords[1] = new aiVector3D[1]{{0.5f, 0.75f, 0}};
                mesh->mNumUVComponents[1] = 2;
            }
            mesh->mMaterialIndex = i % 2;
        }
        scene.mNumMaterials = 2;
        scene.mMaterials = new aiMaterial* [2] { new aiMaterial, new aiMaterial };
        const aiString diffuse(diffusePath), normals(normalsPath);
        scene.mMaterials[0]->AddProperty(&diffuse, AI_MATKEY_TEXTURE_DIFFUSE(0));
        scene.mMaterials[1]->AddProperty(&diffuse, AI_MATKEY_TEXTURE_DIFFUSE(0));
        scene.mMaterials[1]->AddProperty(&normals, AI_MATKEY_TEXTURE_NORMALS(0));
        path = exportScene(scene, "assbin", "sets.assbin");
    }

    std::string path;
};

TEST_F(TextureSets, FollowTheTableWithAndWithoutASingleSet) {
    // F = (u, 1 - v) of set 0, S = set 1 as stored.
    const float F[2] = {0.25f, 0.875f}, S[2] = {0.5f, 0.75f}, none[2] = {0, 0};
    struct Row {
        const char* sets;
        const float *clearSet0, *clearSet1, *singleSet0, *singleSet1;
    };
    const Row table[] = {
        {"set 0", F, F, F, F},
        {"sets 0 and 1", F, S, F, F},
        {"none", none, none, none, none},
    };
    for (bool single : {false, true}) {
        loader.singleTextureSet = single;
        INode* root = load(path);
        ASSERT_NE(root, nullptr);
        const std::vector<INode*> parts = children(root);
        ASSERT_EQ(parts.size(), 3u);
        for (size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(testing::Message() << table[i].sets << (single ? ", single" : ""));
            const GpuVertex v = readBuffers(meshOf(parts[i])).vertices.at(0);
            const float* set0 = single ? table[i].singleSet0 : table[i].clearSet0;
            const float* set1 = single ? table[i].singleSet1 : table[i].clearSet1;
            EXPECT_FLOAT_EQ(v.uv0[0], set0[0]);
            EXPECT_FLOAT_EQ(v.uv0[1], set0[1]);
            EXPECT_FLOAT_EQ(v.uv1[0], set1[0]);
            EXPECT_FLOAT_EQ(v.uv1[1], set1[1]);
        }

        // The diffuse texture doubles as the normal map only with a single set; a normal-map
        // texture of its own wins either way.
        const velmo::Material& plain = instance(parts[0])->material;
        const velmo::Material& bumpy = instance(parts[1])->material;
        ASSERT_NE(plain.texture, nullptr);
        EXPECT_TRUE(plain.texture->isLoaded());
        EXPECT_EQ(plain.normalMap, single ? plain.texture : nullptr);
        ASSERT_NE(bumpy.normalMap, nullptr);
        EXPECT_NE(bumpy.normalMap, bumpy.texture);
        EXPECT_TRUE(bumpy.normalMap->isLoaded());
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(MeshLoaderTest, MaterialsTakeTheFileColoursAndKeepDefaultsForTheRest) {
    // The .x material has a face colour (with alpha) and a specular colour, no ambient.
    INode* root =
        load(writeX("red.x", "Frame Top { Frame A {" + xTriangle("1;0.5;0.25;0.75") + "} }"));
    ASSERT_NE(root, nullptr);
    const velmo::Material& m = instance(children(root).at(0))->material;
    const velmo::Material defaults;
    EXPECT_EQ(m.ambient, defaults.ambient);
    EXPECT_EQ(m.diffuse, D3DXVECTOR4(1.0f, 0.5f, 0.25f, 0.75f));
    EXPECT_EQ(m.specular, D3DXVECTOR4(1.0f, 1.0f, 1.0f, 1.0f));
    EXPECT_EQ(m.texture, nullptr);
    EXPECT_EQ(m.normalMap, nullptr);
    EXPECT_EQ(m.specularPower, defaults.specularPower);
    EXPECT_EQ(m.getTechnique(), "");

    // A material with no keys at all keeps every default.
    aiScene scene;
    scene.mRootNode = new aiNode("Top");
    scene.mRootNode->mNumMeshes = 1;
    scene.mRootNode->mMeshes = new unsigned[1]{0};
    scene.mNumMeshes = 1;
    scene.mMeshes = new aiMesh* [1] { new aiMesh };
    scene.mMeshes[0]->mNumVertices = 1;
    scene.mMeshes[0]->mVertices = new aiVector3D[1]{};
    scene.mNumMaterials = 1;
    scene.mMaterials = new aiMaterial* [1] { new aiMaterial };
    root = load(exportScene(scene, "assbin", "bare.assbin"));
    ASSERT_NE(root, nullptr);
    const velmo::Material& bare = instance(children(root).at(0))->material;
    EXPECT_EQ(bare.ambient, defaults.ambient);
    EXPECT_EQ(bare.diffuse, defaults.diffuse);
    EXPECT_EQ(bare.specular, defaults.specular);
}

TEST_F(MeshLoaderTest, AMissingTextureShowsTheFileCacheBoxAndTheModelStillLoads) {
    INode* root = load(writeX("lost.x", "Frame Top { Frame A { Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; "
                                        "1; 3;0,1,2;; MeshMaterialList { 1; 1; 0;; Material { "
                                        "1;1;1;1;; 5; 1;1;1;; 0;0;0;; TextureFilename { "
                                        "\"no-such-texture.png\"; } } } } } }"));
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Couldn't open file!\nno-such-texture.png");
    const velmo::Material& m = instance(children(root).at(0))->material;
    ASSERT_NE(m.texture, nullptr);
    EXPECT_FALSE(m.texture->isLoaded());
    EXPECT_EQ(readBuffers(meshOf(children(root).at(0))).indices.size(), 3u);
}

// Imported data that cannot be drawn as it stands: point and line faces, faces naming a vertex
// the mesh does not have, a material index past the list, meshes without vertices or faces.
// (A file without materials gets Assimp's own default material.)
TEST_F(MeshLoaderTest, FaultyImportedDataLoadsIntoValidMeshesAndDefaultMaterials) {
    // A DirectX file may have faces of one or two corners; only the triangles are kept.
    INode* root = load(writeX("points.x", R"(Frame Top { Frame A { Mesh {
  4; 0;0;0;, 1;0;0;, 0;1;0;, 2;2;2;;
  3; 1;3;, 3;0,1,2;, 2;3,0;;
} } })"));
    ASSERT_NE(root, nullptr);
    const Buffers gpu = readBuffers(meshOf(children(root).at(0)));
    ASSERT_EQ(gpu.indices.size(), 3u);
    EXPECT_FLOAT_EQ(gpu.vertices.at(gpu.indices[0]).position[0], 1.0f);

    struct Case {
        const char* name;
        unsigned vertices, corners, lastCorner, materialIndex;
        unsigned triangles;
    };
    const Case cases[] = {
        {"material index past the list", 3, 3, 2, 7, 1},
        {"no vertices", 0, 0, 2, 0, 0},
        {"no faces", 3, 0, 2, 0, 0},
        {"only lines and points", 3, 2, 2, 0, 0},
        {"a corner past the vertices", 3, 3, 5, 0, 0},
    };
    const velmo::Material defaults;
    velmo::Scene drawing;
    velmo::PerspectiveCamera camera(0.8f, 0.5f, 100.0f);
    camera.position = velmo::Vec3(0, 0, -5);
    camera.target = velmo::Vec3(0, 0, 0);
    drawing.root->camera = &camera;
    velmo::MatrixStack::instance()->scene = &drawing;
    velmo::preloadFile("SolidObject.fxo");
    float t = 0.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        aiScene scene;
        scene.mRootNode = new aiNode("Top");
        auto* part = new aiNode("Part");
        scene.mRootNode->addChildren(1, &part);
        part->mNumMeshes = 1;
        part->mMeshes = new unsigned[1]{0};
        auto* mesh = new aiMesh;
        scene.mNumMeshes = 1;
        scene.mMeshes = new aiMesh* [1] { mesh };
        mesh->mMaterialIndex = c.materialIndex;
        mesh->mNumVertices = c.vertices;
        if (c.vertices > 0) {
            mesh->mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        }
        if (c.corners > 0) {
            mesh->mNumFaces = 2;
            mesh->mFaces = new aiFace[2];
            for (unsigned f = 0; f < 2; ++f) {
                mesh->mFaces[f].mNumIndices = c.corners;
                mesh->mFaces[f].mIndices = new unsigned[3]{0, 1, c.lastCorner};
            }
            mesh->mFaces[1].mNumIndices = 1;
        }
        scene.mNumMaterials = 1;
        scene.mMaterials = new aiMaterial* [1] { new aiMaterial };
        const aiColor4D red(1, 0, 0, 1);
        scene.mMaterials[0]->AddProperty(&red, 1, AI_MATKEY_COLOR_DIFFUSE);
        root = load(exportScene(scene, "assbin", "faulty.assbin"));
        ASSERT_NE(root, nullptr);
        MeshInstance* part0 = instance(children(root).at(0));
        ASSERT_NE(part0, nullptr);
        EXPECT_EQ(part0->material.diffuse,
                  c.materialIndex == 0 ? D3DXVECTOR4(1, 0, 0, 1) : defaults.diffuse);
        Mesh* loaded = meshOf(part0);
        const Buffers buffers = readBuffers(loaded);
        EXPECT_EQ(buffers.vertices.size(), c.vertices);
        EXPECT_EQ(buffers.indices.size(), 3 * c.triangles);

        // Drawn by a scene, lit (normals computed from the buffers) and in the camera's view.
        drawing.root->addChild(root);
        drawing.render(t += 1.0f);
        drawing.root->removeChild(root);
        EXPECT_TRUE(boxes.boxes().empty());
    }
    velmo::MatrixStack::instance()->scene = nullptr;
    delete velmo::EffectCache::single;
    velmo::EffectCache::single = nullptr;
}

TEST_F(MeshLoaderTest, UnreadableFilesGiveNullAndBuildNothing) {
    std::vector<unsigned char> noise(4096);
    uint32_t state = 12345;
    for (unsigned char& byte : noise) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<unsigned char>(state >> 24);
    }
    const std::string noiseText(noise.begin(), noise.end());
    const std::string good =
        "xof 0303txt 0032\nFrame Top { Frame A { Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; "
        "3;0,1,2;; } } }";
    std::filesystem::create_directory(dir.file("folder.x"));
    struct Case {
        const char* name;
        std::string path;
    };
    const Case cases[] = {
        {"missing path", dir.file("absent.x")},
        {"empty file", write("empty.x", "")},
        {"truncated .x", write("cut.x", good.substr(0, good.size() - 12))},
        {"random bytes named .x", write("noise.x", noiseText)},
        {"random bytes named .3ds", write("noise.3ds", noiseText)},
        {"a directory", dir.file("folder.x")},
    };
    // A good file first, so that each failure is seen to empty the lists.
    ASSERT_NE(load(write("good.x", good)), nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(load(c.path), nullptr);
        EXPECT_EQ(loader.root, nullptr);
        EXPECT_EQ(loader.scene, nullptr);
        EXPECT_TRUE(loader.meshes.empty());
        EXPECT_TRUE(loader.materials.empty());
        EXPECT_TRUE(loader.meshMaterials.empty());
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

// A model that does not load is named on standard error, once for the load. A named pipe or a
// directory in its place is never handed to the importer, whose own open would wait on the
// pipe for a writer for ever.
TEST_F(MeshLoaderTest, AFailedLoadNamesTheFileOnceAndAPipeIsNotWaitedOn) {
    makeNotRegular(dir.file("pipe.x"), NotRegular::Pipe);
    makeNotRegular(dir.file("folder.x"), NotRegular::Directory);
    const std::string paths[] = {dir.file("pipe.x"), dir.file("folder.x"), dir.file("absent.x"),
                                 write("cut.x", "xof 0303txt 0032\nFrame Top { Mesh { 3;")};
    const Deadline deadline(20);
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(load(path), nullptr);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("the model " + path), std::string::npos) << said;
        EXPECT_EQ(said.find(path), said.rfind(path)) << said;
        EXPECT_EQ(loader.scene, nullptr);
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

// A texture that does not load leaves its materials drawing without it and is named on
// standard error once, however many materials use it.
TEST_F(MeshLoaderTest, ATextureThatFailsToLoadIsNamedOnceForAllItsMaterials) {
    const std::string material = "Material { 1;1;1;1;; 5; 1;1;1;; 0;0;0;; TextureFilename { "
                                 "\"" +
                                 write("cut.png", "\x89PNG\r\n") + "\"; } }";
    const std::string triangle = "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; "
                                 "MeshMaterialList { 1; 1; 0;; " +
                                 material + " } }";
    ::testing::internal::CaptureStderr();
    INode* root = load(
        writeX("two.x", "Frame Top { Frame A { " + triangle + " } Frame B { " + triangle + " } }"));
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(children(root).size(), 2u);
    for (INode* part : children(root)) {
        ASSERT_NE(instance(part)->material.texture, nullptr);
        EXPECT_FALSE(instance(part)->material.texture->isLoaded());
    }
    EXPECT_NE(said.find("the texture " + dir.file("cut.png")), std::string::npos) << said;
    EXPECT_EQ(said.find("cut.png"), said.rfind("cut.png")) << said;
    EXPECT_TRUE(boxes.boxes().empty());
}

// A loaded model drawn by a scene through the SolidObject effect, with back faces culled.
class LoadedModelPicture : public MeshLoaderTest {
protected:
    void SetUp() override {
        MeshLoaderTest::SetUp();
        scene = new velmo::Scene;
        camera.position = velmo::Vec3(0, 0, -5);
        camera.target = velmo::Vec3(0, 0, 0);
        scene->root->camera = &camera;
        scene->directionalLightEnabled = true;
        scene->directionalLightDir = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
        velmo::MatrixStack::instance()->scene = scene;
        velmo::preloadFile("SolidObject.fxo");
    }
    void TearDown() override {
        velmo::MatrixStack::instance()->scene = nullptr;
        delete scene;
        delete velmo::EffectCache::single;
        velmo::EffectCache::single = nullptr;
        MeshLoaderTest::TearDown();
    }

    // The scene's target as A8R8G8B8 pixels; also saved as a PNG for looking at.
    std::vector<unsigned char> picture(const char* name) {
        IDirect3DSurface9* surface = nullptr;
        scene->getRenderTarget()->getTexture()->GetSurfaceLevel(0, &surface);
        std::vector<unsigned char> argb = readBack(surface);
        surface->Release();
        std::vector<unsigned char> rgba(argb.size());
        for (size_t i = 0; i + 3 < argb.size(); i += 4) {
            rgba[i] = argb[i + 2];
            rgba[i + 1] = argb[i + 1];
            rgba[i + 2] = argb[i];
            rgba[i + 3] = 255;
        }
        const std::vector<unsigned char> png =
            encodeImage(false, int(width()), int(height()), 4, rgba);
        writeFile(name, png.data(), png.size());
        return argb;
    }
    UINT width() { return scene->getRenderTarget()->getWidth(); }
    UINT height() { return scene->getRenderTarget()->getHeight(); }
    // Where a point of the picture plane z = 0 falls in the target.
    std::pair<UINT, UINT> project(float x, float y) {
        D3DXVECTOR3 p(x, y, 0.0f);
        const Matrix viewProjection = camera.getViewProjection();
        D3DXVec3TransformCoord(&p, &p, &viewProjection);
        return {UINT((p.x + 1) / 2 * float(width())), UINT((1 - p.y) / 2 * float(height()))};
    }

    velmo::Scene* scene = nullptr;
    velmo::PerspectiveCamera camera{0.8f, 0.5f, 100.0f};
};

TEST_F(LoadedModelPicture, AModelAppearsWhereTheCameraSeesItWithItsBackFacesCulled) {
    // Two triangles in the plane z = 0, seen from -z: the right one faces the camera
    // ((b - a) x (c - a) points to -z), the left one is written the other way round. The root
    // matrix cancels the axis change, so file coordinates are the scene's.
    const Matrix cancel = rows({1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1});
    const std::string model = writeX("pair.x", "Frame Top {" + xMatrix(cancel) + R"(
Frame Pair { Mesh {
  6; 0.5;-0.5;0;, 0.5;0.5;0;, 1.5;0;0;, -0.5;-0.5;0;, -0.5;0.5;0;, -1.5;0;0;;
  2; 3;0,1,2;, 3;3,4,5;;
  MeshNormals { 1; 0;0;-1;; 2; 3;0,0,0;, 3;0,0,0;; }
  MeshMaterialList { 1; 2; 0,0;; Material { 1;0.5;0.125;1;; 5; 0;0;0;; 0;0;0;; } }
} } })");
    INode* first = load(model);
    ASSERT_NE(first, nullptr);
    // A second file through the same loader leaves the first one drawable.
    ASSERT_NE(load(writeX("other.x", "Frame Top { Frame B {" + xTriangle() + "} }")), nullptr);

    scene->root->addChild(first);
    scene->render(0.0f);
    const std::vector<unsigned char> argb = picture("mesh_loader_pair.png");
    const auto [rx, ry] = project(0.8f, 0.0f);
    const auto [lx, ly] = project(-0.8f, 0.0f);
    const auto [ox, oy] = project(0.8f, 0.7f);
    const DWORD right = argbAt(argb, width(), rx, ry);
    EXPECT_EQ(right >> 24, 0xffu);
    EXPECT_GT((right >> 16) & 0xff, 100u); // orange: red over green over blue
    EXPECT_GT((right >> 16) & 0xff, (right >> 8) & 0xff);
    EXPECT_GT((right >> 8) & 0xff, right & 0xff);
    EXPECT_EQ(argbAt(argb, width(), lx, ly), 0x00000000u); // the back face is culled
    EXPECT_EQ(argbAt(argb, width(), ox, oy), 0x00000000u); // above the triangle
    EXPECT_EQ(argbAt(argb, width(), width() / 2, height() / 2), 0x00000000u);
    EXPECT_TRUE(boxes.boxes().empty());
}

} // namespace
