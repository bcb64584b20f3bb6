// Effects against the port's test effect: parameters by name, their values and defaults,
// techniques, passes and the device states a pass changes.
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <d3dx9.h>
#include <gtest/gtest.h>

#include "support/engine_fixture.h"

namespace {

std::string fileText(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Effect : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        const std::string bytes = fileText("data/TestEffect.fxo");
        ASSERT_FALSE(bytes.empty());
        ASSERT_EQ(D3DXCreateEffect(device, bytes.data(), UINT(bytes.size()), nullptr, nullptr, 0,
                                   nullptr, &effect, nullptr),
                  D3D_OK);
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override {
        if (effect != nullptr) {
            EXPECT_EQ(effect->Release(), 0u);
        }
        EngineTest::TearDown();
    }

    IDirect3DTexture9* makeTexture() {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(
            device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
            D3D_OK);
        return texture;
    }

    D3DXVECTOR4 vector(const char* name) {
        D3DXVECTOR4 v(-9, -9, -9, -9);
        EXPECT_EQ(effect->GetVector(name, &v), D3D_OK) << name;
        return v;
    }
    float number(const char* name) {
        float f = -9;
        EXPECT_EQ(effect->GetFloat(name, &f), D3D_OK) << name;
        return f;
    }
    DWORD renderState(D3DRENDERSTATETYPE state) {
        DWORD value = 0;
        device->GetRenderState(state, &value);
        return value;
    }
    DWORD samplerState(D3DSAMPLERSTATETYPE state) {
        DWORD value = 0;
        device->GetSamplerState(0, state, &value);
        return value;
    }

    ID3DXEffect* effect = nullptr;
};

TEST_F(Effect, DefaultsComeFromTheGlslInitialisersAndUninitialisedValuesAreZero) {
    EXPECT_EQ(number("alpha"), 0.5f);
    INT mode = 0;
    EXPECT_EQ(effect->GetInt("mode", &mode), D3D_OK);
    EXPECT_EQ(mode, 1);
    BOOL enabled = FALSE;
    EXPECT_EQ(effect->GetBool("enabled", &enabled), D3D_OK);
    EXPECT_EQ(enabled, TRUE);
    EXPECT_EQ(vector("tint"), D3DXVECTOR4(1, 1, 1, 0));
    EXPECT_EQ(vector("color"), D3DXVECTOR4(1, 0, 1, 1));
    EXPECT_EQ(vector("material.ambient"), D3DXVECTOR4(0, 0, 0, 0));
    IDirect3DBaseTexture9* texture = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    EXPECT_EQ(effect->GetTexture("tex", &texture), D3D_OK);
    EXPECT_EQ(texture, nullptr);
}

TEST_F(Effect, EveryKindOfValueIsStoredAndReadBackByItsFullName) {
    EXPECT_EQ(effect->SetFloat("alpha", 0.25f), D3D_OK);
    EXPECT_EQ(number("alpha"), 0.25f);

    const float weights[3] = {1, 2, 3};
    EXPECT_EQ(effect->SetFloatArray("weights", weights, 3), D3D_OK);
    EXPECT_EQ(effect->SetFloat("weights[1]", 7), D3D_OK); // one element by its own name
    float read[3] = {};
    EXPECT_EQ(effect->GetFloatArray("weights", read, 3), D3D_OK);
    EXPECT_EQ(std::vector<float>(read, read + 3), (std::vector<float>{1, 7, 3}));
    EXPECT_EQ(number("weights[2]"), 3.0f);

    EXPECT_EQ(effect->SetInt("mode", 4), D3D_OK);
    INT mode = 0;
    effect->GetInt("mode", &mode);
    EXPECT_EQ(mode, 4);
    EXPECT_EQ(effect->SetBool("enabled", FALSE), D3D_OK);
    BOOL enabled = TRUE;
    effect->GetBool("enabled", &enabled);
    EXPECT_EQ(enabled, FALSE);

    // Vectors write as many components as the parameter has.
    const D3DXVECTOR4 v(0.1f, 0.2f, 0.3f, 0.4f);
    for (const char* name : {"material.ambient", "pointLight[1].color", "color"}) {
        EXPECT_EQ(effect->SetVector(name, &v), D3D_OK) << name;
        EXPECT_EQ(vector(name), v) << name;
    }
    EXPECT_EQ(effect->SetVector("pointLight[0].position", &v), D3D_OK);
    EXPECT_EQ(vector("pointLight[0].position"), D3DXVECTOR4(0.1f, 0.2f, 0.3f, 0));
    EXPECT_EQ(effect->SetVector("offset", &v), D3D_OK);
    EXPECT_EQ(vector("offset"), D3DXVECTOR4(0.1f, 0.2f, 0, 0));
    EXPECT_EQ(effect->SetVector("material.power", &v), D3D_OK);
    EXPECT_EQ(number("material.power"), 0.1f);

    D3DXMATRIX m;
    for (int i = 0; i < 16; ++i) {
        m.m[i / 4][i % 4] = float(i + 1);
    }
    EXPECT_EQ(effect->SetMatrix("worldViewProjection", &m), D3D_OK);
    D3DXMATRIX back;
    EXPECT_EQ(effect->GetMatrix("worldViewProjection", &back), D3D_OK);
    EXPECT_EQ(std::memcmp(back.m, m.m, sizeof m.m), 0);
}

TEST_F(Effect, NumbersConvertBetweenFloatIntAndBool) {
    INT i = 0;
    EXPECT_EQ(effect->SetFloat("mode", 2.6f), D3D_OK);
    effect->GetInt("mode", &i);
    EXPECT_EQ(i, 3);
    EXPECT_EQ(number("mode"), 3.0f);

    BOOL b = TRUE;
    EXPECT_EQ(effect->SetFloat("enabled", 0.0f), D3D_OK);
    effect->GetBool("enabled", &b);
    EXPECT_EQ(b, FALSE);
    EXPECT_EQ(effect->SetInt("enabled", 5), D3D_OK);
    effect->GetBool("enabled", &b);
    EXPECT_EQ(b, TRUE);

    EXPECT_EQ(effect->SetBool("alpha", 7), D3D_OK);
    EXPECT_EQ(number("alpha"), 1.0f);
    EXPECT_EQ(effect->SetInt("alpha", -2), D3D_OK);
    EXPECT_EQ(number("alpha"), -2.0f);
}

TEST_F(Effect, TexturesAreHeldByTheEffectAndNullClearsThem) {
    IDirect3DTexture9* texture = makeTexture();
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(effect->SetTexture("tex", texture), D3D_OK);
    IDirect3DBaseTexture9* read = nullptr;
    EXPECT_EQ(effect->GetTexture("tex", &read), D3D_OK);
    EXPECT_EQ(read, texture);
    read->Release();
    // Ours, the effect's and the one taken here.
    EXPECT_EQ(texture->AddRef(), 3u);
    texture->Release();

    EXPECT_EQ(effect->SetTexture("tex", nullptr), D3D_OK);
    EXPECT_EQ(effect->GetTexture("tex", &read), D3D_OK);
    EXPECT_EQ(read, nullptr);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(Effect, ReleasingTheEffectLetsGoOfItsTexture) {
    IDirect3DTexture9* texture = makeTexture();
    ASSERT_NE(texture, nullptr);
    effect->SetTexture("tex", texture);
    EXPECT_EQ(effect->AddRef(), 2u);
    EXPECT_EQ(effect->Release(), 1u);
    EXPECT_EQ(effect->Release(), 0u);
    effect = nullptr;
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(Effect, UnknownNamesAndMismatchedTypesFailAndChangeNothing) {
    const D3DXVECTOR4 v(5, 5, 5, 5);
    const float values[16] = {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
    const D3DXMATRIX m(values);
    IDirect3DTexture9* texture = makeTexture();
    const char* unknown[] = {"nothing",
                             "pointLight[:].color",
                             "pointLight[2].position",
                             "weights[3]",
                             "weights[-1]",
                             "material",
                             "material.",
                             "alpha[0]",
                             "Alpha",
                             "",
                             nullptr};
    for (const char* name : unknown) {
        SCOPED_TRACE(name == nullptr ? "(null)" : name);
        EXPECT_EQ(effect->SetFloat(name, 5), D3DERR_INVALIDCALL);
        EXPECT_EQ(effect->SetFloatArray(name, values, 16), D3DERR_INVALIDCALL);
        EXPECT_EQ(effect->SetInt(name, 5), D3DERR_INVALIDCALL);
        EXPECT_EQ(effect->SetBool(name, TRUE), D3DERR_INVALIDCALL);
        EXPECT_EQ(effect->SetVector(name, &v), D3DERR_INVALIDCALL);
        EXPECT_EQ(effect->SetMatrix(name, &m), D3DERR_INVALIDCALL);
        EXPECT_EQ(effect->SetTexture(name, texture), D3DERR_INVALIDCALL);
        float f = 0;
        EXPECT_EQ(effect->GetFloat(name, &f), D3DERR_INVALIDCALL);
    }
    // A value of a kind the parameter cannot hold.
    EXPECT_EQ(effect->SetTexture("alpha", texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetFloat("tex", 5), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetMatrix("color", &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetVector("worldViewProjection", &v), D3DERR_INVALIDCALL);

    EXPECT_EQ(number("alpha"), 0.5f);
    EXPECT_EQ(vector("color"), D3DXVECTOR4(1, 0, 1, 1));
    EXPECT_EQ(vector("pointLight[1].color"), D3DXVECTOR4(0, 0, 0, 0));
    EXPECT_EQ(number("weights[2]"), 0.0f);
    IDirect3DBaseTexture9* held = nullptr;
    effect->GetTexture("tex", &held);
    EXPECT_EQ(held, nullptr);
    texture->Release();
}

TEST_F(Effect, TechniquesSwitchByNameAndAnUnknownOneKeepsTheCurrent) {
    UINT passes = 0;
    // Initially the first technique, "Textured", of two passes.
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 2u);
    EXPECT_EQ(effect->End(), D3D_OK);

    EXPECT_EQ(effect->SetTechnique("Flat"), D3D_OK);
    EXPECT_EQ(effect->SetTechnique("Missing"), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTechnique(nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 1u);
    EXPECT_EQ(effect->BeginPass(0), D3D_OK);
    EXPECT_EQ(renderState(D3DRS_ZENABLE), DWORD(D3DZB_FALSE)); // Flat's own pass state
    EXPECT_EQ(effect->EndPass(), D3D_OK);
    EXPECT_EQ(effect->End(), D3D_OK);
}

TEST_F(Effect, ValuesPersistAcrossBeginEndPassesAndTechniques) {
    const D3DXVECTOR4 green(0, 1, 0, 1);
    effect->SetVector("color", &green);
    effect->SetFloat("alpha", 0.75f);
    for (const char* technique : {"Textured", "Flat", "Textured"}) {
        effect->SetTechnique(technique);
        UINT passes = 0;
        ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
        for (UINT p = 0; p < passes; ++p) {
            EXPECT_EQ(effect->BeginPass(p), D3D_OK);
            EXPECT_EQ(effect->CommitChanges(), D3D_OK);
            EXPECT_EQ(effect->EndPass(), D3D_OK);
        }
        EXPECT_EQ(effect->End(), D3D_OK);
    }
    EXPECT_EQ(vector("color"), green);
    EXPECT_EQ(number("alpha"), 0.75f);
}

TEST_F(Effect, PassStatesApplyAtBeginPassAndTheSavedOnesComeBackAtEnd) {
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    IDirect3DTexture9* before = makeTexture();
    IDirect3DTexture9* parameter = makeTexture();
    device->SetTexture(0, before);
    effect->SetTexture("tex", parameter);

    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    // Nothing changes before a pass begins.
    EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    EXPECT_EQ(renderState(D3DRS_ZWRITEENABLE), DWORD(FALSE));
    EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), DWORD(TRUE));
    EXPECT_EQ(renderState(D3DRS_SRCBLEND), DWORD(D3DBLEND_SRCALPHA));
    EXPECT_EQ(renderState(D3DRS_DESTBLEND), DWORD(D3DBLEND_ONE));
    EXPECT_EQ(renderState(D3DRS_CULLMODE), DWORD(D3DCULL_NONE));
    EXPECT_EQ(samplerState(D3DSAMP_MINFILTER), DWORD(D3DTEXF_LINEAR)); // "tex" is unit 0
    EXPECT_EQ(samplerState(D3DSAMP_ADDRESSU), DWORD(D3DTADDRESS_CLAMP));
    IDirect3DBaseTexture9* bound = nullptr;
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, parameter);
    bound->Release();
    // What the program sets after BeginPass stands.
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    EXPECT_EQ(renderState(D3DRS_CULLMODE), DWORD(D3DCULL_CCW));
    EXPECT_EQ(effect->EndPass(), D3D_OK);
    ASSERT_EQ(effect->BeginPass(1), D3D_OK);
    EXPECT_EQ(renderState(D3DRS_ZFUNC), DWORD(D3DCMP_LESSEQUAL));
    EXPECT_EQ(renderState(D3DRS_DESTBLEND), DWORD(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(effect->EndPass(), D3D_OK);
    ASSERT_EQ(effect->End(), D3D_OK);

    EXPECT_EQ(renderState(D3DRS_ZWRITEENABLE), DWORD(TRUE));
    EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
    EXPECT_EQ(renderState(D3DRS_SRCBLEND), DWORD(D3DBLEND_ONE));
    EXPECT_EQ(renderState(D3DRS_DESTBLEND), DWORD(D3DBLEND_ZERO));
    EXPECT_EQ(renderState(D3DRS_CULLMODE), DWORD(D3DCULL_CW));
    EXPECT_EQ(renderState(D3DRS_ZFUNC), DWORD(D3DCMP_GREATER));
    EXPECT_EQ(samplerState(D3DSAMP_MINFILTER), DWORD(D3DTEXF_POINT));
    EXPECT_EQ(samplerState(D3DSAMP_ADDRESSU), DWORD(D3DTADDRESS_WRAP));
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, before);
    bound->Release();

    // Without saving, the pass's states stay.
    ASSERT_EQ(effect->Begin(&passes, D3DXFX_DONOTSAVESTATE), D3D_OK);
    effect->BeginPass(0);
    effect->EndPass();
    effect->End();
    EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), DWORD(TRUE));

    device->SetTexture(0, nullptr);
    effect->SetTexture("tex", nullptr);
    EXPECT_EQ(before->Release(), 0u);
    EXPECT_EQ(parameter->Release(), 0u);
}

TEST_F(Effect, CallsOutOfOrderFail) {
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->CommitChanges(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->EndPass(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->End(), D3DERR_INVALIDCALL);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(effect->Begin(&passes, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->BeginPass(2), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->CommitChanges(), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    EXPECT_EQ(effect->BeginPass(1), D3DERR_INVALIDCALL);
    // End also ends the pass.
    EXPECT_EQ(effect->End(), D3D_OK);
    EXPECT_EQ(effect->EndPass(), D3DERR_INVALIDCALL);
}

struct BrokenFile {
    const char* name;
    std::string text;
    const char* message; // part of what standard error must say
};

class BrokenEffect : public EngineTest, public ::testing::WithParamInterface<BrokenFile> {};

const std::string kScreen = "vertex v { in vec3 inPosition; void main() { gl_Position = "
                            "vec4(inPosition, 1.0); } }\n";

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenEffect,
    ::testing::Values(
        BrokenFile{"Empty", "", "no effect bytes"},
        BrokenFile{"BadSyntax", "technique T { pass 0 { vertex = ; } }", "line 1"},
        BrokenFile{"BadGlsl",
                   kScreen + "fragment f { out vec4 c; void main() { c = nonsense; } }\n"
                             "technique T { pass 0 { vertex = v; fragment = f; } }",
                   "does not compile"},
        BrokenFile{"MismatchedStages",
                   "vertex v { in vec3 inPosition; out vec3 uv; void main() { uv = inPosition; "
                   "gl_Position = vec4(inPosition, 1.0); } }\n"
                   "fragment f { in vec2 uv; out vec4 c; void main() { c = vec4(uv, 0, 1); } }\n"
                   "technique T { pass 0 { vertex = v; fragment = f; } }",
                   "does not link"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(BrokenEffect, FailsWithNoEffectAndSaysWhyOnStandardError) {
    const BrokenFile& file = GetParam();
    ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(1);
    ::testing::internal::CaptureStderr();
    const HRESULT hr =
        D3DXCreateEffect(device, file.text.empty() ? nullptr : file.text.data(),
                         UINT(file.text.size()), nullptr, nullptr, 0, nullptr, &effect, nullptr);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(effect, nullptr);
    EXPECT_NE(errors.find(file.message), std::string::npos) << errors;
}

// A caller that asks for the errors gets the reason in the buffer, as text with its
// terminating NUL, and nothing goes to standard error: the caller says it with what it knows
// (the file's name).
TEST_P(BrokenEffect, GivesTheReasonInTheErrorBufferWhenAskedFor) {
    const BrokenFile& file = GetParam();
    ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(1);
    ID3DXBuffer* errors = reinterpret_cast<ID3DXBuffer*>(1);
    ::testing::internal::CaptureStderr();
    const HRESULT hr =
        D3DXCreateEffect(device, file.text.empty() ? nullptr : file.text.data(),
                         UINT(file.text.size()), nullptr, nullptr, 0, nullptr, &effect, &errors);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(effect, nullptr);
    ASSERT_NE(errors, nullptr);
    ASSERT_NE(errors, reinterpret_cast<ID3DXBuffer*>(1));
    const char* text = static_cast<const char*>(errors->GetBufferPointer());
    ASSERT_NE(text, nullptr);
    ASSERT_GE(errors->GetBufferSize(), 1u);
    EXPECT_EQ(text[errors->GetBufferSize() - 1], '\0');
    EXPECT_EQ(std::strlen(text) + 1, errors->GetBufferSize());
    EXPECT_NE(std::string(text).find(file.message), std::string::npos) << text;
    EXPECT_EQ(errors->Release(), 0u);
}

// An effect that builds leaves the error buffer empty.
TEST_F(Effect, AnEffectThatBuildsGivesNoErrorBuffer) {
    const std::string bytes = fileText("data/TestEffect.fxo");
    ID3DXEffect* other = nullptr;
    ID3DXBuffer* errors = reinterpret_cast<ID3DXBuffer*>(1);
    ASSERT_EQ(D3DXCreateEffect(device, bytes.data(), UINT(bytes.size()), nullptr, nullptr, 0,
                               nullptr, &other, &errors),
              D3D_OK);
    EXPECT_EQ(errors, nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->Release(), 0u);
}

} // namespace
