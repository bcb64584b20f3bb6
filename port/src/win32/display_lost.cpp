// The end of the run when the X display goes away: Xlib reports a broken connection to its
// I/O error handler and then exits, and the exit's clean-up would wait for ever on the dead
// connection (destroying the windows waits for the server's reply). The handler ends the
// process at once instead, as if the window had been closed.
#include <X11/Xlib.h>

#include <cstdio>
#include <unistd.h>

#include "win32/window_table.h"

namespace port::win32 {

namespace {

int displayLost(Display*) {
    std::fputs("velmo 08: the display went away; ending\n", stderr);
    std::fflush(nullptr);
    _exit(0);
}

} // namespace

void endWhenDisplayGoes() {
    XSetIOErrorHandler(&displayLost);
}

} // namespace port::win32
