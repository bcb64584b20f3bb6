// The screen clear and the full-screen quad on the engine's device, read back from render
// targets; and the loading picture's frame, saved as a PNG for a person to look at.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

#include <d3dx9.h>
#include <gtest/gtest.h>

#include "engine/render/screen_quad.h"
#include "engine/resources/file_cache.h"
#include "engine/resources/surface.h"
#include "engine/resources/texture.h"
#include "support/engine_fixture.h"
#include "support/images.h"

namespace {

constexpr DWORD kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

// A texture the test made, handed to the quad as the engine's surfaces are.
class PlainSurface : public velmo::ID3dSurface {
public:
    explicit PlainSurface(IDirect3DTexture9* texture) : texture(texture) {}
    IDirect3DTexture9* getTexture() override { return texture; }

private:
    IDirect3DTexture9* texture;
};

bool near(DWORD a, DWORD b, int tolerance, DWORD mask = 0xFFFFFFFF) {
    for (int shift = 0; shift < 32; shift += 8) {
        if ((mask >> shift & 0xFF) == 0) {
            continue;
        }
        const int d = int(a >> shift & 0xFF) - int(b >> shift & 0xFF);
        if (d > tolerance || d < -tolerance) {
            return false;
        }
    }
    return true;
}

class ScreenQuad : public EngineTest {
protected:
    // Draws an opaque green quad over the whole viewport at depth z, tested with `func` and
    // writing no depth, to find out what the depth buffer holds.
    void drawDepthProbe(float z, DWORD func) {
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        device->SetRenderState(D3DRS_ZFUNC, func);
        device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_TEXTUREFACTOR, kGreen);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        for (D3DTRANSFORMSTATETYPE t : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION}) {
            device->SetTransform(t, &identity);
        }
        const velmo::ScreenVertex quad[6] = {{-1, -1, z, 0, 1}, {-1, 1, z, 0, 0},
                                             {1, 1, z, 1, 0},   {1, 1, z, 1, 0},
                                             {1, -1, z, 1, 1},  {-1, -1, z, 0, 1}};
        device->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof quad[0]), D3D_OK);
    }

    DWORD renderState(D3DRENDERSTATETYPE state) {
        DWORD value = 0;
        device->GetRenderState(state, &value);
        return value;
    }
    DWORD stageState(D3DTEXTURESTAGESTATETYPE state) {
        DWORD value = 0;
        device->GetTextureStageState(0, state, &value);
        return value;
    }
};

} // namespace

TEST_F(ScreenQuad, ClearWritesTheColourBytesAndDepthOne) {
    makeTarget(640, 480, 0, true);
    device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.25f, 0);
    velmo::clearScreen(128, 16, 32, 48);
    std::vector<DWORD> pixels = readTarget();
    EXPECT_EQ(at(pixels, 0, 0), 0x80102030u);
    EXPECT_EQ(at(pixels, 639, 479), 0x80102030u);

    // The depth buffer holds 1.0: a probe just in front of it passes LESS, one at 1.0 passes
    // LESSEQUAL but not LESS.
    struct Probe {
        float z;
        DWORD func;
        bool drawn;
    };
    for (const Probe& p : {Probe{1.0f, D3DCMP_LESS, false}, Probe{0.99999f, D3DCMP_LESS, true},
                           Probe{1.0f, D3DCMP_LESSEQUAL, true}}) {
        SCOPED_TRACE(testing::Message() << "z " << p.z << " func " << p.func);
        velmo::clearScreen(128, 16, 32, 48);
        drawDepthProbe(p.z, p.func);
        pixels = readTarget();
        EXPECT_EQ(at(pixels, 320, 240), p.drawn ? kGreen : 0x80102030u);
    }
}

TEST_F(ScreenQuad, OpacityBecomesTheTextureFactorsAlphaByte) {
    struct Case {
        float opacity;
        DWORD factor;
    };
    const Case cases[] = {
        {-0.5f, 0x00000000},
        {2.0f, 0xFF000000},
        {0.999f, 0xFE000000}, // 254.745 truncated
        {1.0f, 0xFF000000},
        {0.5f, 0x7F000000},
        {std::numeric_limits<float>::quiet_NaN(), 0x00000000},
    };
    makeTarget(4, 4, 0, true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.opacity);
        device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x12345678);
        velmo::drawScreenQuad(nullptr, c.opacity, 0.0f, D3DBLEND_ONE, D3DBLEND_SRCALPHA);
        EXPECT_EQ(renderState(D3DRS_TEXTUREFACTOR), c.factor);
    }
}

