// Mesh instances: the walk that draws every mesh below an instance with its own transforms
// under its ancestors', the normals and tangent frames refreshed for lit materials, the
// invisible instance that draws nothing, and a lit cube rendered by a scene into its target
// and its further targets (motion, depth, colour), with back faces culled.
#include <fstream>
#include <string>
#include <vector>

#include <d3dx9.h>
#include <gtest/gtest.h>

#include "engine/math/matrix.h"
#include "engine/mesh/generators.h"
#include "engine/mesh/mesh.h"
#include "engine/render/mesh_instance.h"
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

namespace {

using velmo::Matrix;
using velmo::MatrixStack;
using velmo::MeshInstance;

// A group node that counts how often a walk asks for its transform.
class CountingNode : public velmo::DummyNode {
public:
    D3DXMATRIX getTransform() override {
        ++visits;
        return transform;
    }
    int visits = 0;
};

class MeshInstanceTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        scene = new velmo::Scene;
        camera.position = velmo::Vec3(0, 0, -5);
        camera.target = velmo::Vec3(0, 0, 0);
        scene->root->camera = &camera;
        MatrixStack::instance()->scene = scene;
        velmo::preloadFile("SolidObject.fxo");
        effect = velmo::EffectCache::instance()->get("SolidObject.fxo");
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override {
        delete scene;
        delete velmo::EffectCache::single;
        velmo::EffectCache::single = nullptr;
        EngineTest::TearDown();
    }

    static velmo::Mesh* cube(bool open = false) {
        velmo::Mesh* mesh = velmo::Device::instance()->state->createMesh();
        velmo::meshgen::Cube(velmo::Vec3(1, 1, 1)).generate(mesh);
        if (open) {
            velmo::FaceList* faces = nullptr;
            mesh->editGeometry(nullptr, nullptr, &faces);
            delete (*faces)[3]; // the z = -1 side, the one that faces the camera
            faces->erase(faces->begin() + 3);
        }
        return mesh;
    }

    // A target's pixels read back.
    std::vector<unsigned char> pixels(velmo::RenderTarget* target) {
        IDirect3DSurface9* surface = nullptr;
        target->getTexture()->GetSurfaceLevel(0, &surface);
        std::vector<unsigned char> out = readBack(surface);
        surface->Release();
        return out;
    }
    DWORD pixel(velmo::RenderTarget* target, UINT x, UINT y) {
        return argbAt(pixels(target), target->getWidth(), x, y);
    }
    DWORD centre(velmo::RenderTarget* target) {
        return pixel(target, target->getWidth() / 2, target->getHeight() / 2);
    }

    velmo::Scene* scene = nullptr;
    velmo::PerspectiveCamera camera{0.8f, 0.5f, 100.0f};
    ID3DXEffect* effect = nullptr;
};

TEST_F(MeshInstanceTest, BoundsAreAlwaysTheEmptyBox) {
    MeshInstance instance(cube());
    const float* bounds = instance.getBounds();
    EXPECT_EQ(bounds, instance.bounds);
    const float expected[6] = {10000, 10000, 10000, -10000, -10000, -10000};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(bounds[i], expected[i]) << i;
    }
}

TEST_F(MeshInstanceTest, AnInvisibleInstanceVisitsNothingUntilShownAgain) {
    CountingNode group;
    MeshInstance instance(&group);
    instance.material.ambient = D3DXVECTOR4(0.5f, 0.5f, 0.5f, 1.0f);
    const D3DXVECTOR4 stale(-7, -7, -7, -7);
    effect->SetVector("material.ambient", &stale);
    const Matrix identity = velmo::identityMatrix();

    instance.visible = false;
    instance.render(&identity);
    EXPECT_EQ(group.visits, 0);
    D3DXVECTOR4 sent;
    effect->GetVector("material.ambient", &sent);
    EXPECT_EQ(sent, stale);

    instance.visible = true;
    instance.render(&identity);
    EXPECT_EQ(group.visits, 1);
    effect->GetVector("material.ambient", &sent);
    EXPECT_EQ(sent, instance.material.ambient);
}

