// The port's record of every window behind an HWND, shared by the Win32 and Direct3D parts.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <SDL.h>
#include <windows.h>

namespace port::win32 {

// SDL windows are shared: a device keeps its window's SDL window alive after the HWND has
// been destroyed, so that a frame in flight can still render and present without crashing.
using SdlWindowPtr = std::shared_ptr<SDL_Window>;

struct WindowRecord {
    HWND handle = nullptr;
    std::string className;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;
    int id = 0;
    std::string text;
    LONG_PTR userData = 0;
    RECT rect = {};
    bool minimised = false;
    bool fullscreen = false;
    SdlWindowPtr sdl; // top-level windows only
    std::vector<HWND> children;
};

// Starts SDL's video and event subsystems once; false when no video driver can start.
bool ensureVideo();

// The live record behind a handle, or null for a destroyed or unknown handle.
WindowRecord* findWindow(HWND window);
// The top-level window whose SDL window has this id, or null.
WindowRecord* findBySdlId(Uint32 id);

// Queues a message as PostMessageA does (no handle check).
void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace port::win32
