// Draw calls through the real GL backend: effect passes drawing into render targets, read back
// with GetRenderTargetData; and the device's drawing state.
#include <algorithm>
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
struct TexturedVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

// Two triangles covering the target, both clockwise in the picture as Direct3D's front faces.
const Position kQuad[6] = {{-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {1, 1, 0}, {1, -1, 0}, {-1, -1, 0}};
const TexturedVertex kTexturedQuad[6] = {{-1, -1, 0, 0, 0, 1, 0, 1}, {-1, 1, 0, 0, 0, 1, 0, 0},
                                         {1, 1, 0, 0, 0, 1, 1, 0},   {1, 1, 0, 0, 0, 1, 1, 0},
                                         {1, -1, 0, 0, 0, 1, 1, 1},  {-1, -1, 0, 0, 0, 1, 0, 1}};

constexpr DWORD kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

class Draw : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        effect = createEffect("data/TestEffect.fxo");
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override {
        if (effect != nullptr) {
            effect->Release();
        }
        EngineTest::TearDown();
    }

    static bool all(const std::vector<DWORD>& pixels, DWORD color) {
        for (DWORD p : pixels) {
            if (p != color) {
                return false;
            }
        }
        return true;
    }

    void beginFlat(const D3DXVECTOR4& color) {
        ASSERT_EQ(effect->SetTechnique("Flat"), D3D_OK);
        ASSERT_EQ(effect->SetVector("color", &color), D3D_OK);
        UINT passes = 0;
        ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
        ASSERT_EQ(effect->BeginPass(0), D3D_OK);
        ASSERT_EQ(device->SetFVF(D3DFVF_XYZ), D3D_OK);
    }
    // Sets the textured drawing's parameters: source as the plain texture under wvp.
    void setTextured(IDirect3DTexture9* source, const D3DXMATRIX& wvp) {
        effect->SetTexture("tex", source);
        effect->SetBool("enabled", FALSE);
        effect->SetInt("mode", 0);
        effect->SetFloat("alpha", 1.0f);
        const float weights[3] = {0, 0, 1};
        effect->SetFloatArray("weights", weights, 3);
        effect->SetMatrix("worldViewProjection", &wvp);
        device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    }
    void end() {
        EXPECT_EQ(effect->EndPass(), D3D_OK);
        EXPECT_EQ(effect->End(), D3D_OK);
    }
    HRESULT drawQuad() { return device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, kQuad, 12); }

    ID3DXEffect* effect = nullptr;
};

TEST_F(Draw, APassFillsTheTargetWithItsColourParameter) {
    makeTarget(64, 32, 0xFF000000);
    beginFlat(D3DXVECTOR4(0.2f, 0.4f, 0.6f, 1.0f));
    EXPECT_EQ(drawQuad(), D3D_OK);
    end();
    EXPECT_TRUE(all(readTarget(), 0xFF336699u));
}

TEST_F(Draw, ANewValueReachesTheDrawOnlyAfterCommitChanges) {
    makeTarget(16, 16, 0xFF000000);
    beginFlat(D3DXVECTOR4(1, 0, 0, 1));
    drawQuad();
    EXPECT_TRUE(all(readTarget(), kRed));
    const D3DXVECTOR4 green(0, 1, 0, 1);
    effect->SetVector("color", &green);
    drawQuad();
    EXPECT_TRUE(all(readTarget(), kRed));
    EXPECT_EQ(effect->CommitChanges(), D3D_OK);
    drawQuad();
    EXPECT_TRUE(all(readTarget(), kGreen));
    end();
}

