// Draws outside any effect pass: the emulated fixed-function pipeline for position + texture
// coordinate vertices, texture stage 0 and the texture factor, read back from render targets.
#include <cstring>
#include <vector>

#include <d3dx9.h>
#include <gtest/gtest.h>

#include "support/engine_fixture.h"

namespace {

struct QuadVertex {
    float x, y, z;
    float u, v;
};
constexpr DWORD kQuadFormat = D3DFVF_XYZ | D3DFVF_TEX1;

// A quad over -1..1 at depth 0, clockwise in the picture, the texture's top row at the top.
const QuadVertex kQuad[6] = {{-1, -1, 0, 0, 1}, {-1, 1, 0, 0, 0}, {1, 1, 0, 1, 0},
                             {1, 1, 0, 1, 0},   {1, -1, 0, 1, 1}, {-1, -1, 0, 0, 1}};

constexpr DWORD kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

class FixedFunction : public EngineTest {
protected:
    // An 8 x 8 texture of quadrants: red, green on the top row, blue, white below.
    IDirect3DTexture9* makeQuadrants() {
        IDirect3DTexture9* texture = makeTarget(8, 8, kWhite, true);
        const D3DRECT quadrants[3] = {{0, 0, 4, 4}, {4, 0, 8, 4}, {0, 4, 4, 8}};
        const DWORD colors[3] = {kRed, kGreen, kBlue};
        for (int i = 0; i < 3; ++i) {
            device->Clear(1, &quadrants[i], D3DCLEAR_TARGET, colors[i], 1.0f, 0);
        }
        return texture;
    }

    void setStage(DWORD colorOp, DWORD colorArg1, DWORD colorArg2, DWORD alphaOp, DWORD alphaArg1,
                  DWORD alphaArg2) {
        device->SetTextureStageState(0, D3DTSS_COLOROP, colorOp);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, colorArg1);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, colorArg2);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, alphaArg1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, alphaArg2);
    }

    HRESULT drawQuad() {
        device->SetFVF(kQuadFormat);
        return device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, kQuad, sizeof(QuadVertex));
    }
};

struct StageCase {
    const char* name;
    DWORD colorOp, colorArg1, colorArg2;
    DWORD alphaOp, alphaArg1, alphaArg2;
    bool textured;
    DWORD expected;
};

// The texture is 0x80 40 C0 20 (alpha, red, green, blue), the factor 0x40 10 20 30; the
// vertices carry no colour, so the diffuse colour is opaque white. Blending is off, so the
// target receives the stage's output as it is.
const StageCase kStageCases[] = {
    {"texture colour, factor alpha", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT,
     D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_TEXTURE, true, 0x4040C020},
    {"texture alpha times factor alpha", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT,
     D3DTOP_MODULATE, D3DTA_TFACTOR, D3DTA_TEXTURE, true, 0x2040C020},
    {"texture times diffuse, as the stage starts", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT,
     D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, true, 0x8040C020},
    {"factor colour, second argument", D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_TFACTOR,
     D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, true, 0xFF102030},
    {"texture times factor", D3DTOP_MODULATE, D3DTA_TFACTOR, D3DTA_TEXTURE, D3DTOP_MODULATE,
     D3DTA_TEXTURE, D3DTA_TFACTOR, true, 0x20041806},
    {"no texture reads as opaque white", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT,
     D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_TEXTURE, false, 0x40FFFFFF},
    {"a disabled stage gives the diffuse colour", D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT,
     D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_TEXTURE, true, 0xFFFFFFFF},
};

bool near(DWORD a, DWORD b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = int(a >> shift & 0xFF) - int(b >> shift & 0xFF);
        if (d > tolerance || d < -tolerance) {
            return false;
        }
    }
    return true;
}

} // namespace

// All configurations run in one process, one after another, so that each draw must pick the
// program of its own configuration; the first is drawn again at the end.
TEST_F(FixedFunction, TextureStageZeroCombinesTextureDiffuseAndFactor) {
    IDirect3DTexture9* texture = makeTarget(4, 4, 0x8040C020, false);
    makeTarget(8, 8, 0, true);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x40102030);
    std::vector<StageCase> cases(std::begin(kStageCases), std::end(kStageCases));
    cases.push_back(kStageCases[0]);
    for (const StageCase& c : cases) {
        SCOPED_TRACE(c.name);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        device->SetTexture(0, c.textured ? texture : nullptr);
        setStage(c.colorOp, c.colorArg1, c.colorArg2, c.alphaOp, c.alphaArg1, c.alphaArg2);
        EXPECT_EQ(drawQuad(), D3D_OK);
        const std::vector<DWORD> pixels = readTarget();
        EXPECT_TRUE(near(at(pixels, 0, 0), c.expected, 1)) << std::hex << at(pixels, 0, 0);
        EXPECT_TRUE(near(at(pixels, 7, 7), c.expected, 1)) << std::hex << at(pixels, 7, 7);
    }
}

