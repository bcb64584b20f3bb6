// Textures made by D3DX from JPEG and PNG bytes in memory, read back from the GPU.
#include <cstring>
#include <vector>

#include <d3dx9.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <port_testing.h>

#include "support/engine_fixture.h"

#include "support/images.h"

namespace {

DWORD pixelAt(const std::vector<unsigned char>& bgra, UINT width, UINT x, UINT y) {
    DWORD v;
    std::memcpy(&v, &bgra[(size_t(y) * width + x) * 4], 4);
    return v;
}

class TextureFromMemory : public EngineTest {
protected:
    HRESULT load(const std::vector<unsigned char>& bytes) {
        return D3DXCreateTextureFromFileInMemoryEx(device, bytes.empty() ? nullptr : bytes.data(),
                                                   UINT(bytes.size()), D3DX_DEFAULT, D3DX_DEFAULT,
                                                   0, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT,
                                                   D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER,
                                                   D3DX_FILTER_BOX, 0, &info, nullptr, &texture);
    }

    void TearDown() override {
        if (texture != nullptr) {
            texture->Release();
        }
        EngineTest::TearDown();
    }

    D3DXIMAGE_INFO info = {};
    IDirect3DTexture9* texture = nullptr;
};

// Columns of red 0, 90 and 180 stretched from 3 to 4 pixels: each new pixel averages the
// source it covers, so the edges keep their colour and the middle blends 1:2 and 2:1.
TEST_F(TextureFromMemory, APngWithAlphaIsStretchedToPowersOfTwoWithItsPixels) {
    std::vector<unsigned char> rgba;
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            rgba.insert(rgba.end(), {static_cast<unsigned char>(90 * x),
                                     static_cast<unsigned char>(y == 0 ? 10 : 200), 30,
                                     static_cast<unsigned char>(y == 0 ? 255 : 64)});
        }
    }
    ASSERT_EQ(load(encodeImage(false, 3, 2, 4, rgba)), D3D_OK);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(info.Width, 3u);
    EXPECT_EQ(info.Height, 2u);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
    D3DSURFACE_DESC desc = {};
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(desc.Height, 2u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);

    const std::vector<unsigned char> level0 = port::testing::textureLevelPixels(texture, 0);
    ASSERT_EQ(level0.size(), 4u * 2u * 4u);
    const DWORD reds[4] = {0, 60, 120, 180};
    for (UINT x = 0; x < 4; ++x) {
        EXPECT_EQ(pixelAt(level0, 4, x, 0), 0xFF000A1Eu | (reds[x] << 16)) << x;
        EXPECT_EQ(pixelAt(level0, 4, x, 1), 0x4000C81Eu | (reds[x] << 16)) << x;
    }
}

TEST_F(TextureFromMemory, AJpegHasNoAlphaAndKeepsItsColour) {
    std::vector<unsigned char> rgb;
    for (int i = 0; i < 16 * 16; ++i) {
        rgb.insert(rgb.end(), {200, 100, 50});
    }
    ASSERT_EQ(load(encodeImage(true, 16, 16, 3, rgb)), D3D_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_JPG);
    EXPECT_EQ(info.Format, D3DFMT_X8R8G8B8);
    D3DSURFACE_DESC desc = {};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    const std::vector<unsigned char> level0 = port::testing::textureLevelPixels(texture, 0);
    ASSERT_EQ(level0.size(), 16u * 16u * 4u);
    for (UINT y : {0u, 15u}) {
        const DWORD p = pixelAt(level0, 16, 3, y);
        EXPECT_EQ(p >> 24, 0xFFu);
        EXPECT_NEAR(double((p >> 16) & 0xFF), 200.0, 3.0);
        EXPECT_NEAR(double((p >> 8) & 0xFF), 100.0, 3.0);
        EXPECT_NEAR(double(p & 0xFF), 50.0, 3.0);
    }
}

TEST_F(TextureFromMemory, EachMipLevelAveragesTheLevelAbove) {
    // A 2 x 2 picture of four greys: level 1 is their mean.
    const std::vector<unsigned char> grey = {0, 40, 80, 120};
    std::vector<unsigned char> rgb;
    for (unsigned char g : grey) {
        rgb.insert(rgb.end(), {g, g, g});
    }
    ASSERT_EQ(load(encodeImage(false, 2, 2, 3, rgb)), D3D_OK);
    ASSERT_EQ(texture->GetLevelCount(), 2u);
    EXPECT_EQ(pixelAt(port::testing::textureLevelPixels(texture, 1), 1, 0, 0), 0xFF3C3C3Cu);
}

