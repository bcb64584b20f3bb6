// The effect wrapper: an effect from the cache by file name, the parameters a scene shares
// sent by the scene constructor, setters by name that fail quietly on names the effect lacks,
// begin once per wrapper, and the end by the destructor.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/math/matrix.h"
#include "engine/render/shader.h"
#include "engine/resources/effect_cache.h"
#include "engine/resources/render_target.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"
#include "support/engine_fixture.h"
#include "support/expect_math.h"
#include "support/message_boxes.h"

namespace {

constexpr const char* kEffect = "SceneTestEffect.fxo";

// Passes every call on to a real effect and notes the technique and bracket calls.
class RecordingEffect : public ID3DXEffect {
public:
    explicit RecordingEffect(ID3DXEffect* real) : inner(real) {}
    virtual ~RecordingEffect() = default;

    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; } // owned by the test

    HRESULT SetFloat(D3DXHANDLE p, FLOAT v) override { return inner->SetFloat(p, v); }
    HRESULT GetFloat(D3DXHANDLE p, FLOAT* v) override { return inner->GetFloat(p, v); }
    HRESULT SetFloatArray(D3DXHANDLE p, const FLOAT* v, UINT n) override {
        return inner->SetFloatArray(p, v, n);
    }
    HRESULT GetFloatArray(D3DXHANDLE p, FLOAT* v, UINT n) override {
        return inner->GetFloatArray(p, v, n);
    }
    HRESULT SetInt(D3DXHANDLE p, INT v) override { return inner->SetInt(p, v); }
    HRESULT GetInt(D3DXHANDLE p, INT* v) override { return inner->GetInt(p, v); }
    HRESULT SetBool(D3DXHANDLE p, BOOL v) override { return inner->SetBool(p, v); }
    HRESULT GetBool(D3DXHANDLE p, BOOL* v) override { return inner->GetBool(p, v); }
    HRESULT SetVector(D3DXHANDLE p, const D3DXVECTOR4* v) override {
        return inner->SetVector(p, v);
    }
    HRESULT GetVector(D3DXHANDLE p, D3DXVECTOR4* v) override { return inner->GetVector(p, v); }
    HRESULT SetMatrix(D3DXHANDLE p, const D3DXMATRIX* m) override { return inner->SetMatrix(p, m); }
    HRESULT GetMatrix(D3DXHANDLE p, D3DXMATRIX* m) override { return inner->GetMatrix(p, m); }
    HRESULT SetTexture(D3DXHANDLE p, IDirect3DBaseTexture9* t) override {
        return inner->SetTexture(p, t);
    }
    HRESULT GetTexture(D3DXHANDLE p, IDirect3DBaseTexture9** t) override {
        return inner->GetTexture(p, t);
    }

    HRESULT SetTechnique(D3DXHANDLE t) override {
        calls.push_back(std::string("SetTechnique ") + t);
        return inner->SetTechnique(t);
    }
    HRESULT Begin(UINT* passes, DWORD flags) override {
        calls.push_back("Begin " + std::to_string(flags));
        return inner->Begin(passes, flags);
    }
    HRESULT BeginPass(UINT pass) override { return inner->BeginPass(pass); }
    HRESULT CommitChanges() override { return inner->CommitChanges(); }
    HRESULT EndPass() override { return inner->EndPass(); }
    HRESULT End() override {
        calls.push_back("End");
        return inner->End();
    }

    ID3DXEffect* inner;
    std::vector<std::string> calls;
};

// A camera that is not the perspective one.
class FlatCamera : public velmo::TCamera {
public:
    D3DXMATRIX getView() const override { return velmo::makeTranslation(0, 0, 3); }
    D3DXMATRIX getProjection() const override {
        D3DXMATRIX m = velmo::identityMatrix();
        m._11 = 0.5f;
        m._22 = 0.25f;
        return m;
    }
    void getFrustum(float[6][4]) const override {}
    void getObjectFrustum(float[6][4], const D3DXMATRIX&) const override {}
    int getType() const override { return 1; }
};

class ShaderTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        effect = velmo::EffectCache::instance()->get(kEffect);
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override {
        delete scene;
        delete velmo::EffectCache::single;
        velmo::EffectCache::single = nullptr;
        EngineTest::TearDown();
    }

    float getFloat(const char* name) {
        float v = 0.0f;
        EXPECT_EQ(effect->GetFloat(name, &v), D3D_OK) << name;
        return v;
    }
    D3DXMATRIX getMatrix(const char* name) {
        D3DXMATRIX m;
        EXPECT_EQ(effect->GetMatrix(name, &m), D3D_OK) << name;
        return m;
    }
    IDirect3DBaseTexture9* getTexture(const char* name) {
        IDirect3DBaseTexture9* t = nullptr;
        EXPECT_EQ(effect->GetTexture(name, &t), D3D_OK) << name;
        if (t != nullptr) {
            t->Release(); // the target keeps its own reference
        }
        return t;
    }

    ID3DXEffect* effect = nullptr;
    velmo::Scene* scene = nullptr;
    MessageBoxRecorder boxes;
};

TEST_F(ShaderTest, TheSceneConstructorSendsWhatTheSceneAndItsCameraHave) {
    enum class Setup { NoScene, NoCamera, Perspective, OtherCamera };
    struct Case {
        Setup setup;
        bool times, matrices, planes;
    };
    const Case cases[] = {
        {Setup::NoScene, false, false, false},
        {Setup::NoCamera, true, false, false},
        {Setup::Perspective, true, true, true},
        {Setup::OtherCamera, true, true, false},
    };
    velmo::PerspectiveCamera perspective(0.8f, 0.5f, 200.0f);
    perspective.position = velmo::Vec3(1, 2, -5);
    FlatCamera flat;
    scene = new velmo::Scene;
    scene->root->timeStep = 0.25f;
    scene->root->time = 3.5f;
    const D3DXMATRIX zero;
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.setup));
        // Everything back to values no scene sends.
        for (const char* name : {"deltaTime", "time", "z_far", "z_near"}) {
            effect->SetFloat(name, -1.0f);
        }
        for (const char* name : {"viewProjection", "projection", "projectionInv"}) {
            effect->SetMatrix(name, &zero);
        }
        effect->SetTexture("depthTex", nullptr);

        velmo::TCamera* camera = c.setup == Setup::Perspective ? &perspective
                                 : c.setup == Setup::OtherCamera
                                     ? static_cast<velmo::TCamera*>(&flat)
                                     : nullptr;
        scene->root->camera = camera;
        velmo::TShader shader(kEffect, "Shared", c.setup == Setup::NoScene ? nullptr : scene);
        EXPECT_EQ(shader.effect, effect);

        EXPECT_EQ(getFloat("deltaTime"), c.times ? 0.25f : -1.0f);
        EXPECT_EQ(getFloat("time"), c.times ? 3.5f : -1.0f);
        EXPECT_EQ(getTexture("depthTex"), c.times ? scene->floatTarget()->getTexture() : nullptr);
        if (c.matrices) {
            expectMatrixNear(getMatrix("viewProjection"), camera->getViewProjection());
            const D3DXMATRIX projection = getMatrix("projection");
            expectMatrixNear(projection, camera->getProjection());
            expectMatrixNear(velmo::multiplyMatrix(projection, getMatrix("projectionInv")),
                             velmo::identityMatrix(), 1e-5f);
        } else {
            for (const char* name : {"viewProjection", "projection", "projectionInv"}) {
                expectMatrixNear(getMatrix(name), zero);
            }
        }
        EXPECT_EQ(getFloat("z_far"), c.planes ? 200.0f : -1.0f);
        EXPECT_EQ(getFloat("z_near"), c.planes ? 0.5f : -1.0f);
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ShaderTest, BeginSelectsTheTechniqueOnceAndTheDestructorEndsIt) {
    RecordingEffect recorder(effect);
    velmo::EffectCache::instance()->entries.push_back({"Recorded.fxo", &recorder});
    {
        velmo::TShader fill("Recorded.fxo", "Fill");
        EXPECT_EQ(recorder.calls.size(), 0u);
        EXPECT_EQ(fill.begin(), 1u);
        EXPECT_TRUE(fill.begun);
        EXPECT_EQ(fill.begin(), 0u);
        EXPECT_EQ(recorder.calls, (std::vector<std::string>{"SetTechnique Fill", "Begin 0"}));
    }
    EXPECT_EQ(recorder.calls.back(), "End");
    recorder.calls.clear();
    {
        velmo::TShader shared("Recorded.fxo", "Shared");
        EXPECT_EQ(shared.begin(), 2u);
        // The caller ended the effect itself: the destructor ends nothing more.
        shared.effect->End();
        shared.begun = false;
    }
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"SetTechnique Shared", "Begin 0", "End"}));
    // Never begun, never ended.
    recorder.calls.clear();
    { velmo::TShader unused("Recorded.fxo", "Fill"); }
    EXPECT_TRUE(recorder.calls.empty());
    velmo::EffectCache::instance()->entries.pop_back();

    // The wrappers never released the cache's effect.
    EXPECT_EQ(effect->AddRef(), 2u);
    effect->Release();
}

