// The end of the run when the terminal it was started from goes away. SDL turns SIGTERM and
// SIGINT into a quit, so the windows close and a changed display mode is restored; SIGHUP,
// left to its default, would end the process at once with the display still in the
// program's mode. A hang-up is passed on as SIGTERM, which then does whatever SIGTERM does.
#include <csignal>

#include "win32/window_table.h"

namespace port::win32 {

namespace {

void hangUp(int) {
    std::raise(SIGTERM); // async-signal-safe
}

} // namespace

void endOnHangUp() {
    struct sigaction current = {};
    // A hang-up ignored (nohup) or handled by someone else stays so.
    if (sigaction(SIGHUP, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
        return;
    }
    struct sigaction action = {};
    action.sa_handler = &hangUp;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGHUP, &action, nullptr);
}

} // namespace port::win32