TEST_F(Draw, ATextureParameterIsSampledTopRowFirstAndMatricesMultiplyRowVectors) {
    // The source picture: red, green / blue, white quadrants, drawn by clears.
    IDirect3DTexture9* source = makeTarget(8, 8, kWhite);
    IDirect3DSurface9* sourceSurface = nullptr;
    source->GetSurfaceLevel(0, &sourceSurface);
    const D3DRECT quadrants[3] = {{0, 0, 4, 4}, {4, 0, 8, 4}, {0, 4, 4, 8}};
    const DWORD colors[3] = {kRed, kGreen, kBlue};
    for (int i = 0; i < 3; ++i) {
        device->Clear(1, &quadrants[i], D3DCLEAR_TARGET, colors[i], 1.0f, 0);
    }
    sourceSurface->Release();
    makeTarget(8, 8, 0);

    D3DXMATRIX shift;
    D3DXMatrixIdentity(&shift);
    setTextured(source, shift);

    UINT passes = 0;
    effect->Begin(&passes, 0);
    effect->BeginPass(0);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, kTexturedQuad, 32), D3D_OK);
    std::vector<DWORD> pixels = readTarget();
    EXPECT_EQ(at(pixels, 1, 1), kRed);
    EXPECT_EQ(at(pixels, 6, 1), kGreen);
    EXPECT_EQ(at(pixels, 1, 6), kBlue);
    EXPECT_EQ(at(pixels, 6, 6), kWhite);

    // The translation in the fourth row moves the picture half the target to the right.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    shift._41 = 1.0f;
    effect->SetMatrix("worldViewProjection", &shift);
    effect->CommitChanges();
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, kTexturedQuad, 32);
    pixels = readTarget();
    EXPECT_EQ(at(pixels, 1, 1), 0u);
    EXPECT_EQ(at(pixels, 5, 1), kRed);
    EXPECT_EQ(at(pixels, 5, 6), kBlue);
    end();
    effect->SetTexture("tex", nullptr);
}

// The device sends a sampler's state to GL only when it differs from what GL holds: a repeated
// draw, or a state set again to its value, sends nothing, a changed state only itself; and
// the pictures are those of the states as set.
TEST_F(Draw, SamplerStatesReachGlOnlyWhenTheyChange) {
    IDirect3DTexture9* source = makeTarget(8, 8, kRed);
    makeTarget(8, 8, 0);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    setTextured(source, identity);
    UINT passes = 0;
    effect->SetTechnique("Textured");
    effect->Begin(&passes, 0);
    effect->BeginPass(0);

    // Draws over a cleared target; answers the sampler parameters the draw sent.
    const auto draw = [&] {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        const unsigned before = port::testing::samplerParameterCalls(device);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, kTexturedQuad, 32), D3D_OK);
        return port::testing::samplerParameterCalls(device) - before;
    };
    draw();
    const std::vector<DWORD> first = readTarget();
    EXPECT_TRUE(all(first, kRed));
    EXPECT_EQ(draw(), 0u);
    EXPECT_EQ(readTarget(), first);

    device->SetSamplerState(0, D3DSAMP_BORDERCOLOR, kBlue);
    EXPECT_EQ(draw(), 1u);
    device->SetSamplerState(0, D3DSAMP_BORDERCOLOR, kBlue);
    EXPECT_EQ(draw(), 0u);
    EXPECT_EQ(readTarget(), first); // clamped: the border is never read

    // Read to the right of the texture: the border colour, once the address mode says so.
    const D3DXVECTOR4 offset(1.5f, 0.0f, 0.0f, 0.0f);
    effect->SetVector("offset", &offset);
    effect->CommitChanges();
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_BORDER);
    EXPECT_EQ(draw(), 1u);
    EXPECT_TRUE(all(readTarget(), kBlue));
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    EXPECT_EQ(draw(), 1u);
    EXPECT_TRUE(all(readTarget(), kRed));
    end();
    effect->SetTexture("tex", nullptr);
}

