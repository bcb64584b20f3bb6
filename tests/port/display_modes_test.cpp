// The display modes Direct3D reports for adapter 0: the display's own, in the order Direct3D
// lists an adapter's modes, whatever order the display gives them in.
#include <algorithm>
#include <ostream>
#include <tuple>
#include <vector>

#include <d3d9.h>
#include <gtest/gtest.h>

#include "d3d9/display_modes.h"

namespace {

SDL_DisplayMode sdl(int w, int h, int refresh, Uint32 format = SDL_PIXELFORMAT_RGB888) {
    return {format, w, h, refresh, nullptr};
}

struct Size {
    UINT width, height, refresh;
    bool operator==(const Size&) const = default;
};
void PrintTo(const Size& s, std::ostream* out) {
    *out << s.width << "x" << s.height << "@" << s.refresh;
}

std::vector<Size> sizes(const std::vector<D3DDISPLAYMODE>& modes) {
    std::vector<Size> result;
    for (const D3DDISPLAYMODE& m : modes) {
        EXPECT_EQ(m.Format, D3DFMT_X8R8G8B8);
        result.push_back({m.Width, m.Height, m.RefreshRate});
    }
    return result;
}

struct OrderCase {
    const char* name;
    std::vector<SDL_DisplayMode> display;
    std::vector<Size> listed;
};

void PrintTo(const OrderCase& c, std::ostream* out) {
    *out << c.name;
}

class AdapterModeOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(AdapterModeOrder, AscendingSizeWithTheHigherRateFirst) {
    EXPECT_EQ(sizes(port::d3d9::adapterModes(GetParam().display)), GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AdapterModeOrder,
    ::testing::Values(
        // A desktop as SDL lists it: the largest first, each size's rates from high to low.
        OrderCase{"Desktop",
                  {sdl(1920, 1080, 60), sdl(1280, 1024, 75), sdl(1280, 1024, 60),
                   sdl(1280, 720, 60), sdl(1024, 768, 60), sdl(800, 600, 60), sdl(640, 480, 75),
                   sdl(640, 480, 60), sdl(640, 350, 85)},
                  {{640, 350, 85},
                   {640, 480, 75},
                   {640, 480, 60},
                   {800, 600, 60},
                   {1024, 768, 60},
                   {1280, 720, 60},
                   {1280, 1024, 75},
                   {1280, 1024, 60},
                   {1920, 1080, 60}}},
        // Width decides before height, and rates listed low first still come out high first.
        OrderCase{
            "WidthBeforeHeight",
            {sdl(720, 400, 70), sdl(640, 480, 60), sdl(720, 400, 85), sdl(1400, 900, 60),
             sdl(1280, 1024, 60)},
            {{640, 480, 60}, {720, 400, 85}, {720, 400, 70}, {1280, 1024, 60}, {1400, 900, 60}}},
        // One size and rate in several pixel formats is one mode of the adapter's format.
        OrderCase{"FormatsOfOneMode",
                  {sdl(1024, 768, 60, SDL_PIXELFORMAT_RGB888),
                   sdl(1024, 768, 60, SDL_PIXELFORMAT_RGB565), sdl(800, 600, 60)},
                  {{800, 600, 60}, {1024, 768, 60}}},
        OrderCase{"OneMode", {sdl(1280, 1024, 0)}, {{1280, 1024, 0}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Through the Direct3D object, with the display's real list: every mode SDL reports, in
// Direct3D's order.
TEST(AdapterModes, TheDisplaysModesInDirect3DsOrder) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    std::vector<SDL_DisplayMode> display;
    for (int i = 0; i < SDL_GetNumDisplayModes(0); ++i) {
        SDL_DisplayMode m;
        ASSERT_EQ(SDL_GetDisplayMode(0, i, &m), 0);
        display.push_back(m);
    }
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    std::vector<D3DDISPLAYMODE> listed(d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8));
    for (UINT i = 0; i < listed.size(); ++i) {
        ASSERT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &listed[i]), D3D_OK);
    }
    D3DDISPLAYMODE past = {};
    EXPECT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, static_cast<UINT>(listed.size()), &past),
              D3DERR_INVALIDCALL);
    d3d->Release();

    if (!display.empty()) {
        EXPECT_EQ(sizes(listed), sizes(port::d3d9::adapterModes(display)));
    }
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(), [](const auto& a, const auto& b) {
        return std::tuple(a.Width, a.Height, b.RefreshRate) <
               std::tuple(b.Width, b.Height, a.RefreshRate);
    }));
}

} // namespace
