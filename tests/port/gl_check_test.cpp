// The GL check of test builds: a GL error inside a port call ends the process at once and
// names that call.
#include <fstream>
#include <iterator>
#include <string>

#include <d3dx9.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "support/engine_fixture.h"

namespace {

struct Position {
    float x, y, z;
};
const Position kTriangle[3] = {{-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}};

class GlCheck : public EngineTest {
protected:
    void TearDown() override {
        if (effect != nullptr) {
            effect->Release();
        }
        EngineTest::TearDown();
    }
    ID3DXEffect* effect = nullptr;
};

TEST_F(GlCheck, AnErrorInAPortCallEndsTheRunNamingTheCall) {
#ifndef VELMO_GL_CHECK
    GTEST_SKIP() << "built without VELMO_GL_CHECK";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::ifstream in("data/TestEffect.fxo", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(D3DXCreateEffect(device, bytes.data(), UINT(bytes.size()), nullptr, nullptr, 0,
                               nullptr, &effect, nullptr),
              D3D_OK);
    ASSERT_EQ(effect->SetTechnique("Flat"), D3D_OK);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    ASSERT_EQ(device->SetFVF(D3DFVF_XYZ), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, kTriangle, sizeof(Position)), D3D_OK);
    GLint vertexArray = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
    // The vertex array unbound behind the port's back: its next draw draws with none, which
    // the core profile refuses.
    glBindVertexArray(0);
    EXPECT_DEATH(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, kTriangle, sizeof(Position)),
                 "GL error in [^\n]*Device::DrawPrimitiveUP[^\n]*: GL_INVALID_OPERATION");
    glBindVertexArray(GLuint(vertexArray));
    effect->EndPass();
    effect->End();
}

} // namespace