// The device sends render states to GL by group, and only a group that may differ from what
// GL holds: one whose states changed, or whose write mask a clear opened. The pictures are
// those of the states as set.
TEST_F(Draw, RenderStatesReachGlByGroupOnlyWhenTheyChange) {
    makeTarget(8, 8, 0);
    beginFlat(D3DXVECTOR4(1, 0, 0, 1));
    // Draws the red quad; answers the groups the draw sent.
    const auto draw = [&] {
        const unsigned before = port::testing::renderStateGroupsSent(device);
        EXPECT_EQ(drawQuad(), D3D_OK);
        return port::testing::renderStateGroupsSent(device) - before;
    };
    draw();
    EXPECT_EQ(draw(), 0u) << "a repeated draw";
    DWORD cull = 0;
    device->GetRenderState(D3DRS_CULLMODE, &cull);
    device->SetRenderState(D3DRS_CULLMODE, cull);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x12345678);
    EXPECT_EQ(draw(), 0u) << "a state set to its value, a state the draw reads itself";
    // New values of states that leave the picture as it is.
    DWORD blend = 0, depthFunction = 0;
    device->GetRenderState(D3DRS_SRCBLEND, &blend);
    device->GetRenderState(D3DRS_ZFUNC, &depthFunction);
    device->SetRenderState(D3DRS_SRCBLEND, blend == D3DBLEND_ONE ? D3DBLEND_ZERO : D3DBLEND_ONE);
    EXPECT_EQ(draw(), 1u) << "blending";
    device->SetRenderState(D3DRS_ZFUNC,
                           depthFunction == D3DCMP_ALWAYS ? D3DCMP_LESSEQUAL : D3DCMP_ALWAYS);
    device->SetRenderState(D3DRS_CULLMODE, cull == D3DCULL_NONE ? D3DCULL_CCW : D3DCULL_NONE);
    EXPECT_EQ(draw(), 2u) << "depth and raster";
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
    EXPECT_EQ(draw(), 0u) << "a clear through the colour mask the states hold open";
    EXPECT_TRUE(all(readTarget(), kRed));

    // With colour writes closed, a clear opens them for itself and the next draw closes them.
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    EXPECT_EQ(draw(), 1u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
    EXPECT_TRUE(all(readTarget(), kBlue));
    EXPECT_EQ(draw(), 1u);
    EXPECT_TRUE(all(readTarget(), kBlue)) << "the draw wrote through a closed mask";
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 15);
    EXPECT_EQ(draw(), 1u);
    EXPECT_TRUE(all(readTarget(), kRed));
    end();
}

struct CullCase {
    const char* name;
    DWORD cullMode;
    bool clockwise; // as the triangle turns in the picture
    bool drawn;
};

class Cull : public Draw, public ::testing::WithParamInterface<CullCase> {};

INSTANTIATE_TEST_SUITE_P(
    Modes, Cull,
    ::testing::Values(CullCase{"CcwKeepsClockwise", D3DCULL_CCW, true, true},
                      CullCase{"CcwRemovesCounterClockwise", D3DCULL_CCW, false, false},
                      CullCase{"CwRemovesClockwise", D3DCULL_CW, true, false},
                      CullCase{"CwKeepsCounterClockwise", D3DCULL_CW, false, true},
                      CullCase{"NoneKeepsBoth", D3DCULL_NONE, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The upper-left half of the target: top left, top right, bottom left is clockwise on screen.
TEST_P(Cull, RemovesTrianglesByHowTheyTurnInTheFinalPicture) {
    const CullCase& c = GetParam();
    makeTarget(16, 16, 0xFF000000);
    beginFlat(D3DXVECTOR4(1, 1, 1, 1));
    device->SetRenderState(D3DRS_CULLMODE, c.cullMode); // overrides the pass's CullMode
    const Position clockwise[3] = {{-1, 1, 0}, {1, 1, 0}, {-1, -1, 0}};
    const Position counter[3] = {{-1, 1, 0}, {-1, -1, 0}, {1, 1, 0}};
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, c.clockwise ? clockwise : counter, 12),
              D3D_OK);
    end();
    const std::vector<DWORD> pixels = readTarget();
    EXPECT_EQ(at(pixels, 2, 2), c.drawn ? kWhite : 0xFF000000u);
    EXPECT_EQ(at(pixels, 14, 14), 0xFF000000u);
}

TEST_F(Draw, IndexedAndBufferDrawsReadTheBoundStreamFromItsBaseVertex) {
    makeTarget(16, 16, 0xFF000000);
    // Four vertices of padding, then the corners of the quad.
    const Position vertices[8] = {{9, 9, 0},   {9, 9, 0},  {9, 9, 0}, {9, 9, 0},
                                  {-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {1, -1, 0}};
    const WORD indices[6] = {0, 1, 2, 2, 3, 0};
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(
        device->CreateVertexBuffer(sizeof vertices, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb, nullptr),
        D3D_OK);
    ASSERT_EQ(
        device->CreateIndexBuffer(sizeof indices, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
        D3D_OK);
    held.push_back(vb);
    held.push_back(ib);
    void* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    std::memcpy(data, vertices, sizeof vertices);
    vb->Unlock();
    ib->Lock(0, 0, &data, 0);
    std::memcpy(data, indices, sizeof indices);
    ib->Unlock();

    beginFlat(D3DXVECTOR4(0, 0, 1, 1));
    device->SetStreamSource(0, vb, 0, sizeof(Position));
    device->SetIndices(ib);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
    EXPECT_TRUE(all(readTarget(), kBlue));

    // Past the end of the index buffer: refused.
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 3, 2), D3DERR_INVALIDCALL);
    // Vertices 4, 5, 6 as a plain triangle: the upper-left half turns red.
    const D3DXVECTOR4 red(1, 0, 0, 1);
    effect->SetVector("color", &red);
    effect->CommitChanges();
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 4, 1), D3D_OK);
    const std::vector<DWORD> pixels = readTarget();
    EXPECT_EQ(at(pixels, 2, 2), kRed);
    EXPECT_EQ(at(pixels, 14, 14), kBlue);
    end();
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
}

