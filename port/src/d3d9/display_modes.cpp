#include "d3d9/display_modes.h"

#include <algorithm>
#include <tuple>

namespace port::d3d9 {

std::vector<D3DDISPLAYMODE> adapterModes(const std::vector<SDL_DisplayMode>& display) {
    std::vector<D3DDISPLAYMODE> modes;
    modes.reserve(display.size());
    for (const SDL_DisplayMode& m : display) {
        modes.push_back({static_cast<UINT>(m.w), static_cast<UINT>(m.h),
                         static_cast<UINT>(m.refresh_rate), D3DFMT_X8R8G8B8});
    }
    const auto key = [](const D3DDISPLAYMODE& m) {
        return std::tuple(m.Width, m.Height, ~m.RefreshRate); // the higher rate first
    };
    std::sort(modes.begin(), modes.end(),
              [&key](const auto& a, const auto& b) { return key(a) < key(b); });
    modes.erase(std::unique(modes.begin(), modes.end(),
                            [&key](const auto& a, const auto& b) { return key(a) == key(b); }),
                modes.end());
    return modes;
}

} // namespace port::d3d9
