// Binding a mesh instance's material for a draw: the parameters the solid-object effect
// receives (colours scaled by the scene's factors, lights, textures, blending, transforms and
// the motion matrix), read back from the cached effect; the render states each draw sets; and
// the scene's further targets bound as render targets 1 to 3 only between begin and end.
#include <memory>
#include <string>
#include <vector>

#include <d3dx9.h>
#include <gtest/gtest.h>

#include "engine/math/matrix.h"
#include "engine/mesh/generators.h"
#include "engine/mesh/mesh.h"
#include "engine/render/mesh_instance.h"
#include "engine/render/shader.h"
#include "engine/render/shader_binding.h"
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

namespace {

using velmo::Matrix;
using velmo::MatrixStack;
using velmo::MeshInstance;
using velmo::NodePointlight;
using velmo::SceneRoot;

class ShaderBinding : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        scene = new velmo::Scene;
        camera.position = velmo::Vec3(0, 0, -6);
        camera.target = velmo::Vec3(0, 0, 0);
        scene->root->camera = &camera;
        mesh = velmo::Device::instance()->state->createMesh();
        velmo::meshgen::Cube(velmo::Vec3(1, 1, 1)).generate(mesh);
        instance.addChild(mesh);
        scene->root->addChild(&instance);
    }
    void TearDown() override {
        delete scene;
        delete velmo::EffectCache::single;
        velmo::EffectCache::single = nullptr;
        EngineTest::TearDown();
    }

    // The solid-object effect as the cache holds it: every draw with it leaves its
    // parameters there.
    ID3DXEffect* effect() {
        velmo::preloadFile("SolidObject.fxo");
        ID3DXEffect* e = velmo::EffectCache::instance()->get("SolidObject.fxo");
        EXPECT_NE(e, nullptr);
        return e;
    }
    D3DXVECTOR4 vector(const char* name) {
        D3DXVECTOR4 v(-9, -9, -9, -9);
        EXPECT_EQ(effect()->GetVector(name, &v), D3D_OK) << name;
        return v;
    }
    float number(const char* name) {
        float f = -9.0f;
        EXPECT_EQ(effect()->GetFloat(name, &f), D3D_OK) << name;
        return f;
    }
    int integer(const char* name) {
        INT i = -9;
        EXPECT_EQ(effect()->GetInt(name, &i), D3D_OK) << name;
        return i;
    }
    bool flag(const char* name) {
        BOOL b = 7;
        EXPECT_EQ(effect()->GetBool(name, &b), D3D_OK) << name;
        return b != FALSE;
    }
    Matrix matrix(const char* name) {
        Matrix m = {};
        EXPECT_EQ(effect()->GetMatrix(name, &m), D3D_OK) << name;
        return m;
    }
    DWORD state(D3DRENDERSTATETYPE s) {
        DWORD v = 0xdeadbeef;
        EXPECT_EQ(device->GetRenderState(s, &v), D3D_OK);
        return v;
    }

    velmo::Scene* scene = nullptr;
    velmo::PerspectiveCamera camera{0.8f, 0.5f, 100.0f};
    velmo::Mesh* mesh = nullptr;
    MeshInstance instance;
};

