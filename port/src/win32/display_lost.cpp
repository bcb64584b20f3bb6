// The end of the run when the X display goes away: Xlib reports a broken connection to its
// I/O error handler and then exits, and the exit's clean-up would wait for ever on the dead
// connection (destroying the windows waits for the server's reply). The handler ends the
// process at once instead, as if the window had been closed.
//
// A window destroyed by another client (xdotool windowclose, xkill -id) leaves SDL and the GL
// driver using an X window that no longer exists: the server answers with BadWindow or
// BadDrawable errors, whose default handler prints them and exits with status 1. These errors
// are taken as the window being gone: the next event pump asks the windows to close, so the
// run ends as it does when its window is closed. Other errors go to the handler before.
#include <X11/Xlib.h>

#include <cstdio>
#include <unistd.h>

#include <SDL_syswm.h>

#include "win32/window_table.h"

namespace port::win32 {

namespace {

XErrorHandler previousErrorHandler = nullptr;
bool windowGone = false;

int xError(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable) {
        windowGone = true;
        return 0;
    }
    return previousErrorHandler != nullptr ? previousErrorHandler(display, error) : 0;
}

int displayLost(Display*) {
    std::fputs("velmo 08: the display went away; ending\n", stderr);
    std::fflush(nullptr);
    _exit(0);
}

} // namespace

void endWhenDisplayGoes() {
    XSetIOErrorHandler(&displayLost);
    previousErrorHandler = XSetErrorHandler(&xError);
}

bool xWindowExists(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        return true;
    }
    // A round trip: a destroyed window answers with BadWindow, which xError takes.
    XWindowAttributes attributes;
    return XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes) != 0;
}

bool takeWindowGone() {
    const bool gone = windowGone;
    windowGone = false;
    return gone;
}

} // namespace port::win32
