#pragma once

#include <string>

#include <windows.h>

namespace velmo {

// The small window before the run: the user picks a display mode of adapter 0 and full
// screen or windowed. Runs its own message loop; true for "start", false for "quit", Esc or
// closing the window.
bool runStartupDialog(HINSTANCE instance);

// The window procedure of the start-up window's class.
LRESULT CALLBACK startupDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Writes the selected mode's size and the full-screen check box into the engine window's
// display settings.
void readStartupChoice(HWND window);

// The list line of a display mode, e.g. "1280x720  [16:9] 60hz".
std::string modeLine(UINT width, UINT height, UINT refreshRate);

} // namespace velmo
