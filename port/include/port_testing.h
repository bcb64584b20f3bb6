// Hooks through which tests observe and steer the port. The program never calls these.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "d3d9.h"

namespace port::testing {

// Replaces the modal message box; the handler's result is returned by MessageBoxA.
// An empty handler restores the real box.
using MessageBoxHandler = std::function<int(HWND owner, const char* text, const char* caption,
                                            UINT type)>;
void setMessageBoxHandler(MessageBoxHandler handler);

// Replaces the clock behind timeGetTime and the sound position; empty restores the real one.
using Clock = std::function<DWORD()>;
void setClock(Clock clock);

// Makes the next Direct3D calls fail as a broken system would.
void setDirect3DCreateFails(bool fails);
enum class DeviceFailure { None, HardwareVertexProcessing, Both };
void setDeviceFailure(DeviceFailure failure);
void setWindowCreationFails(bool fails);

// How often Present has succeeded on a device, and the flags it was created with.
unsigned presentCount(IDirect3DDevice9* device);
DWORD deviceBehaviorFlags(IDirect3DDevice9* device);
D3DPRESENT_PARAMETERS devicePresentParameters(IDirect3DDevice9* device);

// Whether a top-level window is currently minimised or full screen.
bool isMinimised(HWND window);
bool isFullscreen(HWND window);

// Pushes an SDL key or close event for a window, as the user's input would arrive.
void pressKey(HWND window, WPARAM virtualKey);
void clickClose(HWND window);

} // namespace port::testing