// The quad's corners are found through the picture: a null texture keeps the transforms, so
// a world transform ten times larger and a view that moves the expected top right corner to
// the centre of the letterbox put that corner's edges on its centre lines; a corner more than
// 1/1000 off moves an edge past the pixels checked.
TEST_F(ScreenQuad, EnlargeReachesPastTheSidesAndByTheAspectRatioPastTopAndBottom) {
    struct Case {
        float aspectRatio; // the settings' aspect ratio, on the 640 x 480 back buffer
        UINT letterboxHeight;
        float enlarge;
        float ex, ey;
    };
    const Case cases[] = {
        {1.775f, 360, 0.1f, 1.1f, 1.05625f},
        {16.0f / 9.0f, 359, 0.0f, 1.0f, 1.0f},
        {2.0f, 320, 0.2f, 1.2f, 1.1f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.aspectRatio);
        engine->window->settings.aspectRatio = c.aspectRatio;
        const D3DVIEWPORT9 letterbox = engine->window->letterboxViewport();
        ASSERT_EQ(letterbox.Width, 640u);
        ASSERT_EQ(letterbox.Height, c.letterboxHeight);

        makeTarget(640, 480, 0, true);
        device->SetViewport(&letterbox);
        D3DXMATRIX world, view, projection;
        D3DXMatrixScaling(&world, 10.0f, 10.0f, 1.0f);
        D3DXMatrixTranslation(&view, -10.0f * c.ex, -10.0f * c.ey, 0.0f);
        D3DXMatrixIdentity(&projection);
        device->SetTransform(D3DTS_WORLD, &world);
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        velmo::drawScreenQuad(nullptr, 1.0f, c.enlarge, D3DBLEND_ZERO, D3DBLEND_ONE);

        // The corner sits at the letterbox's centre: covered below and left of it only.
        const std::vector<DWORD> pixels = readTarget();
        const UINT cx = 320, cy = letterbox.Y + letterbox.Height / 2;
        EXPECT_EQ(at(pixels, cx - 2, cy + 2), kWhite);
        EXPECT_EQ(at(pixels, cx + 1, cy + 2), 0u) << "the right edge lies too far right";
        EXPECT_EQ(at(pixels, cx - 2, cy - 2), 0u) << "the top edge lies too high";
        EXPECT_EQ(at(pixels, cx - 200, cy + 100), kWhite);
    }
}

TEST_F(ScreenQuad, ATextureFillsTheViewportTopRowAtTheTop) {
    // The source: red, green on its top row, blue, white below.
    IDirect3DTexture9* texture = makeTarget(8, 8, kWhite, true);
    const D3DRECT quadrants[3] = {{0, 0, 4, 4}, {4, 0, 8, 4}, {0, 4, 4, 8}};
    const DWORD colors[3] = {kRed, kGreen, kBlue};
    for (int i = 0; i < 3; ++i) {
        device->Clear(1, &quadrants[i], D3DCLEAR_TARGET, colors[i], 1.0f, 0);
    }
    makeTarget(64, 48, 0xFF000000, true);
    const D3DVIEWPORT9 viewport = {8, 4, 48, 40, 0.0f, 1.0f};
    device->SetViewport(&viewport);
    PlainSurface surface(texture);
    velmo::drawScreenQuad(&surface, 1.0f, 0.0f, D3DBLEND_ONE, D3DBLEND_SRCALPHA);

    const std::vector<DWORD> pixels = readTarget();
    EXPECT_EQ(at(pixels, 8, 4), kRed);
    EXPECT_EQ(at(pixels, 55, 4), kGreen);
    EXPECT_EQ(at(pixels, 8, 43), kBlue);
    EXPECT_EQ(at(pixels, 55, 43), kWhite);
    // Nothing outside the viewport.
    for (auto [x, y] : {std::pair{7u, 20u}, {56u, 20u}, {30u, 3u}, {30u, 44u}}) {
        EXPECT_EQ(at(pixels, x, y), 0xFF000000u) << x << ", " << y;
    }
}