TEST_F(ShaderTest, SettersSendEachValueByName) {
    velmo::TShader shader(kEffect, "Shared");
    shader.setFloat("time", 2.5f);
    EXPECT_EQ(getFloat("time"), 2.5f);

    const float direction[3] = {1.0f, -2.0f, 3.0f};
    shader.setFloat3("direction", direction);
    float back[3] = {};
    EXPECT_EQ(effect->GetFloatArray("direction", back, 3), D3D_OK);
    EXPECT_EQ(std::vector<float>(back, back + 3), std::vector<float>(direction, direction + 3));

    shader.setInt("mode", 3);
    INT mode = 0;
    effect->GetInt("mode", &mode);
    EXPECT_EQ(mode, 3);

    BOOL enabled = TRUE;
    shader.setBool("enabled", false);
    effect->GetBool("enabled", &enabled);
    EXPECT_EQ(enabled, FALSE);
    shader.setBool("enabled", true);
    effect->GetBool("enabled", &enabled);
    EXPECT_EQ(enabled, TRUE);

    D3DXVECTOR4 v;
    shader.setVector("color", D3DXVECTOR4(0.1f, 0.2f, 0.3f, 0.4f));
    effect->GetVector("color", &v);
    EXPECT_EQ(v, D3DXVECTOR4(0.1f, 0.2f, 0.3f, 0.4f));
    shader.setVector3("position", 2.0f, 3.0f, 4.0f);
    effect->GetVector("position", &v);
    EXPECT_EQ(v, D3DXVECTOR4(2.0f, 3.0f, 4.0f, 1.0f));

    const D3DXMATRIX m =
        velmo::multiplyMatrix(velmo::rotationX(0.3f), velmo::makeTranslation(1, 2, 3));
    shader.setMatrix("projection", m);
    expectMatrixNear(getMatrix("projection"), m);

    velmo::RenderTarget* target =
        velmo::Device::instance()->state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    shader.setTexture("depthTex", target);
    EXPECT_EQ(getTexture("depthTex"), target->getTexture());
    shader.setTexture("depthTex", nullptr);
    EXPECT_EQ(getTexture("depthTex"), nullptr);
}

TEST_F(ShaderTest, NamesTheEffectLacksFailQuietly) {
    velmo::TShader shader(kEffect, "Fill");
    shader.setVector("color", D3DXVECTOR4(0.5f, 0.5f, 0.5f, 0.5f));
    const float three[3] = {1, 2, 3};
    const char* unknown = "noSuchParameter";
    shader.setFloat(unknown, 1.0f);
    shader.setFloat3(unknown, three);
    shader.setInt(unknown, 1);
    shader.setBool(unknown, true);
    shader.setVector(unknown, D3DXVECTOR4(1, 1, 1, 1));
    shader.setVector3(unknown, 1, 1, 1);
    shader.setMatrix(unknown, velmo::identityMatrix());
    shader.setTexture(unknown, nullptr);
    // A known name of another kind fails alike.
    shader.setMatrix("color", velmo::identityMatrix());
    D3DXVECTOR4 v;
    effect->GetVector("color", &v);
    EXPECT_EQ(v, D3DXVECTOR4(0.5f, 0.5f, 0.5f, 0.5f));
    // An unknown technique fails the same way; the effect begins with the one it had, the
    // first ("Shared", two passes).
    velmo::TShader other(kEffect, "NoSuchTechnique");
    EXPECT_EQ(other.begin(), 2u);
    EXPECT_TRUE(other.begun);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ShaderTest, AShaderOnAMissingFileDoesNothing) {
    scene = new velmo::Scene;
    velmo::TShader shader("NoSuchEffect.fxo", "Fill", scene);
    EXPECT_EQ(shader.effect, nullptr);
    EXPECT_EQ(boxes.boxes().size(), 1u); // the file cache told the user
    shader.setFloat("time", 1.0f);
    shader.setVector3("position", 1, 2, 3);
    shader.setTexture("depthTex", scene->floatTarget());
    EXPECT_EQ(shader.begin(), 0u);
    EXPECT_FALSE(shader.begun);
}

} // namespace