TEST_F(FixedFunction, VerticesGoThroughWorldViewProjectionAsRowVectors) {
    IDirect3DTexture9* texture = makeQuadrants();
    makeTarget(16, 16, 0, true);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetTexture(0, texture);
    setStage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE,
             D3DTA_CURRENT);

    // Untransformed, the texture's top row is at the top of the target.
    EXPECT_EQ(drawQuad(), D3D_OK);
    std::vector<DWORD> pixels = readTarget();
    EXPECT_EQ(at(pixels, 1, 1), kRed);
    EXPECT_EQ(at(pixels, 14, 1), kGreen);
    EXPECT_EQ(at(pixels, 1, 14), kBlue);
    EXPECT_EQ(at(pixels, 14, 14), kWhite);

    // p * World * View * Projection: halved, then moved right by half the target and then the
    // projection halves heights. Applied in another order the quad lands elsewhere.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    D3DXMATRIX world, view, projection;
    D3DXMatrixScaling(&world, 0.5f, 0.5f, 1.0f);
    D3DXMatrixTranslation(&view, 0.5f, 0.0f, 0.0f);
    D3DXMatrixScaling(&projection, 1.0f, 0.5f, 1.0f);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    EXPECT_EQ(drawQuad(), D3D_OK);
    pixels = readTarget();
    // x from 0 to 1 (columns 8 to 15), y from -0.25 to 0.25 (rows 6 to 9).
    EXPECT_EQ(at(pixels, 7, 7), 0u);
    EXPECT_EQ(at(pixels, 8, 6), kRed);
    EXPECT_EQ(at(pixels, 15, 6), kGreen);
    EXPECT_EQ(at(pixels, 8, 9), kBlue);
    EXPECT_EQ(at(pixels, 15, 9), kWhite);
    EXPECT_EQ(at(pixels, 12, 5), 0u);
    EXPECT_EQ(at(pixels, 12, 10), 0u);
}

TEST_F(FixedFunction, BlendsThroughTheRenderStates) {
    IDirect3DTexture9* texture = makeTarget(4, 4, 0xFF804020, false);
    makeTarget(8, 8, 0xFF204080, true);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetTexture(0, texture);
    setStage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TFACTOR,
             D3DTA_TEXTURE);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x40000000); // a quarter
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    EXPECT_EQ(drawQuad(), D3D_OK);
    // Each channel is a quarter of the texture's and three quarters of the target's.
    const DWORD pixel = readTarget()[0];
    EXPECT_TRUE(near(pixel & 0xFFFFFF, 0x384068, 1)) << std::hex << pixel;
}

TEST_F(FixedFunction, TheAlphaTestComparesTheAlphaByteWithTheReference) {
    struct Case {
        DWORD func;
        DWORD factorAlpha;
        bool drawn;
    };
    const Case cases[] = {
        {D3DCMP_GREATER, 0x81, true},      {D3DCMP_GREATER, 0x80, false},
        {D3DCMP_LESS, 0x7F, true},         {D3DCMP_LESS, 0x80, false},
        {D3DCMP_EQUAL, 0x80, true},        {D3DCMP_NOTEQUAL, 0x80, false},
        {D3DCMP_GREATEREQUAL, 0x80, true}, {D3DCMP_NEVER, 0xFF, false},
    };
    makeTarget(4, 4, 0, true);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    setStage(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TFACTOR,
             D3DTA_CURRENT);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 0x80);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "func " << c.func << " alpha " << c.factorAlpha);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        device->SetRenderState(D3DRS_ALPHAFUNC, c.func);
        device->SetRenderState(D3DRS_TEXTUREFACTOR, c.factorAlpha << 24 | 0xFFFFFF);
        drawQuad();
        EXPECT_EQ(readTarget()[0], c.drawn ? (c.factorAlpha << 24 | 0xFFFFFF) : 0u);
    }
    // With the test off, every alpha passes.
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    drawQuad();
    EXPECT_EQ(readTarget()[0], 0xFFFFFFFFu);
}

// Configurations the emulation does not cover draw nothing rather than something wrong.
TEST_F(FixedFunction, UncoveredConfigurationsDrawNothing) {
    struct Case {
        const char* name;
        DWORD fvf;
        DWORD stageState;
        DWORD value;
    };
    const Case cases[] = {
        {"a normal in the vertex", D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, 0, 0},
        {"an operation past MODULATE", kQuadFormat, D3DTSS_COLOROP, 7},
        {"a complemented argument", kQuadFormat, D3DTSS_COLORARG1, D3DTA_TEXTURE | 0x10},
        {"the specular colour", kQuadFormat, D3DTSS_ALPHAARG1, 4},
    };
    makeTarget(4, 4, 0xFF102030, true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setStage(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TFACTOR,
                 D3DTA_CURRENT);
        if (c.stageState != 0) {
            device->SetTextureStageState(0, D3DTEXTURESTAGESTATETYPE(c.stageState), c.value);
        }
        device->SetFVF(c.fvf);
        // The quad's positions, 32 bytes apart: room for the widest format.
        float vertices[6][8] = {};
        for (int i = 0; i < 6; ++i) {
            vertices[i][0] = kQuad[i].x;
            vertices[i][1] = kQuad[i].y;
        }
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, vertices, 32), D3D_OK);
        EXPECT_EQ(readTarget()[0], 0xFF102030u);
    }
}