TEST_F(MeshInstanceTest, InASceneWithoutACameraNothingIsDrawn) {
    velmo::Mesh* mesh = cube();
    MeshInstance instance(mesh);
    scene->root->camera = nullptr;
    scene->root->addChild(&instance);
    scene->render(0.0f);
    EXPECT_EQ(mesh->data->syncState, velmo::MeshData::kCpuCurrent); // never uploaded
    EXPECT_EQ(MatrixStack::instance()->shader, nullptr);
    EXPECT_EQ(pixel(scene->getRenderTarget(), 320, 180), 0x00000000u);

    // With the camera back the next frame draws.
    scene->root->camera = &camera;
    scene->render(1.0f);
    EXPECT_EQ(mesh->data->syncState, velmo::MeshData::kBothCurrent);
    EXPECT_NE(pixel(scene->getRenderTarget(), 320, 180), 0x00000000u);
}

TEST_F(MeshInstanceTest, AnInstanceWithoutChildrenStillBeginsAndEndsItsShader) {
    MeshInstance instance;
    instance.material.specularPower = 33.0f;
    const Matrix identity = velmo::identityMatrix();
    instance.render(&identity);
    float power = 0.0f;
    effect->GetFloat("material.specularPower", &power);
    EXPECT_EQ(power, 33.0f);
    EXPECT_EQ(MatrixStack::instance()->shader, nullptr);
    EXPECT_TRUE(MatrixStack::instance()->matrices.empty());
    for (DWORD i = 1; i < 4; ++i) {
        IDirect3DSurface9* bound = nullptr;
        device->GetRenderTarget(i, &bound);
        EXPECT_EQ(bound, nullptr) << i;
    }
}

TEST_F(MeshInstanceTest, AMeshTwoLevelsDownIsDrawnUnderAllItsAncestors) {
    velmo::Mesh* mesh = cube();
    mesh->INode::transform = velmo::makeTranslation(0, 0, 2);
    velmo::DummyNode group;
    group.transform = velmo::rotationY(0.5f);
    group.addChild(mesh);
    MeshInstance instance(&group);
    instance.transform = velmo::makeTranslation(1, 0, 0);
    const Matrix parentWorld = velmo::rotationX(0.25f);
    instance.render(&parentWorld);

    const Matrix expected = velmo::multiplyMatrix(
        velmo::multiplyMatrix(velmo::multiplyMatrix(mesh->INode::transform, group.transform),
                              instance.transform),
        parentWorld);
    Matrix world = {};
    effect->GetMatrix("world", &world);
    expectMatrixNear(world, expected, 1e-5f);
    EXPECT_TRUE(MatrixStack::instance()->matrices.empty());
}

TEST_F(MeshInstanceTest, LitMaterialsRefreshNormalsAndNormalMapsTangentFrames) {
    struct Case {
        bool lit, normalMap, normals, tangents;
    };
    const Case cases[] = {
        {false, false, false, false},
        {false, true, false, false},
        {true, false, true, false},
        {true, true, true, true},
    };
    velmo::Texture bumps;
    const Matrix identity = velmo::identityMatrix();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "lit " << c.lit << " normal map " << c.normalMap);
        velmo::Mesh* mesh = cube();
        MeshInstance instance(mesh);
        instance.material.lit = c.lit;
        instance.material.normalMap = c.normalMap ? &bumps : nullptr;
        instance.render(&identity);
        EXPECT_EQ(mesh->data->geometry->vertexNormalsValid, c.normals);
        EXPECT_EQ(mesh->data->geometry->tangentFramesValid, c.tangents);
        EXPECT_EQ(mesh->data->syncState, velmo::MeshData::kBothCurrent);
    }
}

class MeshInstancePicture : public MeshInstanceTest {
protected:
    // Renders one instance of a unit cube, turned so that three sides show, lit from the
    // camera's upper left, and returns the scene's target.
    velmo::RenderTarget* render(MeshInstance& instance, float t = 0.0f) {
        scene->directionalLightEnabled = true;
        scene->directionalLightDir = D3DXVECTOR3(0.4f, -0.6f, 1.0f);
        instance.material.ambient = D3DXVECTOR4(0.1f, 0.1f, 0.1f, 1.0f);
        instance.material.diffuse = D3DXVECTOR4(1.0f, 0.6f, 0.2f, 1.0f);
        instance.material.specular = D3DXVECTOR4(0.3f, 0.3f, 0.3f, 1.0f);
        if (scene->root->children.empty()) {
            scene->root->addChild(&instance);
        }
        scene->render(t);
        return scene->getRenderTarget();
    }

