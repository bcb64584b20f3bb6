#pragma once

#include <windows.h>

namespace velmo {

// Lets the user pick a display mode and full screen before the run; true for "start".
bool runStartupDialog(HINSTANCE instance);

} // namespace velmo