TEST_F(Draw, UnemulatedOrEmptyDrawsChangeNoPixel) {
    makeTarget(16, 16, 0xFF102030);
    device->SetFVF(D3DFVF_XYZ);
    EXPECT_EQ(drawQuad(), D3D_OK); // the fixed-function emulation does not draw this format
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0, kQuad, 12), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, kQuad, 12), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, nullptr, 12), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL); // no stream
    device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL); // 24 bytes a vertex: a stride of 12 would overrun
    EXPECT_EQ(drawQuad(), D3DERR_INVALIDCALL);
    EXPECT_TRUE(all(readTarget(), 0xFF102030u));
}

// A clear of whole surfaces waits for the surfaces' next use: it reaches GL in the framebuffer
// of the draw into them, or in one of its own where a surface is read or sampled, and a later
// whole-surface clear replaces it. The pictures stay those of clears sent at once.
class WaitingClears : public Draw {
protected:
    IDirect3DSurface9* surfaceOf(IDirect3DTexture9* texture) {
        IDirect3DSurface9* surface = nullptr;
        texture->GetSurfaceLevel(0, &surface);
        held.push_back(surface);
        return surface;
    }
    IDirect3DSurface9* makeDepth(UINT w, UINT h) {
        IDirect3DSurface9* depth = nullptr;
        EXPECT_EQ(device->CreateDepthStencilSurface(w, h, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0,
                                                    TRUE, &depth, nullptr),
                  D3D_OK);
        held.push_back(depth);
        return depth;
    }
    static port::testing::DrawStats since(const port::testing::DrawStats& before,
                                          IDirect3DDevice9* device) {
        const port::testing::DrawStats now = port::testing::drawStats(device);
        return {now.draws - before.draws, now.triangles - before.triangles,
                now.targetsWritten - before.targetsWritten,
                now.framebufferChanges - before.framebufferChanges,
                now.clearedPixels - before.clearedPixels};
    }
};

