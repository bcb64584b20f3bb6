// The shared demo assets: glyphs scaled once per character with both texture-coordinate sets
// generated, the objects built by loadSharedAssets, and model preparation that leaves a
// model alone when it is missing or not shaped as expected.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "demo/shared_assets.h"
#include "engine/math/matrix.h"
#include "engine/mesh/mesh.h"
#include "engine/render/mesh_instance.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/render/material.h"
#include "engine/render/mesh_font.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"
#include "support/engine_fixture.h"
#include "support/message_boxes.h"
#include "support/scratch.h"

namespace {

using velmo::MeshFont;
using velmo::Vec3;

// The size of a mesh's bounding box along each axis.
Vec3 extent(velmo::Mesh* mesh) {
    Vec3 lo(1e30f, 1e30f, 1e30f), hi(-1e30f, -1e30f, -1e30f);
    for (velmo::Vertex* v : *mesh->vertices()) {
        lo = Vec3(std::min(lo.x, v->position.x), std::min(lo.y, v->position.y),
                  std::min(lo.z, v->position.z));
        hi = Vec3(std::max(hi.x, v->position.x), std::max(hi.y, v->position.y),
                  std::max(hi.z, v->position.z));
    }
    return hi - lo;
}

void expectScaled(velmo::Mesh* prepared, velmo::Mesh* original, float scale) {
    const Vec3 a = extent(prepared), b = extent(original);
    EXPECT_NEAR(a.x, b.x * scale, b.x * scale * 1e-4f);
    EXPECT_NEAR(a.y, b.y * scale, b.y * scale * 1e-4f);
    EXPECT_NEAR(a.z, b.z * scale, b.z * scale * 1e-4f);
}

bool hasTextureCoordinates(velmo::Mesh* mesh, int set) {
    const velmo::VertexList& vertices = *mesh->vertices();
    return std::any_of(vertices.begin(), vertices.end(), [set](velmo::Vertex* v) {
        const float* uv = set == 0 ? v->uv0 : v->uv1;
        return uv[0] != 0.0f || uv[1] != 0.0f;
    });
}

class SharedAssets : public EngineTest {
protected:
    MessageBoxRecorder boxes;
};

// '0' and ':' are listed twice in the alphabet but have one glyph each, scaled once like every
// other; '-', the last character, is prepared too.
TEST_F(SharedAssets, EachGlyphIsScaledOnceAndGetsBothTextureCoordinateSets) {
    MeshFont original("ChopinScript", 10.1f);
    original.buildGlyphs();
    MeshFont prepared("ChopinScript", 10.1f);
    prepared.buildGlyphs();
    prepareGlyphs(prepared, 110.0f);
    for (char c : {'0', ':', '-', 'a', 'Z'}) {
        SCOPED_TRACE(c);
        ASSERT_NE(prepared.glyphMesh(c), nullptr);
        expectScaled(prepared.glyphMesh(c), original.glyphMesh(c), 110.0f);
        EXPECT_TRUE(hasTextureCoordinates(prepared.glyphMesh(c), 0));
        EXPECT_TRUE(hasTextureCoordinates(prepared.glyphMesh(c), 1));
    }
}

// A character whose glyph mesh could not be made has no mesh to prepare: it is skipped and
// the others are still prepared.
TEST_F(SharedAssets, AGlyphThatCouldNotBeMadeIsSkipped) {
    MeshFont original("ChopinScript", 10.1f);
    original.buildGlyphs();
    MeshFont font("ChopinScript", 10.1f);
    font.buildGlyphs();
    font.glyphs['b'] = nullptr; // as a failed glyph would leave it
    prepareGlyphs(font, 50.0f);
    EXPECT_EQ(font.glyphMesh('b'), nullptr);
    expectScaled(font.glyphMesh('a'), original.glyphMesh('a'), 50.0f);
    expectScaled(font.glyphMesh('c'), original.glyphMesh('c'), 50.0f);
}

TEST_F(SharedAssets, LoadSharedAssetsBuildsTheObjectsSeveralScenesShare) {
    loadSharedAssets();

    ASSERT_NE(sharedModelLoader, nullptr);
    EXPECT_TRUE(sharedModelLoader->negateNormals);
    EXPECT_TRUE(sharedModelLoader->singleTextureSet);
    // Four textures of their own, registered with the device state beside those that the
    // loaded models' materials name.
    for (velmo::Texture* t : {moonTexture, pumTexture, moonNormalTexture, particleTexture}) {
        EXPECT_NE(t, nullptr);
        EXPECT_EQ(velmo::Device::instance()->state->textures.count(t), 1u);
    }

    // A text built from the wide font has glyphs 50 times the size the glyph builder makes;
    // the script font's are 110 times.
    MeshFont wide("ShadowedBlackWide", 0.1f), script("ChopinScript", 10.1f);
    wide.buildGlyphs();
    script.buildGlyphs();
    ASSERT_NE(wideFont, nullptr);
    velmo::DummyNode* text = wideFont->createTextNode("2008", Vec3(12.5f, 0, 0), nullptr);
    ASSERT_EQ(text->children.size(), 4u);
    const char* digit = "2008";
    for (velmo::INode* child : text->children) {
        auto* instance = dynamic_cast<velmo::MeshInstance*>(child);
        ASSERT_NE(instance, nullptr);
        expectScaled(firstMesh(instance), wide.glyphMesh(*digit++), 50.0f);
        delete child;
    }
    delete text;
    ASSERT_NE(scriptFont, nullptr);
    EXPECT_EQ(scriptFont->extrusion, 10.1f);
    expectScaled(scriptFont->glyphMesh('Q'), script.glyphMesh('Q'), 110.0f);

    ASSERT_NE(textMaterial, nullptr);
    EXPECT_EQ(textMaterial->ambient, D3DXVECTOR4(0, 0, 0, 0));
    EXPECT_EQ(textMaterial->diffuse, D3DXVECTOR4(1, 1, 1, 1));
    EXPECT_EQ(textMaterial->specular, D3DXVECTOR4(1, 1, 1, 1));
    EXPECT_EQ(textMaterial->specularPower, velmo::Material().specularPower);

    // The two prepared models: moon-textured, normal-mapped, welded on read-back.
    const struct {
        velmo::INode* model;
        D3DXVECTOR4 diffuse;
        float bumpiness;
    } models[] = {{piippuModel, {0.1f, 0.1f, 0.1f, 0.1f}, 1.0f}, {loloModel, {4, 4, 4, 4}, 1.5f}};
    for (const auto& m : models) {
        velmo::MeshInstance* instance = firstMeshInstance(m.model);
        ASSERT_NE(instance, nullptr);
        EXPECT_EQ(instance->material.diffuse, m.diffuse);
        EXPECT_EQ(instance->material.specularPower, 8.0f);
        EXPECT_EQ(instance->material.bumpiness, m.bumpiness);
        EXPECT_EQ(instance->material.texture, moonTexture);
        EXPECT_EQ(instance->material.normalMap, moonNormalTexture);
        velmo::Mesh* mesh = firstMesh(instance);
        ASSERT_NE(mesh, nullptr);
        EXPECT_TRUE(mesh->data->readBackOption);
        EXPECT_FALSE(mesh->data->normalsLocked);
        EXPECT_TRUE(hasTextureCoordinates(mesh, 1));
    }

    ASSERT_NE(harmoniaScene, nullptr);
    ASSERT_NE(harmoniaCamera, nullptr);
    EXPECT_EQ(harmoniaScene->root->camera, harmoniaCamera);
    EXPECT_EQ(harmoniaCamera->fovY, 1.3f);
    EXPECT_EQ(harmoniaCamera->zNear, 1.0f);
    EXPECT_EQ(harmoniaCamera->zFar, 200.0f);
    for (const D3DXVECTOR4& f :
         {harmoniaScene->ambientScale, harmoniaScene->diffuseScale, harmoniaScene->specularScale}) {
        EXPECT_EQ(f, D3DXVECTOR4(1, 1, 1, 1));
    }
    ASSERT_NE(harmoniaLight, nullptr);
    EXPECT_EQ(harmoniaScene->root->children.back(), harmoniaLight);
    EXPECT_EQ(harmoniaScene->root->lights, std::vector<velmo::NodePointlight*>{harmoniaLight});
    EXPECT_EQ(velmo::getTranslation(harmoniaLight->transform), Vec3(20, 0, -15));
    EXPECT_EQ(harmoniaLight->intensity, 5000.0f);
    EXPECT_EQ(harmoniaLight->power, 0.12f);
    EXPECT_EQ(harmoniaLight->range, 100.0f);
    EXPECT_EQ(harmoniaLight->color, D3DXVECTOR4(1, 1, 1, 1));
}

// The first child of a model is edited only when it is a mesh instance holding a mesh first.
TEST_F(SharedAssets, OnlyAMeshInstanceFirstChildCountsAsTheModelsInstance) {
    velmo::DummyNode root, group;
    velmo::MeshInstance instance, empty;
    velmo::Mesh mesh(0, 0);
    velmo::DummyNode notAMesh;
    instance.addChild(&mesh);
    empty.addChild(&notAMesh);

    EXPECT_EQ(firstMeshInstance(nullptr), nullptr);
    EXPECT_EQ(firstMeshInstance(&root), nullptr); // no children
    root.addChild(&group);
    root.addChild(&instance);
    EXPECT_EQ(firstMeshInstance(&root), nullptr); // the first child is a group
    velmo::DummyNode other;
    other.addChild(&instance);
    EXPECT_EQ(firstMeshInstance(&other), &instance);
    EXPECT_EQ(firstMesh(&instance), &mesh);
    EXPECT_EQ(firstMesh(&empty), nullptr);
    EXPECT_EQ(firstMesh(nullptr), nullptr);
}

// Missing model files leave the models null and the preparation skipped, where an unchecked
// preparation would follow a null root.
TEST_F(SharedAssets, MissingModelsAreLeftUnprepared) {
    ScratchDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    sharedModelLoader = new velmo::MeshLoader;
    loadPiippuMesh();
    loadLoloMesh();
    EXPECT_EQ(piippuModel, nullptr);
    EXPECT_EQ(loloModel, nullptr);
    std::filesystem::current_path(previous);
}

// A model whose first node carries no mesh: its first child is a group, not the instance
// that the preparation edits. The preparation leaves it as loaded instead of treating the
// group as an instance.
TEST_F(SharedAssets, AModelWhoseFirstChildIsNotAMeshInstanceIsLeftAsLoaded) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.path() / "data");
    const std::string model = R"(xof 0303txt 0032
Frame Empty {
 FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0;; }
}
Frame Body {
 FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0;; }
 Mesh {
  4;
  0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;, 0.0;0.0;1.0;;
  4;
  3;0,1,2;, 3;0,3,1;, 3;0,2,3;, 3;1,3,2;;
 }
}
)";
    writeFile(dir.file("data/lolo.x"), model.data(), model.size());
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    sharedModelLoader = new velmo::MeshLoader;
    loadLoloMesh();
    std::filesystem::current_path(previous);

    ASSERT_NE(loloModel, nullptr);
    loloModel->rewindChildren();
    velmo::INode* first = loloModel->nextChild();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(dynamic_cast<velmo::MeshInstance*>(first), nullptr);
    auto* body = dynamic_cast<velmo::MeshInstance*>(loloModel->findByName("Body"));
    ASSERT_NE(body, nullptr);
    EXPECT_NE(body->material.diffuse, D3DXVECTOR4(4, 4, 4, 4));
    EXPECT_EQ(body->material.texture, nullptr);
    ASSERT_NE(firstMesh(body), nullptr);
    EXPECT_FALSE(firstMesh(body)->data->readBackOption);
}

} // namespace