    void save(velmo::RenderTarget* target, const char* name) {
        const std::vector<unsigned char> argb = pixels(target);
        std::vector<unsigned char> rgba(argb.size());
        for (size_t i = 0; i + 3 < argb.size(); i += 4) { // B, G, R, A in memory
            rgba[i] = argb[i + 2];
            rgba[i + 1] = argb[i + 1];
            rgba[i + 2] = argb[i];
            rgba[i + 3] = 255;
        }
        const std::vector<unsigned char> png =
            encodeImage(false, int(target->getWidth()), int(target->getHeight()), 4, rgba);
        std::ofstream(name, std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    }

    static int red(DWORD c) { return int((c >> 16) & 0xff); }
    static int green(DWORD c) { return int((c >> 8) & 0xff); }
    static int blue(DWORD c) { return int(c & 0xff); }
};

TEST_F(MeshInstancePicture, ALitCubeAppearsWhereTheCameraPutsItAndWritesTheFurtherTargets) {
    MeshInstance instance(cube());
    instance.transform = velmo::multiplyMatrix(velmo::rotationY(0.6f), velmo::rotationX(-0.5f));
    velmo::RenderTarget* target = render(instance);
    save(target, "mesh_instance_cube.png");
    const UINT w = target->getWidth(), h = target->getHeight();

    // Orange in the middle, lit and opaque; transparent black around it.
    const DWORD middle = centre(target);
    EXPECT_EQ(middle >> 24, 0xffu);
    EXPECT_GT(red(middle), 60);
    EXPECT_GT(red(middle), green(middle));
    EXPECT_GT(green(middle), blue(middle));
    EXPECT_EQ(pixel(target, 4, 4), 0x00000000u);
    EXPECT_EQ(pixel(target, w - 4, h / 2), 0x00000000u);
    // The cube spans about half the picture's height: nothing a third above the centre.
    EXPECT_EQ(pixel(target, w / 2, h / 2 - h / 3), 0x00000000u);

    // Colour target: the same lit colour; untouched pixels keep the scene's mid grey.
    const DWORD colour = centre(scene->colorTarget());
    EXPECT_EQ(colour, middle);
    EXPECT_EQ(pixel(scene->colorTarget(), 4, 4), 0xff808080u);

    // Depth target: the nearest corner lies about 3.3 in front of the eye, between the planes.
    velmo::RenderTarget* depth = scene->floatTarget();
    const float near = floatAt(pixels(depth), w, w / 2, h / 2);
    EXPECT_GT(near, (3.0f - 0.5f) / 99.5f);
    EXPECT_LT(near, (5.0f - 0.5f) / 99.5f);

    // Motion target: nothing moved between two transform passes, so the middle says "still".
    scene->root->blurMapTarget =
        velmo::Device::instance()->state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    render(instance, 1.0f);
    const DWORD still = centre(scene->extraTarget());
    EXPECT_NEAR(red(still), 128, 1);
    EXPECT_NEAR(green(still), 128, 1);
    // Moving the cube to the right shows as motion to the right, upwards unchanged.
    instance.transform._41 += 0.5f;
    render(instance, 2.0f);
    const DWORD moving = centre(scene->extraTarget());
    EXPECT_GT(red(moving), 140);
    EXPECT_NEAR(green(moving), 128, 1);
}

TEST_F(MeshInstancePicture, BackFacesAreCulledEvenUnderAMirroringTransform) {
    struct Case {
        const char* name;
        float scaleX;
    };
    for (const Case& c : {Case{"plain", 1.0f}, Case{"mirrored", -1.0f}}) {
        SCOPED_TRACE(c.name);
        // Through the open side one would see only the inside of the far sides, which face
        // away from the camera: nothing shows in the middle.
        MeshInstance open(cube(true));
        open.transform._11 = c.scaleX;
        velmo::RenderTarget* target = render(open);
        EXPECT_EQ(centre(target), 0x00000000u);
        scene->root->removeChild(&open);

        MeshInstance closed(cube());
        closed.transform._11 = c.scaleX;
        target = render(closed, 1.0f);
        EXPECT_NE(centre(target), 0x00000000u);
        scene->root->removeChild(&closed);
        scene->lastRenderTime = -1.0f;
    }
}

} // namespace