// As a scene's frame goes: a further target cleared alone, then the main target and its
// depth cleared and drawn into. Only the draw changes the framebuffer; the further target's
// clear waits until it is read, and the main target's first clear is replaced unsent.
TEST_F(WaitingClears, ReachGlWhereTheSurfacesAreNextUsed) {
    IDirect3DSurface9* further = surfaceOf(makeTarget(16, 8, 0, false));
    IDirect3DSurface9* main = surfaceOf(makeTarget(16, 8, 0, false));
    ASSERT_EQ(device->SetDepthStencilSurface(makeDepth(16, 8)), D3D_OK);
    beginFlat(D3DXVECTOR4(1, 0, 0, 1));
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    const port::testing::DrawStats before = port::testing::drawStats(device);
    device->SetRenderTarget(0, further);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlue, 1.0f, 0),
              D3D_OK);
    device->SetRenderTarget(0, main);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kWhite, 1.0f, 0), D3D_OK);
    // Depth 0 everywhere: the quad at depth 0 fails the test and leaves the clear colour.
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kGreen, 0.0f, 0),
              D3D_OK);
    EXPECT_EQ(since(before, device).framebufferChanges, 0u);
    EXPECT_EQ(since(before, device).clearedPixels, 0u);
    EXPECT_EQ(drawQuad(), D3D_OK);
    const port::testing::DrawStats drawn = since(before, device);
    EXPECT_EQ(drawn.framebufferChanges, 1u);
    EXPECT_EQ(drawn.clearedPixels, 2u * 16u * 8u); // the main target and its depth
    EXPECT_TRUE(all(readTarget(), kGreen));
    // Depth 1: the quad passes.
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(drawQuad(), D3D_OK);
    end();
    EXPECT_TRUE(all(readTarget(), kRed));
    device->SetRenderTarget(0, further);
    EXPECT_TRUE(all(readTarget(), kBlue));
}

// A surface bound beside a smaller one: the framebuffer covers only their common part, so the
// waiting clear of the larger one still reaches all of it.
TEST_F(WaitingClears, CoverTheWholeSurfaceInAFramebufferOfMixedSizes) {
    IDirect3DSurface9* large = surfaceOf(makeTarget(32, 16, 0, false));
    ASSERT_EQ(device->SetDepthStencilSurface(nullptr), D3D_OK);
    device->SetRenderTarget(0, large);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(makeDepth(16, 8)), D3D_OK);
    beginFlat(D3DXVECTOR4(1, 0, 0, 1));
    // A depth test puts the smaller depth surface into the framebuffer.
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    EXPECT_EQ(drawQuad(), D3D_OK);
    end();
    const std::vector<DWORD> pixels = readTarget();
    EXPECT_EQ(at(pixels, 2, 2), kRed);
    EXPECT_EQ(at(pixels, 20, 12), kBlue);
}

// A depth surface takes part only from the first draw that tests depth: draws without depth
// test leave its clear waiting, and from then on it stays in the framebuffer, so that the
// framebuffer of a pass does not change between draws with and without depth.
TEST_F(WaitingClears, WaitOnADepthSurfaceUntilADrawTestsDepth) {
    makeTarget(16, 8, 0);
    ASSERT_EQ(device->SetDepthStencilSurface(makeDepth(16, 8)), D3D_OK);
    // Depth 0 everywhere: a quad at depth 0 drawn with the test LESS fails it.
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlue, 0.0f, 0),
              D3D_OK);
    const auto draw = [&](const D3DXVECTOR4& color, bool depthTest) {
        effect->SetVector("color", &color);
        effect->CommitChanges();
        device->SetRenderState(D3DRS_ZENABLE, depthTest ? D3DZB_TRUE : D3DZB_FALSE);
        device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
        const port::testing::DrawStats before = port::testing::drawStats(device);
        EXPECT_EQ(drawQuad(), D3D_OK);
        return since(before, device);
    };
    beginFlat(D3DXVECTOR4(1, 0, 0, 1));
    EXPECT_EQ(draw(D3DXVECTOR4(1, 0, 0, 1), false).clearedPixels, 16u * 8u); // colour only
    EXPECT_EQ(draw(D3DXVECTOR4(0, 1, 0, 1), true).clearedPixels, 16u * 8u);  // then depth
    EXPECT_EQ(draw(D3DXVECTOR4(0, 0, 1, 1), false).framebufferChanges, 0u);
    EXPECT_EQ(draw(D3DXVECTOR4(0, 1, 0, 1), true).framebufferChanges, 0u);
    end();
    // Only the draws without depth test reached the target.
    EXPECT_TRUE(all(readTarget(), kBlue));
}

// A clear waiting on a texture reaches it before a draw samples it.
TEST_F(WaitingClears, ReachASampledTextureBeforeTheDraw) {
    IDirect3DTexture9* source = makeTarget(8, 8, 0, false);
    ASSERT_EQ(device->SetDepthStencilSurface(nullptr), D3D_OK);
    device->SetRenderTarget(0, surfaceOf(source));
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0), D3D_OK);
    makeTarget(8, 8, 0);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    setTextured(source, identity);
    UINT passes = 0;
    effect->SetTechnique("Textured");
    effect->Begin(&passes, 0);
    effect->BeginPass(0);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, kTexturedQuad, 32), D3D_OK);
    end();
    effect->SetTexture("tex", nullptr);
    EXPECT_TRUE(all(readTarget(), kGreen));
}

