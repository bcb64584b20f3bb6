// Draws the device refuses: a render or sampler state holding a value GL cannot follow, and in
// the check builds an indexed draw whose indices reach past the vertices it may read. A refused
// draw answers D3DERR_INVALIDCALL and leaves the picture and GL's state as they were.
#include <cstring>
#include <string>
#include <vector>

#include <d3dx9.h>
#include <gtest/gtest.h>
#include <port_testing.h>

#include "support/engine_fixture.h"

namespace {

struct Position {
    float x, y, z;
};
const Position kQuad[6] = {{-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {1, 1, 0}, {1, -1, 0}, {-1, -1, 0}};

constexpr DWORD kBlack = 0xFF000000, kRed = 0xFFFF0000;

class RefusedDraw : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        effect = createEffect("data/TestEffect.fxo");
        ASSERT_NE(effect, nullptr);
        makeTarget(8, 8, kBlack);
        const D3DXVECTOR4 red(1, 0, 0, 1);
        ASSERT_EQ(effect->SetTechnique("Flat"), D3D_OK);
        ASSERT_EQ(effect->SetVector("color", &red), D3D_OK);
        UINT passes = 0;
        ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
        ASSERT_EQ(effect->BeginPass(0), D3D_OK);
        ASSERT_EQ(device->SetFVF(D3DFVF_XYZ), D3D_OK);
    }
    void TearDown() override {
        if (effect != nullptr) {
            effect->EndPass();
            effect->End();
            effect->Release();
        }
        EngineTest::TearDown();
    }

    bool filledWith(DWORD color) {
        for (DWORD pixel : readTarget()) {
            if (pixel != color) {
                return false;
            }
        }
        return true;
    }

    ID3DXEffect* effect = nullptr;
};

struct BadValue {
    const char* what;
    bool sampler; // a state of sampler 0, else a render state
    DWORD state;
    DWORD value;
};

// One or more values past each conversion to GL, and values Direct3D defines that GL has no form
// of.
const BadValue kBadValues[] = {
    {"blend factor 0", false, D3DRS_SRCBLEND, 0},
    {"both-alpha blend factor", false, D3DRS_DESTBLEND, 12},
    {"blend factor past the last", false, D3DRS_SRCBLENDALPHA, D3DBLEND_INVBLENDFACTOR + 1},
    {"blend operation 0", false, D3DRS_BLENDOP, 0},
    {"blend operation past the last", false, D3DRS_BLENDOPALPHA, D3DBLENDOP_MAX + 1},
    {"depth function 0", false, D3DRS_ZFUNC, 0},
    {"stencil function past the last", false, D3DRS_STENCILFUNC, D3DCMP_ALWAYS + 1},
    {"stencil operation 0", false, D3DRS_STENCILFAIL, 0},
    {"stencil operation past the last", false, D3DRS_STENCILPASS, D3DSTENCILOP_DECR + 1},
    {"cull mode 0", false, D3DRS_CULLMODE, 0},
    {"fill mode past the last", false, D3DRS_FILLMODE, D3DFILL_SOLID + 1},
    {"address mode 0", true, D3DSAMP_ADDRESSU, 0},
    {"address mode past the last", true, D3DSAMP_ADDRESSW, D3DTADDRESS_MIRRORONCE + 1},
    {"magnification without a filter", true, D3DSAMP_MAGFILTER, D3DTEXF_NONE},
    {"pyramidal minification", true, D3DSAMP_MINFILTER, D3DTEXF_PYRAMIDALQUAD},
    {"anisotropic mip filter", true, D3DSAMP_MIPFILTER, D3DTEXF_ANISOTROPIC},
};