TEST_F(ScreenQuad, BlendsTheTextureOverTheTargetWithTheOpacity) {
    struct Case {
        const char* name;
        D3DBLEND dest, src;
        float opacity;
        DWORD texture, target, expected; // red, green and blue compared
    };
    const Case cases[] = {
        // Additive: the target plus the texture times its alpha times the opacity.
        {"additive, half", D3DBLEND_ONE, D3DBLEND_SRCALPHA, 0.5f, 0xFF80FF20, 0xFF404040,
         0xFF80BF50},
        {"additive, the texture's own alpha", D3DBLEND_ONE, D3DBLEND_SRCALPHA, 1.0f, 0x80FF8000,
         0xFF000010, 0xFF804010},
        // Composite: a quarter of the texture over three quarters of the target.
        {"composite, a quarter", D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, 0.25f, 0xFFFFFFFF,
         0xFF000080, 0xFF3F3F9F},
        // The overlay's mode: the texture times itself over what its alpha leaves.
        {"source colour", D3DBLEND_INVSRCALPHA, D3DBLEND_SRCCOLOR, 0.5f, 0xFF808080, 0xFF000000,
         0xFF404040},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IDirect3DTexture9* texture = makeTarget(4, 4, c.texture, false);
        makeTarget(8, 8, c.target, true);
        PlainSurface surface(texture);
        velmo::drawScreenQuad(&surface, c.opacity, 0.0f, c.dest, c.src);
        const DWORD pixel = readTarget()[0];
        EXPECT_TRUE(near(pixel, c.expected, 1, 0xFFFFFF)) << std::hex << pixel;
    }
}

TEST_F(ScreenQuad, ANullTextureDrawsWithTheFactorAlphaAndKeepsDepthWritesOff) {
    makeTarget(640, 480, 0, true);
    IDirect3DTexture9* kept = makeTarget(4, 4, kRed, false);
    device->SetTexture(0, kept);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2); // the diffuse colour
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, 0.0f, 0.0f, 0.5f);
    device->SetTransform(D3DTS_WORLD, &world);

    velmo::clearScreen(0, 0, 0, 0);
    velmo::drawScreenQuad(nullptr, 0.5f, 0.0f, D3DBLEND_ONE, D3DBLEND_SRCALPHA);
    // White (the diffuse colour) at 127/255 added to black.
    std::vector<DWORD> pixels = readTarget();
    EXPECT_TRUE(near(at(pixels, 320, 240), 0x7F7F7F, 1, 0xFFFFFF))
        << std::hex << at(pixels, 320, 240);

    // The stage's colour operation, texture and transforms are as they were; depth writes
    // stay off and the quad left the depth buffer at 1.0.
    EXPECT_EQ(renderState(D3DRS_ZWRITEENABLE), FALSE);
    EXPECT_EQ(stageState(D3DTSS_COLOROP), DWORD(D3DTOP_SELECTARG2));
    IDirect3DBaseTexture9* bound = nullptr;
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, kept);
    bound->Release();
    D3DXMATRIX transform;
    device->GetTransform(D3DTS_WORLD, &transform);
    EXPECT_EQ(transform._43, 0.5f);
    drawDepthProbe(0.999f, D3DCMP_LESS);
    EXPECT_EQ(readTarget()[320 + 240 * 640], kGreen);
}