TEST_F(ShaderBinding, DefaultMaterialInADefaultSceneDrawsOpaqueWithDepth) {
    // States a previous draw left, to see that this draw sets its own.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    scene->render(0.0f);

    EXPECT_EQ(vector("material.ambient"), D3DXVECTOR4(0.1f, 0.1f, 0.1f, 1.0f));
    EXPECT_EQ(vector("material.diffuse"), D3DXVECTOR4(0.2f, 0.2f, 0.2f, 1.0f));
    EXPECT_EQ(vector("material.specular"), D3DXVECTOR4(1.0f, 1.0f, 1.0f, 1.0f));
    EXPECT_EQ(number("material.specularPower"), 5.0f);
    EXPECT_FALSE(flag("material.lightBleedEnabled"));
    EXPECT_EQ(number("material.limitIllumination"), 0.0f);
    EXPECT_EQ(number("material.bumpiness"), 1.0f);
    EXPECT_EQ(vector("environmentAmbient"), D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f));
    EXPECT_FALSE(flag("enableNormalmap"));
    EXPECT_EQ(integer("blendMode"), 0);
    EXPECT_EQ(number("blendFactor"), 1.0f);
    EXPECT_FALSE(flag("enableDirectionallight"));
    EXPECT_EQ(integer("pointLightAmount"), 0);
    EXPECT_EQ(number("time"), 0.0f);
    EXPECT_EQ(number("z_near"), 0.5f);
    EXPECT_EQ(number("z_far"), 100.0f);

    EXPECT_EQ(state(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
    EXPECT_EQ(state(D3DRS_ZENABLE), DWORD(D3DZB_TRUE));
    EXPECT_EQ(state(D3DRS_ZWRITEENABLE), DWORD(TRUE));
    EXPECT_EQ(state(D3DRS_CULLMODE), DWORD(D3DCULL_CCW));
    // Everything bound for the draw is let go again.
    EXPECT_EQ(MatrixStack::instance()->shader, nullptr);
    EXPECT_TRUE(MatrixStack::instance()->matrices.empty());
}

TEST_F(ShaderBinding, MaterialColoursAreScaledByTheScenesFactors) {
    instance.material.ambient = D3DXVECTOR4(1, 2, 3, 4);
    instance.material.diffuse = D3DXVECTOR4(0.5f, 0.5f, 0.5f, 0.5f);
    instance.material.specular = D3DXVECTOR4(2, 0, 1, 1);
    instance.material.specularPower = 12.0f;
    instance.material.limitIllumination = 0.75f;
    instance.material.bumpiness = 3.0f;
    instance.material.blendFactor = 0.25f;
    scene->ambientScale = D3DXVECTOR4(2, 0.5f, 0, 1);
    scene->diffuseScale = D3DXVECTOR4(4, 2, 1, 0);
    scene->specularScale = D3DXVECTOR4(0.5f, 1, 3, 2);
    scene->render(0.0f);

    EXPECT_EQ(vector("material.ambient"), D3DXVECTOR4(2, 1, 0, 4));
    EXPECT_EQ(vector("material.diffuse"), D3DXVECTOR4(2, 1, 0.5f, 0));
    EXPECT_EQ(vector("material.specular"), D3DXVECTOR4(1, 0, 3, 2));
    EXPECT_EQ(number("material.specularPower"), 12.0f);
    EXPECT_EQ(number("material.limitIllumination"), 0.75f);
    EXPECT_EQ(number("material.bumpiness"), 3.0f);
    EXPECT_EQ(number("blendFactor"), 0.25f);
    // The material itself keeps its own colours.
    EXPECT_EQ(instance.material.ambient, D3DXVECTOR4(1, 2, 3, 4));
}

TEST_F(ShaderBinding, DirectionalLightNeedsTheScenesSwitchAndALitReceivingMaterial) {
    struct Case {
        bool sceneEnabled, lit, receives, expected;
    };
    const Case cases[] = {
        {true, true, true, true},   {false, true, true, false},  {true, false, true, false},
        {true, true, false, false}, {true, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "scene " << c.sceneEnabled << " lit " << c.lit
                                        << " receives " << c.receives);
        // Values the directional light's parameters hold unless this draw sends them.
        float dir[3] = {-7, -7, -7};
        effect()->SetFloatArray("directionallight.dir", dir, 3);
        const D3DXVECTOR4 stale(-7, -7, -7, -7);
        effect()->SetVector("directionallight.color", &stale);

        scene->directionalLightEnabled = c.sceneEnabled;
        scene->directionalLightDir = D3DXVECTOR3(0, -1, 2);
        scene->directionalLightColor = D3DXVECTOR4(1, 0.5f, 0.25f, 1);
        scene->directionalLightIntensity = 2.0f;
        instance.material.lit = c.lit;
        instance.material.receivesDirectionalLight = c.receives;
        scene->forceRender(0.0f);

        EXPECT_EQ(flag("enableDirectionallight"), c.expected);
        float sent[3] = {};
        effect()->GetFloatArray("directionallight.dir", sent, 3);
        if (c.expected) {
            EXPECT_EQ(sent[0], 0.0f);
            EXPECT_EQ(sent[1], -1.0f);
            EXPECT_EQ(sent[2], 2.0f);
            EXPECT_EQ(vector("directionallight.color"), D3DXVECTOR4(2, 1, 0.5f, 2));
        } else {
            EXPECT_EQ(sent[0], -7.0f);
            EXPECT_EQ(vector("directionallight.color"), stale);
        }
    }
}

TEST_F(ShaderBinding, PointLightsAreSentInGatheringOrderWithTheirWorldPositions) {
    // The second light hangs below a moved group, so its position is the product of both.
    NodePointlight first(1, 2, 3, 2.0f, 1.5f, 50.0f, 1, 0.5f, 0.25f, 1);
    velmo::DummyNode group;
    group.transform = velmo::makeTranslation(10, 0, 0);
    NodePointlight second(0, 5, 0, 4.0f, 2.0f, 50.0f, 0.5f, 0.5f, 0.5f, 0.5f);
    group.addChild(&second);
    scene->root->addChild(&first);
    scene->root->addChild(&group);
    scene->render(0.0f);

    EXPECT_EQ(integer("pointLightAmount"), 2);
    EXPECT_EQ(vector("pointLight[0].position"), D3DXVECTOR4(1, 2, 3, 1));
    EXPECT_EQ(vector("pointLight[0].color"), D3DXVECTOR4(2, 1, 0.5f, 2));
    EXPECT_EQ(number("pointLight[0].power"), 1.5f);
    EXPECT_EQ(number("pointLight[0].intensity"), 2.0f);
    EXPECT_EQ(vector("pointLight[1].position"), D3DXVECTOR4(10, 5, 0, 1));
    EXPECT_EQ(vector("pointLight[1].color"), D3DXVECTOR4(2, 2, 2, 2));
    EXPECT_EQ(number("pointLight[1].power"), 2.0f);
    EXPECT_EQ(number("pointLight[1].intensity"), 4.0f);
}

TEST_F(ShaderBinding, AnUnlitMaterialGetsNoLightsAndMoreThanTenLightsAreCut) {
    std::vector<std::unique_ptr<NodePointlight>> lights;
    for (int i = 0; i < 12; ++i) {
        lights.push_back(std::make_unique<NodePointlight>(float(i), 0.0f, 0.0f, 1.0f, 1.0f, 10.0f,
                                                          1.0f, 1.0f, 1.0f, 1.0f));
        scene->root->addChild(lights.back().get());
    }
    const D3DXVECTOR4 stale(-7, -7, -7, -7);
    effect()->SetVector("pointLight[0].position", &stale);
    instance.material.lit = false;
    scene->directionalLightEnabled = true;
    scene->render(0.0f);
    EXPECT_EQ(integer("pointLightAmount"), 0);
    EXPECT_EQ(vector("pointLight[0].position"), stale);
    EXPECT_FALSE(flag("enableDirectionallight"));

    // Lit: the array holds ten; the count never names an entry beyond it.
    instance.material.lit = true;
    scene->render(1.0f);
    EXPECT_EQ(integer("pointLightAmount"), velmo::kMaxPointLights);
    EXPECT_EQ(vector("pointLight[0].position"), D3DXVECTOR4(0, 0, 0, 1));
    EXPECT_EQ(vector("pointLight[9].position"), D3DXVECTOR4(9, 0, 0, 1));
}

TEST_F(ShaderBinding, BlendModesSetTheirBlendStatesAndAlwaysDepth) {
    struct Case {
        int mode;
        DWORD enable, src, dest;
    };
    // Opaque leaves source and destination blend as they were (here: ZERO).
    const Case cases[] = {
        {1, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_ONE},
        {2, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
        {0, FALSE, D3DBLEND_ZERO, D3DBLEND_ZERO},
        {5, FALSE, D3DBLEND_ZERO, D3DBLEND_ZERO},
    };
    float t = 0.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_MAX);
        device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        instance.material.blendMode = c.mode;
        scene->render(t += 1.0f);
        EXPECT_EQ(integer("blendMode"), c.mode);
        EXPECT_EQ(state(D3DRS_ALPHABLENDENABLE), c.enable);
        EXPECT_EQ(state(D3DRS_SRCBLEND), c.src);
        EXPECT_EQ(state(D3DRS_DESTBLEND), c.dest);
        EXPECT_EQ(state(D3DRS_BLENDOP), c.enable ? DWORD(D3DBLENDOP_ADD) : DWORD(D3DBLENDOP_MAX));
        EXPECT_EQ(state(D3DRS_ZENABLE), DWORD(D3DZB_TRUE));
        EXPECT_EQ(state(D3DRS_ZWRITEENABLE), DWORD(TRUE));
    }
}

