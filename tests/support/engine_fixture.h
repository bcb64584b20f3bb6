// A running engine for tests: the main window (offscreen) and its device, with the demo's
// display settings, torn down in the program's shutdown order.
#pragma once

#include <vector>

#include <d3dx9.h>
#include <gtest/gtest.h>

#include "engine/platform/engine.h"
#include "engine/resources/device_state.h"

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Reads and dispatches every queued message, as the main loop's pump does.
    static void pumpMessages();

    // A surface's pixels read back through a system-memory copy: top row first, in the
    // surface's own format, rows of width * 4 bytes for the 32-bit formats.
    std::vector<unsigned char> readBack(IDirect3DSurface9* surface);
    // One pixel of such a read-back: an A8R8G8B8 colour, or an R32F value.
    static DWORD argbAt(const std::vector<unsigned char>& pixels, UINT width, UINT x, UINT y);
    static float floatAt(const std::vector<unsigned char>& pixels, UINT width, UINT x, UINT y);

    // An effect made on the device from a compiled effect file, or null when the file does not
    // read or the effect does not make; the test releases it.
    ID3DXEffect* createEffect(const char* path);

    // A render-target texture cleared to `color`; bound as render target 0 when `bind`.
    // The fixture releases it (and its surface) at the end of the test.
    IDirect3DTexture9* makeTarget(UINT width, UINT height, DWORD color, bool bind = true);
    // The pixels of render target 0, 0xAARRGGBB, top row first; `width` becomes its width.
    std::vector<DWORD> readTarget();
    DWORD at(const std::vector<DWORD>& pixels, UINT x, UINT y) const {
        return pixels[size_t(y) * width + x];
    }

    velmo::Engine* engine = nullptr;
    IDirect3DDevice9* device = nullptr;
    // Objects the test made, released before the device goes.
    std::vector<IUnknown*> held;
    UINT width = 0;
};
