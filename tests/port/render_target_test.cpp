// Render-target textures, depth surfaces and their binding, drawn through the real GL backend
// and read back with GetRenderTargetData.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>
#include <port_testing.h>

#include "support/engine_fixture.h"

namespace {

class RenderTargets : public EngineTest {
protected:
    // A render-target texture and its level 0, both released by the fixture.
    IDirect3DSurface9* makeTarget(UINT width, UINT height, D3DFORMAT format) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, format,
                                        D3DPOOL_DEFAULT, &texture, nullptr),
                  D3D_OK);
        IDirect3DSurface9* surface = nullptr;
        if (texture != nullptr) {
            EXPECT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
            texture->Release(); // the surface keeps the texture alive
            held.push_back(surface);
        }
        return surface;
    }

    void TearDown() override {
        for (IDirect3DSurface9* s : held) {
            s->Release();
        }
        EngineTest::TearDown();
    }

    std::vector<IDirect3DSurface9*> held;
};

TEST_F(RenderTargets, ClearingAnArgbTargetReadsBackExactlyEverywhere) {
    IDirect3DSurface9* target = makeTarget(640, 359, D3DFMT_A8R8G8B8);
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x80C04020, 1.0f, 0), D3D_OK);
    const std::vector<unsigned char> pixels = readBack(target);
    ASSERT_EQ(pixels.size(), 640u * 359u * 4u);
    for (UINT y = 0; y < 359; ++y) {
        for (UINT x = 0; x < 640; ++x) {
            ASSERT_EQ(argbAt(pixels, 640, x, y), 0x80C04020u) << x << ", " << y;
        }
    }
}

TEST_F(RenderTargets, AnR32FTargetClearsToTheRedChannel) {
    IDirect3DSurface9* target = makeTarget(64, 32, D3DFMT_R32F);
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080, 1.0f, 0), D3D_OK);
    const std::vector<unsigned char> pixels = readBack(target);
    EXPECT_FLOAT_EQ(floatAt(pixels, 64, 0, 0), 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(floatAt(pixels, 64, 63, 31), 128.0f / 255.0f);
}

TEST_F(RenderTargets, FourTargetsOfMixedFormatsClearTogetherAndAnUnboundOneIsLeftAlone) {
    const D3DFORMAT formats[4] = {D3DFMT_A8R8G8B8, D3DFMT_R32F, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8};
    IDirect3DSurface9* targets[4];
    for (DWORD i = 0; i < 4; ++i) {
        targets[i] = makeTarget(32, 16, formats[i]);
        ASSERT_EQ(device->SetRenderTarget(i, targets[i]), D3D_OK);
    }
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(2, nullptr), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x40FF0000, 1.0f, 0), D3D_OK);

    EXPECT_EQ(argbAt(readBack(targets[0]), 32, 5, 5), 0x40FF0000u);
    EXPECT_FLOAT_EQ(floatAt(readBack(targets[1]), 32, 5, 5), 1.0f);
    EXPECT_EQ(argbAt(readBack(targets[2]), 32, 5, 5), 0xFF336699u); // unbound before the second
    EXPECT_EQ(argbAt(readBack(targets[3]), 32, 5, 5), 0x40FF0000u);
}

struct ClearRegionCase {
    const char* name;
    D3DVIEWPORT9 viewport;
    std::vector<D3DRECT> rects;
    // A pixel inside the cleared region and one outside it.
    UINT insideX, insideY, outsideX, outsideY;
};

class ClearRegion : public RenderTargets, public ::testing::WithParamInterface<ClearRegionCase> {};

// Rows are counted from the top: a clear of the top rows lands in the first rows read back.
TEST_P(ClearRegion, CoversOnlyTheViewportAndRectanglesTopRowFirst) {
    const ClearRegionCase& c = GetParam();
    IDirect3DSurface9* target = makeTarget(16, 8, D3DFMT_A8R8G8B8);
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->SetViewport(&c.viewport), D3D_OK);
    ASSERT_EQ(device->Clear(DWORD(c.rects.size()), c.rects.empty() ? nullptr : c.rects.data(),
                            D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0),
              D3D_OK);
    const std::vector<unsigned char> pixels = readBack(target);
    EXPECT_EQ(argbAt(pixels, 16, c.insideX, c.insideY), 0xFFFFFFFFu);
    EXPECT_EQ(argbAt(pixels, 16, c.outsideX, c.outsideY), 0xFF000000u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClearRegion,
    ::testing::Values(
        ClearRegionCase{"TopRowsViewport", {0, 0, 16, 2, 0, 1}, {}, 3, 1, 3, 2},
        ClearRegionCase{"RightHalfViewport", {8, 0, 8, 8, 0, 1}, {}, 8, 7, 7, 0},
        ClearRegionCase{"RectangleInTheViewport", {0, 0, 16, 8, 0, 1}, {{0, 0, 4, 1}}, 3, 0, 4, 0},
        ClearRegionCase{
            "RectangleCutByTheViewport", {0, 4, 16, 4, 0, 1}, {{0, 0, 16, 6}}, 0, 5, 0, 3}),
    [](const auto& info) { return info.param.name; });

TEST_F(RenderTargets, TheBackBufferIsTargetZeroAndReadsBack) {
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), D3D_OK);
    D3DSURFACE_DESC desc = {};
    backBuffer->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 640u);
    EXPECT_EQ(desc.Height, 480u);
    EXPECT_EQ(desc.Usage, DWORD(D3DUSAGE_RENDERTARGET));
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0), D3D_OK);
    const std::vector<unsigned char> pixels = readBack(backBuffer);
    EXPECT_EQ(argbAt(pixels, 640, 639, 479) & 0xFFFFFF, 0x102030u);
    backBuffer->Release();
}

