// The display modes of adapter 0 as Direct3D lists them.
#pragma once

#include <vector>

#include <SDL.h>
#include <d3d9.h>

namespace port::d3d9 {

// The display's modes (SDL lists them largest first) as Direct3D lists an adapter's modes of
// one format: ascending width, then height, the higher refresh rate first within one size.
// Programs rely on that order (a start-up choice preselects the first, the smallest). A size
// and rate that SDL lists in several pixel formats appears once.
std::vector<D3DDISPLAYMODE> adapterModes(const std::vector<SDL_DisplayMode>& display);

} // namespace port::d3d9
