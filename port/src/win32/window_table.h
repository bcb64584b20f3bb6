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

// The state of a built-in control (button, static, list box); defined with the controls.
struct ControlState;

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
    HBRUSH background = nullptr;            // the class brush the port paints behind controls
    std::shared_ptr<ControlState> control;  // built-in controls only
    std::shared_ptr<SDL_Renderer> renderer; // top-level windows whose controls the port draws
    bool paintPending = false;              // invalid: a WM_PAINT is due when the queue is idle
};

// Starts SDL's video and event subsystems once; false when no video driver can start. The
// display-less drivers are used only when SDL_VIDEODRIVER names them.
bool ensureVideo();
// Whether video was tried and could not start (no display).
bool videoFailed();
// Ends the process (status 0, as a closed window does) when the X display goes away, and
// notes X errors that say a window of the program no longer exists.
void endWhenDisplayGoes();
// Whether a window was found destroyed from outside since the last call.
bool takeWindowGone();
// Whether the X window behind an SDL window still exists (true off X11). A window that another
// client destroyed is gone, and the next event pump closes the windows as after its error.
bool xWindowExists(SDL_Window* window);
// Ends the run on SIGHUP (the terminal closed) as on SIGTERM: a quit, unless the hang-up is
// already ignored or handled.
void endOnHangUp();

// The live record behind a handle, or null for a destroyed or unknown handle.
WindowRecord* findWindow(HWND window);
// The top-level window whose SDL window has this id, or null.
WindowRecord* findBySdlId(Uint32 id);

// Takes the painting due on a window (any window when null): the record whose WM_PAINT is
// due, its mark cleared, or null when none is.
WindowRecord* takePaint(HWND window);

// Queues a message as PostMessageA does (no handle check).
void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Drops the queued messages of a window that is being destroyed.
void discardMessages(HWND window);

} // namespace port::win32
