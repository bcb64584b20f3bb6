#include "support/engine_fixture.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include <port_testing.h>

void EngineTest::SetUp() {
    engine = new velmo::Engine;
    velmo::DisplaySettings settings;
    settings.width = 640;
    settings.height = 480;
    settings.bitsPerPixel = 32;
    settings.fullscreen = false;
    settings.title = "velmo 08";
    settings.aspectRatio = 16.0f / 9.0f;
    ASSERT_TRUE(engine->init(settings));
    device = velmo::Device::instance()->state->device;
    ASSERT_NE(device, nullptr);
}

void EngineTest::TearDown() {
    // The test may have released the device itself already.
    if (IDirect3DDevice9* live = velmo::Device::instance()->state->device) {
        live->SetTexture(0, nullptr);
    }
    for (IUnknown* object : held) {
        object->Release();
    }
    velmo::Device::instance()->state->releaseAll();
    delete engine;
}

void EngineTest::pumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::vector<unsigned char> EngineTest::readBack(IDirect3DSurface9* surface) {
    std::vector<unsigned char> pixels = port::testing::surfacePixels(device, surface);
    EXPECT_FALSE(pixels.empty()) << "the surface could not be read back";
    return pixels;
}

DWORD EngineTest::argbAt(const std::vector<unsigned char>& pixels, UINT width, UINT x, UINT y) {
    DWORD v;
    std::memcpy(&v, &pixels.at((size_t(y) * width + x) * 4), 4);
    return v;
}

float EngineTest::floatAt(const std::vector<unsigned char>& pixels, UINT width, UINT x, UINT y) {
    float v;
    std::memcpy(&v, &pixels.at((size_t(y) * width + x) * 4), 4);
    return v;
}

ID3DXEffect* EngineTest::createEffect(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ID3DXEffect* effect = nullptr;
    if (bytes.empty() || FAILED(D3DXCreateEffect(device, bytes.data(), UINT(bytes.size()), nullptr,
                                                 nullptr, 0, nullptr, &effect, nullptr))) {
        return nullptr;
    }
    return effect;
}

IDirect3DTexture9* EngineTest::makeTarget(UINT w, UINT h, DWORD color, bool bind) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(w, h, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                    D3DPOOL_DEFAULT, &texture, nullptr),
              D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    texture->GetSurfaceLevel(0, &surface);
    held.push_back(texture);
    held.push_back(surface);
    IDirect3DSurface9* previous = nullptr;
    device->GetRenderTarget(0, &previous);
    device->SetRenderTarget(0, surface);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, color, 1.0f, 0);
    if (!bind) {
        device->SetRenderTarget(0, previous);
    }
    previous->Release();
    return texture;
}

std::vector<DWORD> EngineTest::readTarget() {
    IDirect3DSurface9* target = nullptr;
    device->GetRenderTarget(0, &target);
    D3DSURFACE_DESC desc = {};
    target->GetDesc(&desc);
    const std::vector<unsigned char> bytes = readBack(target);
    target->Release();
    std::vector<DWORD> pixels(size_t(desc.Width) * desc.Height);
    std::memcpy(pixels.data(), bytes.data(), std::min(bytes.size(), pixels.size() * 4));
    width = desc.Width;
    return pixels;
}
