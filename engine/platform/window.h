#pragma once

#include <deque>

#include <d3d9.h>

#include "engine/platform/display_settings.h"

namespace velmo {

// The Direct3D object, the main window, the display settings, the viewport stack of the
// render targets being drawn into, and the quit flag that ends the main loop.
class Window {
public:
    Window() = default;
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Opens the main window (full screen when asked and the display allows it).
    void createWindow(DisplaySettings& settings);
    // Creates the device into the device state, falling back to software vertex processing.
    void createDevice(const DisplaySettings& settings);

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void handleMessage(UINT message, WPARAM wParam);

    // The largest rectangle of the settings' aspect ratio, centred in the back buffer.
    D3DVIEWPORT9 letterboxViewport() const;
    // Drops the innermost render target's viewport and sets the one below it (or the letterbox).
    void popViewport();

    IDirect3D9* direct3D = nullptr;
    HWND window = nullptr;
    DisplaySettings settings;
    std::deque<D3DVIEWPORT9> viewportStack;
    bool quit = true;
};

} // namespace velmo