TEST_F(RefusedDraw, AStateValueGlCannotFollowRefusesTheDrawUntilItIsSetRight) {
    for (const BadValue& c : kBadValues) {
        SCOPED_TRACE(c.what);
        DWORD good = 0;
        const auto set = [&](DWORD value) {
            return c.sampler ? device->SetSamplerState(0, D3DSAMPLERSTATETYPE(c.state), value)
                             : device->SetRenderState(D3DRENDERSTATETYPE(c.state), value);
        };
        if (c.sampler) {
            device->GetSamplerState(0, D3DSAMPLERSTATETYPE(c.state), &good);
        } else {
            device->GetRenderState(D3DRENDERSTATETYPE(c.state), &good);
        }
        device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
        // Setting a state takes any value, as Direct3D's does; the draw is refused.
        EXPECT_EQ(set(c.value), D3D_OK);
        const unsigned groups = port::testing::renderStateGroupsSent(device);
        const unsigned samplerCalls = port::testing::samplerParameterCalls(device);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, kQuad, sizeof(Position)),
                  D3DERR_INVALIDCALL);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, kQuad, sizeof(Position)),
                  D3DERR_INVALIDCALL);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(port::testing::renderStateGroupsSent(device), groups);
        EXPECT_EQ(port::testing::samplerParameterCalls(device), samplerCalls);
        EXPECT_TRUE(filledWith(kBlack));
#ifdef VELMO_GL_CHECK
        // Said once, naming the state and its value.
        const std::string reason = std::to_string(c.state) + " holds " + std::to_string(c.value);
        const size_t at = said.find(reason);
        EXPECT_NE(at, std::string::npos) << said;
        EXPECT_EQ(said.find(reason, at + 1), std::string::npos) << said;
#endif
        EXPECT_EQ(set(good), D3D_OK);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, kQuad, sizeof(Position)), D3D_OK);
        EXPECT_TRUE(filledWith(kRed));
    }
}

// The check builds refuse an indexed draw whose indices, from its base vertex, name a vertex
// outside those the call gives or the stream holds, as Direct3D's debug runtime does.
TEST_F(RefusedDraw, IndicesPastTheVerticesOfTheDrawAreRefusedInTheCheckBuilds) {
#ifndef VELMO_GL_CHECK
    GTEST_SKIP() << "built without VELMO_GL_CHECK";
#endif
    const Position corners[4] = {{-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {1, -1, 0}};
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(
        device->CreateVertexBuffer(sizeof corners, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb, nullptr),
        D3D_OK);
    held.push_back(vb);
    ASSERT_EQ(device->CreateIndexBuffer(12 * sizeof(WORD), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib,
                                        nullptr),
              D3D_OK);
    held.push_back(ib);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, corners, sizeof corners);
    vb->Unlock();
    // The quad, a triangle of vertices 1 to 3, and one reaching vertex 7.
    const auto writeIndices = [&](UINT first, std::vector<WORD> indices) {
        ASSERT_EQ(ib->Lock(first * 2, UINT(indices.size() * 2), &data, 0), D3D_OK);
        std::memcpy(data, indices.data(), indices.size() * 2);
        ib->Unlock();
    };
    writeIndices(0, {0, 1, 2, 2, 3, 0, 1, 2, 3, 1, 2, 7});
    device->SetStreamSource(0, vb, 0, sizeof(Position));
    device->SetIndices(ib);

    struct Case {
        const char* what;
        INT base;
        UINT minVertex, vertices, startIndex, triangles;
        HRESULT expected;
    };
    const Case cases[] = {
        {"the quad", 0, 0, 4, 0, 2, D3D_OK},
        {"the triangle reaching vertex 7", 0, 0, 4, 9, 1, D3DERR_INVALIDCALL},
        {"more vertices than the stream holds", 0, 0, 5, 0, 2, D3DERR_INVALIDCALL},
        {"a base vertex past the stream's", 1, 0, 4, 0, 2, D3DERR_INVALIDCALL},
        {"a negative base vertex", -1, 0, 4, 0, 2, D3DERR_INVALIDCALL},
        {"index 0 below the lowest vertex given", 0, 1, 3, 0, 2, D3DERR_INVALIDCALL},
        {"vertices 1 to 3 by their own indices", 0, 1, 3, 6, 1, D3D_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, c.base, c.minVertex, c.vertices,
                                               c.startIndex, c.triangles),
                  c.expected);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("reach past vertices") != std::string::npos,
                  c.expected == D3DERR_INVALIDCALL)
            << said;
        if (c.expected == D3DERR_INVALIDCALL) {
            EXPECT_TRUE(filledWith(kBlack));
        }
    }

    // Vertex 7 overwritten: the buffer's indices are in range again, though an index past them
    // was written once.
    writeIndices(11, {3});
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 9, 1), D3D_OK);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
}

} // namespace