struct SizeCase {
    int width, height;
    UINT textureWidth, textureHeight, levels;
};

class TextureSizes : public TextureFromMemory, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(TextureSizes, AreThePowersOfTwoAtOrAboveWithAFullMipChain) {
    const SizeCase c = GetParam();
    std::vector<unsigned char> rgb(size_t(c.width) * c.height * 3, 128);
    ASSERT_EQ(load(encodeImage(false, c.width, c.height, 3, rgb)), D3D_OK);
    EXPECT_EQ(info.Width, UINT(c.width));
    EXPECT_EQ(info.Height, UINT(c.height));
    D3DSURFACE_DESC desc = {};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, c.textureWidth);
    EXPECT_EQ(desc.Height, c.textureHeight);
    EXPECT_EQ(texture->GetLevelCount(), c.levels);
    texture->GetLevelDesc(c.levels - 1, &desc);
    EXPECT_EQ(desc.Width * desc.Height, 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, TextureSizes,
                         ::testing::Values(SizeCase{640, 480, 1024, 512, 11},
                                           SizeCase{1, 1, 1, 1, 1}, SizeCase{64, 64, 64, 64, 7},
                                           SizeCase{5, 33, 8, 64, 7}));

struct BadBytesCase {
    const char* name;
    std::vector<unsigned char> bytes;
};

class BadBytes : public TextureFromMemory, public ::testing::WithParamInterface<BadBytesCase> {};

TEST_P(BadBytes, FailWithNoTexture) {
    texture = reinterpret_cast<IDirect3DTexture9*>(&info); // must be overwritten with null
    EXPECT_TRUE(FAILED(load(GetParam().bytes)));
    EXPECT_EQ(texture, nullptr);
}

std::vector<unsigned char> truncatedPng() {
    std::vector<unsigned char> png =
        encodeImage(false, 8, 8, 3, std::vector<unsigned char>(192, 7));
    png.resize(png.size() / 2);
    return png;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadBytes,
    ::testing::Values(BadBytesCase{"NoBytes", {}},
                      BadBytesCase{"NotAnImage", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r'}},
                      BadBytesCase{"JpegMarkerOnly", {0xFF, 0xD8, 0xFF}},
                      BadBytesCase{"TruncatedPng", truncatedPng()}),
    [](const auto& info) { return info.param.name; });

TEST_F(TextureFromMemory, NullBytesWithASizeFail) {
    EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, nullptr, 100, D3DX_DEFAULT, D3DX_DEFAULT,
                                                  0, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT,
                                                  D3DX_FILTER_TRIANGLE, D3DX_FILTER_BOX, 0, nullptr,
                                                  nullptr, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
}

// An image wider or taller than the device's largest texture (as the header says, before
// anything is decoded) is refused as invalid data, as is one whose power-of-two texture would
// be too large; one that fits loads. The caller then goes on without the texture.
TEST_F(TextureFromMemory, ImagesLargerThanTheDeviceCanHoldAreInvalidData) {
    GLint max = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
    ASSERT_GT(max, 0);
    const auto m = static_cast<int>(max);
    const struct {
        int width, height;
        HRESULT expected;
    } cases[] = {{m + 1, 1, D3DXERR_INVALIDDATA},
                 {1, m + 1, D3DXERR_INVALIDDATA},
                 {m / 2 + 1, 2, D3D_OK},
                 {m, 1, D3D_OK}};
    for (const auto& c : cases) {
        const std::vector<unsigned char> png =
            encodeImage(false, c.width, c.height, 3,
                        std::vector<unsigned char>(size_t(c.width) * c.height * 3, 9));
        EXPECT_EQ(load(png), c.expected) << c.width << " x " << c.height;
        EXPECT_EQ(texture != nullptr, c.expected == D3D_OK);
        if (texture != nullptr) {
            texture->Release();
            texture = nullptr;
        }
    }

    // A header that claims 1 000 000 x 1 000 000 pixels over a few bytes of data: refused from
    // the header alone (decoding it would ask for 4 TB).
    std::vector<unsigned char> png = encodeImage(false, 1, 1, 3, {1, 2, 3});
    for (int at : {16, 20}) { // IHDR width, height (big-endian)
        png[at] = 0x00;
        png[at + 1] = 0x0F;
        png[at + 2] = 0x42;
        png[at + 3] = 0x40;
    }
    EXPECT_EQ(load(png), D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture, nullptr);
}

} // namespace