TEST_F(ScreenQuad, ATexturedQuadLeavesItsStatesForTheNextDraw) {
    IDirect3DTexture9* texture = makeTarget(4, 4, kRed, false);
    makeTarget(8, 8, 0, true);
    D3DXMATRIX moved;
    D3DXMatrixTranslation(&moved, 3.0f, 0.0f, 0.0f);
    device->SetTransform(D3DTS_WORLD, &moved);
    PlainSurface surface(texture);
    velmo::drawScreenQuad(&surface, 1.0f, 0.0f, D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA);

    const std::pair<D3DRENDERSTATETYPE, DWORD> renderStates[] = {
        {D3DRS_ZWRITEENABLE, TRUE},          {D3DRS_ALPHABLENDENABLE, TRUE},
        {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}, {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
        {D3DRS_CULLMODE, D3DCULL_NONE},      {D3DRS_TEXTUREFACTOR, 0xFF000000},
    };
    for (auto [state, value] : renderStates) {
        EXPECT_EQ(renderState(state), value) << "render state " << state;
    }
    EXPECT_EQ(stageState(D3DTSS_COLOROP), DWORD(D3DTOP_SELECTARG1));
    EXPECT_EQ(stageState(D3DTSS_COLORARG1), DWORD(D3DTA_TEXTURE));
    EXPECT_EQ(stageState(D3DTSS_ALPHAOP), DWORD(D3DTOP_MODULATE));
    EXPECT_EQ(stageState(D3DTSS_ALPHAARG1), DWORD(D3DTA_TFACTOR));
    EXPECT_EQ(stageState(D3DTSS_ALPHAARG2), DWORD(D3DTA_TEXTURE));
    DWORD fvf = 0;
    device->GetFVF(&fvf);
    EXPECT_EQ(fvf, 0x102u);
    D3DXMATRIX transform, expected;
    device->GetTransform(D3DTS_WORLD, &transform);
    D3DXMatrixIdentity(&expected);
    EXPECT_EQ(std::memcmp(&transform, &expected, sizeof transform), 0);
    device->GetTransform(D3DTS_PROJECTION, &transform);
    D3DXMatrixOrthoLH(&expected, 2.0f, 2.0f, 0.0f, 1.0f);
    EXPECT_EQ(std::memcmp(&transform, &expected, sizeof transform), 0);
    EXPECT_EQ(readTarget()[0] & 0xFFFFFF, 0xFF0000u);
}

// The first frame of loading: the picture letterboxed on black, saved under the build tree.
TEST_F(ScreenQuad, TheLoadingPictureFillsTheLetterboxBetweenBlackBars) {
    velmo::preloadFile("loading.jpg");
    velmo::Texture* loading = velmo::Device::loadTexture("loading.jpg");
    ASSERT_NE(loading->getTexture(), nullptr);
    const D3DVIEWPORT9 letterbox = engine->window->letterboxViewport();
    device->SetViewport(&letterbox);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    velmo::clearScreen(0, 0, 0, 0);
    velmo::drawScreenQuad(loading, 1.0f, 0.0f, D3DBLEND_ONE, D3DBLEND_SRCALPHA);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), D3D_OK);
    D3DSURFACE_DESC desc = {};
    backBuffer->GetDesc(&desc);
    const std::vector<unsigned char> bytes = readBack(backBuffer);
    backBuffer->Release();
    ASSERT_EQ(desc.Width, 640u);
    ASSERT_EQ(desc.Height, 480u);
    ASSERT_EQ(letterbox.Y, 60u);
    ASSERT_EQ(letterbox.Height, 359u);

    std::vector<unsigned char> rgba(size_t(desc.Width) * desc.Height * 4);
    for (UINT y = 0; y < desc.Height; ++y) {
        for (UINT x = 0; x < desc.Width; ++x) {
            const DWORD p = argbAt(bytes, desc.Width, x, y);
            unsigned char* out = &rgba[(size_t(y) * desc.Width + x) * 4];
            out[0] = p >> 16 & 0xFF;
            out[1] = p >> 8 & 0xFF;
            out[2] = p & 0xFF;
            out[3] = 0xFF;
        }
    }
    std::filesystem::create_directories("e2e-out");
    const std::vector<unsigned char> png = encodeImage(false, 640, 480, 4, rgba);
    std::ofstream("e2e-out/loading_frame.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));

    // The bars are black.
    for (UINT y : {0u, 59u, 419u, 479u}) {
        for (UINT x = 0; x < 640; x += 7) {
            ASSERT_EQ(argbAt(bytes, 640, x, y) & 0xFFFFFF, 0u) << x << ", " << y;
        }
    }
    // Between them, the picture: 16 x 8 blocks of the frame match the same parts of the file.
    const RgbImage file = loadRgbImage("data/loading.jpg");
    ASSERT_FALSE(file.rgb.empty());
    const int w = file.width, h = file.height;
    const auto blockMean = [](auto pixel, int x0, int y0, int bw, int bh, int channel) {
        double sum = 0;
        for (int y = y0; y < y0 + bh; ++y) {
            for (int x = x0; x < x0 + bw; ++x) {
                sum += pixel(x, y, channel);
            }
        }
        return sum / (bw * bh);
    };
    const auto framePixel = [&](int x, int y, int c) {
        return double(rgba[(size_t(y) * 640 + x) * 4 + c]);
    };
    const auto filePixel = [&](int x, int y, int c) { return double(file.at(x, y)[c]); };
    for (int by = 0; by < 8; ++by) {
        const int fy0 = by * 359 / 8, fy1 = (by + 1) * 359 / 8;
        const int sy0 = int(std::lround(fy0 * double(h) / 359.0));
        const int sy1 = int(std::lround(fy1 * double(h) / 359.0));
        for (int bx = 0; bx < 16; ++bx) {
            const int sx0 = bx * w / 16, sx1 = (bx + 1) * w / 16;
            for (int c = 0; c < 3; ++c) {
                const double frame = blockMean(framePixel, bx * 40, 60 + fy0, 40, fy1 - fy0, c);
                const double source = blockMean(filePixel, sx0, sy0, sx1 - sx0, sy1 - sy0, c);
                EXPECT_NEAR(frame, source, 6.0) << "block " << bx << ", " << by << " channel " << c;
            }
        }
    }
}