TEST_F(ShaderBinding, LightBleedIsSentOnlyWhenSet) {
    effect()->SetFloat("material.lightBleed", 0.7f);
    scene->render(0.0f);
    EXPECT_EQ(number("material.lightBleed"), 0.7f);
    EXPECT_FALSE(flag("material.lightBleedEnabled"));

    instance.material.lightBleed = 0.3f;
    scene->render(1.0f);
    EXPECT_EQ(number("material.lightBleed"), 0.3f);
    EXPECT_TRUE(flag("material.lightBleedEnabled"));
}

TEST_F(ShaderBinding, TexturesAreSentAndANullTextureClearsTheParameter) {
    velmo::preloadFile("loading.jpg");
    velmo::Texture* picture = velmo::Device::loadTexture("loading.jpg");
    ASSERT_TRUE(picture->isLoaded());
    IDirect3DBaseTexture9* sent = nullptr;

    effect()->SetTexture("tex", picture->getTexture());
    scene->render(0.0f);
    EXPECT_EQ(effect()->GetTexture("tex", &sent), D3D_OK);
    EXPECT_EQ(sent, nullptr);

    instance.material.texture = picture;
    instance.material.normalMap = picture;
    scene->render(1.0f);
    // The getter hands out a reference of its own.
    for (const char* name : {"tex", "normalmap"}) {
        EXPECT_EQ(effect()->GetTexture(name, &sent), D3D_OK);
        EXPECT_EQ(sent, picture->getTexture()) << name;
        if (sent != nullptr) {
            sent->Release();
        }
    }
    EXPECT_TRUE(flag("enableNormalmap"));
}

