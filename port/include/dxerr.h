// The text description of a Direct3D or system result code.
#pragma once

#include "windows.h"

// Returns a static, never-null description; unknown codes give a generic text.
const char* WINAPI DXGetErrorDescriptionA(HRESULT hr);
