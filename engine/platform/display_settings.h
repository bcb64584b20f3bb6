#pragma once

#include <cstdint>

namespace velmo {

// What the program asks of the display: back-buffer and window size, full-screen colour
// depth, full screen or windowed, the window's class name and title, and the aspect ratio
// (width / height) of the picture area inside the back buffer.
struct DisplaySettings {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 0;
    bool fullscreen = false;
    const char* title = nullptr;
    float aspectRatio = 0.0f;
};

} // namespace velmo