TEST_F(ShaderBinding, FurtherTargetsAreBoundOnlyBetweenBeginAndEnd) {
    // Float and colour targets that no later stage reads are not bound.
    struct Case {
        bool blurMap;
        bool floatRead;
        bool colorRead;
    };
    for (const Case c : {Case{false, true, true}, Case{false, false, false}, Case{true, true, true},
                         Case{true, true, false}, Case{true, false, true}}) {
        SCOPED_TRACE(testing::Message() << c.blurMap << c.floatRead << c.colorRead);
        scene->root->floatTargetRead = c.floatRead;
        scene->root->colorTargetRead = c.colorRead;
        if (c.blurMap && scene->root->blurMapTarget == nullptr) {
            scene->root->blurMapTarget =
                velmo::Device::instance()->state->acquireRenderTarget(D3DFMT_A8R8G8B8);
            scene->velocityScale = 3.5f;
        }
        effect()->SetFloat("velocityScale", -2.0f);
        MatrixStack* stack = MatrixStack::instance();
        stack->scene = scene;
        scene->root->gatherLights();

        velmo::beginMaterialShader(&instance, stack);
        ASSERT_NE(stack->shader, nullptr);
        EXPECT_EQ(stack->shader->technique, "SolidObject");
        EXPECT_TRUE(stack->shader->begun);
        const velmo::RenderTarget* expected[4] = {nullptr, scene->extraTarget(),
                                                  c.floatRead ? scene->floatTarget() : nullptr,
                                                  c.colorRead ? scene->colorTarget() : nullptr};
        for (DWORD i = 1; i < 4; ++i) {
            IDirect3DSurface9* bound = nullptr;
            device->GetRenderTarget(i, &bound);
            if (expected[i] == nullptr) {
                EXPECT_EQ(bound, nullptr) << i;
                continue;
            }
            IDirect3DSurface9* own = nullptr;
            const_cast<velmo::RenderTarget*>(expected[i])->getTexture()->GetSurfaceLevel(0, &own);
            EXPECT_EQ(bound, own) << i;
            own->Release();
            if (bound != nullptr) {
                bound->Release();
            }
        }
        EXPECT_EQ(number("velocityScale"), c.blurMap ? 3.5f : -2.0f);

        velmo::endMaterialShader(stack);
        EXPECT_EQ(stack->shader, nullptr);
        for (DWORD i = 1; i < 4; ++i) {
            IDirect3DSurface9* bound = nullptr;
            device->GetRenderTarget(i, &bound);
            EXPECT_EQ(bound, nullptr) << i;
            if (bound != nullptr) {
                bound->Release();
            }
        }
    }
}