TEST_F(RenderTargets, SettingTargetZeroCoversItWithTheViewport) {
    const D3DVIEWPORT9 small = {10, 20, 30, 40, 0.0f, 10.0f};
    device->SetViewport(&small);
    ASSERT_EQ(device->SetRenderTarget(0, makeTarget(256, 128, D3DFMT_A8R8G8B8)), D3D_OK);
    D3DVIEWPORT9 vp = {};
    device->GetViewport(&vp);
    EXPECT_EQ(vp.X, 0u);
    EXPECT_EQ(vp.Y, 0u);
    EXPECT_EQ(vp.Width, 256u);
    EXPECT_EQ(vp.Height, 128u);
    EXPECT_EQ(vp.MaxZ, 1.0f);

    // Other indices leave the viewport alone.
    ASSERT_EQ(device->SetRenderTarget(1, makeTarget(8, 8, D3DFMT_R32F)), D3D_OK);
    device->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 256u);
}

TEST_F(RenderTargets, BindingFollowsDirect3DRules) {
    IDirect3DSurface9* target = makeTarget(8, 8, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->CreateDepthStencilSurface(8, 8, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                                &depth, nullptr),
              D3D_OK);
    IDirect3DSurface9* plain = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &plain,
                                                  nullptr),
              D3D_OK);

    IDirect3DSurface9* got = target;
    EXPECT_EQ(device->GetRenderTarget(1, &got), D3DERR_NOTFOUND);
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(device->GetRenderTarget(4, &got), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderTarget(4, target), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderTarget(1, plain), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderTarget(1, depth), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetDepthStencilSurface(target), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderTargetData(target, depth), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderTargetData(plain, plain), D3DERR_INVALIDCALL);

    ASSERT_EQ(device->SetRenderTarget(3, target), D3D_OK);
    ASSERT_EQ(device->GetRenderTarget(3, &got), D3D_OK);
    EXPECT_EQ(got, target);
    got->Release();
    ASSERT_EQ(device->SetDepthStencilSurface(depth), D3D_OK);
    ASSERT_EQ(device->GetDepthStencilSurface(&got), D3D_OK);
    EXPECT_EQ(got, depth);
    got->Release();
    ASSERT_EQ(device->SetDepthStencilSurface(nullptr), D3D_OK);
    got = depth;
    EXPECT_EQ(device->GetDepthStencilSurface(&got), D3DERR_NOTFOUND);
    EXPECT_EQ(got, nullptr);
    // Without a depth surface a depth clear still clears the colour.
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                            0xFF00FF00, 1.0f, 0),
              D3D_OK);
    EXPECT_EQ(argbAt(readBack(target), 8, 7, 7), 0xFF00FF00u);

    depth->Release();
    plain->Release();
}

struct ReadBackMismatchCase {
    const char* name;
    UINT width, height;
    D3DFORMAT format;
};

class ReadBackMismatch : public RenderTargets,
                         public ::testing::WithParamInterface<ReadBackMismatchCase> {};

TEST_P(ReadBackMismatch, IsRefusedAndLeavesTheCopyUntouched) {
    const ReadBackMismatchCase& c = GetParam();
    IDirect3DSurface9* target = makeTarget(16, 8, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(c.width, c.height, c.format, D3DPOOL_SYSTEMMEM,
                                                  &copy, nullptr),
              D3D_OK);
    EXPECT_EQ(device->GetRenderTargetData(target, copy), D3DERR_INVALIDCALL);
    copy->Release();
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadBackMismatch,
                         ::testing::Values(ReadBackMismatchCase{"Narrower", 8, 8, D3DFMT_A8R8G8B8},
                                           ReadBackMismatchCase{"Taller", 16, 9, D3DFMT_A8R8G8B8},
                                           ReadBackMismatchCase{"OtherFormat", 16, 8, D3DFMT_R32F}),
                         [](const auto& info) { return info.param.name; });

TEST_F(RenderTargets, ReferencesAreCountedAcrossTexturesSurfacesAndBindings) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                    D3DPOOL_DEFAULT, &texture, nullptr),
              D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    EXPECT_EQ(texture->AddRef(), 3u); // its own, the surface's and this one
    texture->Release();
    ASSERT_EQ(device->SetRenderTarget(1, surface), D3D_OK); // the binding holds one more
    EXPECT_EQ(surface->Release(), 2u);
    EXPECT_EQ(texture->Release(), 1u);
    ASSERT_EQ(device->SetRenderTarget(1, nullptr), D3D_OK); // the last reference goes
}

TEST_F(RenderTargets, ReleasingTheDeviceWithLeakedReferencesIsSafe) {
    IDirect3DSurface9* target = makeTarget(8, 8, D3DFMT_A8R8G8B8);
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    IDirect3DSurface9* depth = nullptr;
    device->CreateDepthStencilSurface(8, 8, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, TRUE, &depth,
                                      nullptr);
    device->SetDepthStencilSurface(depth);
    IDirect3DSurface9* plain = nullptr;
    device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &plain, nullptr);
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(1, &backBuffer); // nothing there
    IDirect3DTexture9* texture = nullptr;
    device->CreateTexture(4, 4, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr);

    velmo::Device::instance()->state->releaseAll(); // the last reference to the device

    IDirect3DSurface9* level = nullptr;
    EXPECT_EQ(texture->GetSurfaceLevel(0, &level), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->GetLevelCount(), 3u);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(plain->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_TRUE(port::testing::textureLevelPixels(texture, 0).empty());
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(plain->Release(), 0u);
    EXPECT_EQ(depth->Release(), 0u);
    // The fixture releases the render-target surface last.
}

} // namespace
