// Modal message boxes: a real SDL box where a display is there, else the text on standard
// error (a headless run must never wait for a click nobody can give).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <port_testing.h>

#include "win32/window_table.h"

namespace {

port::testing::MessageBoxHandler& handler() {
    static port::testing::MessageBoxHandler h;
    return h;
}

bool displayPresent() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver != nullptr &&
        (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        return false;
    }
    return std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
}

} // namespace

void port::testing::setMessageBoxHandler(MessageBoxHandler h) {
    handler() = std::move(h);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (handler()) {
        return handler()(owner, text, caption, type);
    }
    text = text != nullptr ? text : "";
    caption = caption != nullptr ? caption : "Error";
    if (displayPresent()) {
        port::win32::WindowRecord* record = port::win32::findWindow(owner);
        SDL_Window* parent = record != nullptr ? record->sdl.get() : nullptr;
        const Uint32 flags = (type & MB_ICONERROR) == MB_ICONERROR ? SDL_MESSAGEBOX_ERROR
                                                                   : SDL_MESSAGEBOX_INFORMATION;
        if (SDL_ShowSimpleMessageBox(flags, caption, text, parent) == 0) {
            return IDOK;
        }
    }
    std::fprintf(stderr, "[%s] %s\n", caption, text);
    return IDOK;
}