TEST_F(ShaderBinding, TransformsFollowTheStackAndMirroringKeepsFrontFaces) {
    struct Case {
        Matrix local;
        DWORD cull;
    };
    Matrix mirror = velmo::identityMatrix();
    mirror._11 = -1.0f;
    Matrix flat = velmo::identityMatrix();
    flat._22 = 0.0f;
    const Case cases[] = {
        {velmo::makeTranslation(1, 2, 3), D3DCULL_CCW},
        {mirror, D3DCULL_CW},
        {flat, D3DCULL_CCW}, // no volume: determinant 0
    };
    MatrixStack* stack = MatrixStack::instance();
    stack->scene = scene;
    for (const Case& c : cases) {
        instance.transform = c.local;
        stack->shader = new velmo::TShader("SolidObject.fxo", "SolidObject", scene);
        const Matrix parent = velmo::makeTranslation(0, -1, 0);
        stack->push(parent);
        velmo::setShaderTransforms(&instance, stack);
        stack->pop();
        delete stack->shader;
        stack->shader = nullptr;

        const Matrix world = velmo::multiplyMatrix(c.local, parent);
        const Matrix wvp = velmo::multiplyMatrix(world, camera.getViewProjection());
        expectMatrixNear(matrix("world"), world);
        expectMatrixNear(matrix("worldViewProjection"), wvp);
        expectMatrixNear(matrix("worldView"), velmo::multiplyMatrix(world, camera.getView()));
        expectMatrixNear(matrix("viewProjection"), camera.getViewProjection());
        if (c.local._22 != 0.0f) {
            expectMatrixNear(velmo::multiplyMatrix(matrix("worldInv"), world),
                             velmo::identityMatrix(), 1e-4f);
            expectMatrixNear(velmo::multiplyMatrix(matrix("worldViewProjInv"), wvp),
                             velmo::identityMatrix(), 1e-4f);
        }
        EXPECT_EQ(state(D3DRS_CULLMODE), c.cull);
    }
}

TEST_F(ShaderBinding, MotionMatrixIsTheChangeOfTheDrawnPathOverTheLastTransformPass) {
    const uint32_t path = SceneRoot::pathHash(&instance, SceneRoot::pathHash(scene->root, 0));
    // First pass: the path's matrix against the identity it starts from.
    scene->render(0.0f);
    const Matrix first = scene->root->pathMatrices.at(path).current;
    expectMatrixNear(matrix("velocityTransform"),
                     velmo::subtractMatrix(first, velmo::identityMatrix()));

    instance.transform = velmo::makeTranslation(0.5f, 0, 0);
    scene->render(1.0f);
    const Matrix second = scene->root->pathMatrices.at(path).current;
    expectMatrixNear(matrix("velocityTransform"), velmo::subtractMatrix(second, first));

    // A render too close in time keeps the matrices, so the difference repeats.
    scene->forceRender(1.005f);
    expectMatrixNear(matrix("velocityTransform"), velmo::subtractMatrix(second, first));
}

} // namespace