class DrawingState : public EngineTest {};

TEST_F(DrawingState, SamplerStageAndTransformStatesStartAsDirect3DsAndKeepWhatIsSet) {
    struct Expect {
        DWORD stage;
        DWORD type;
        DWORD value;
    };
    const Expect samplers[] = {
        {0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP}, {7, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP},
        {3, D3DSAMP_MAGFILTER, D3DTEXF_POINT},   {3, D3DSAMP_MINFILTER, D3DTEXF_POINT},
        {3, D3DSAMP_MIPFILTER, D3DTEXF_NONE},    {0, D3DSAMP_MAXANISOTROPY, 1}};
    for (const Expect& e : samplers) {
        DWORD value = 99;
        EXPECT_EQ(device->GetSamplerState(e.stage, D3DSAMPLERSTATETYPE(e.type), &value), D3D_OK);
        EXPECT_EQ(value, e.value) << e.stage << " " << e.type;
    }
    const Expect stages[] = {
        {0, D3DTSS_COLOROP, D3DTOP_MODULATE},   {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
        {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}, {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
        {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},   {0, D3DTSS_COLORARG2, D3DTA_CURRENT},
        {5, D3DTSS_ALPHAARG2, D3DTA_CURRENT}};
    for (const Expect& e : stages) {
        DWORD value = 99;
        EXPECT_EQ(device->GetTextureStageState(e.stage, D3DTEXTURESTAGESTATETYPE(e.type), &value),
                  D3D_OK);
        EXPECT_EQ(value, e.value) << e.stage << " " << e.type;
    }
    EXPECT_EQ(device->SetSamplerState(2, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP), D3D_OK);
    EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR), D3D_OK);
    DWORD value = 0;
    device->GetSamplerState(2, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, DWORD(D3DTADDRESS_CLAMP));
    device->GetTextureStageState(0, D3DTSS_ALPHAARG1, &value);
    EXPECT_EQ(value, DWORD(D3DTA_TFACTOR));
    EXPECT_EQ(device->SetSamplerState(8, D3DSAMP_ADDRESSU, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetTextureStageState(8, D3DTSS_COLOROP, &value), D3DERR_INVALIDCALL);

    D3DXMATRIX m;
    EXPECT_EQ(device->GetTransform(D3DTS_WORLD, &m), D3D_OK);
    EXPECT_EQ(m._11 + m._22 + m._33 + m._44, 4.0f);
    EXPECT_EQ(m._41, 0.0f);
    m._41 = 3;
    EXPECT_EQ(device->SetTransform(D3DTS_PROJECTION, &m), D3D_OK);
    D3DXMATRIX back;
    device->GetTransform(D3DTS_PROJECTION, &back);
    EXPECT_EQ(back._41, 3.0f);
    device->GetTransform(D3DTS_VIEW, &back);
    EXPECT_EQ(back._41, 0.0f);
    EXPECT_EQ(device->SetTransform(D3DTRANSFORMSTATETYPE(1), &m), D3DERR_INVALIDCALL);
}

TEST_F(DrawingState, StagesHoldTheirTexturesAndGetTextureAddsAReference) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    EXPECT_EQ(device->SetTexture(7, texture), D3D_OK);
    EXPECT_EQ(device->SetTexture(8, texture), D3DERR_INVALIDCALL);
    IDirect3DBaseTexture9* read = nullptr;
    EXPECT_EQ(device->GetTexture(7, &read), D3D_OK);
    EXPECT_EQ(read, texture);
    EXPECT_EQ(read->Release(), 2u); // ours and the stage's
    // The stage keeps it alive after the program lets go; a device released with it bound
    // frees it (the sanitizers check).
    EXPECT_EQ(texture->Release(), 1u);
}

} // namespace
