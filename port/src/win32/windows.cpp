// Window classes and windows. Top-level windows are SDL windows (with OpenGL support, so a
// device can draw into them); child windows are records the parent draws.
#include <map>

#include <port_testing.h>

#include "trace.h"
#include "win32/controls.h"
#include "win32/window_table.h"

namespace port::win32 {

namespace {

struct WindowClass {
    WNDPROC proc = nullptr;
    HBRUSH background = nullptr;
};

struct State {
    std::map<std::string, WindowClass> classes;
    std::map<HWND, std::unique_ptr<WindowRecord>> windows;
    uintptr_t nextHandle = 0x1000;
    HWND focus = nullptr;
    int cursorCount = 0;
    bool windowCreationFails = false;
    // A full-screen mode granted by ChangeDisplaySettingsA, used by the next popup window.
    bool fullscreenPending = false;
    SDL_DisplayMode fullscreenMode = {};
};

State& state() {
    static State s;
    return s;
}

// A window that another client destroyed is left to the process's end: SDL would hide it
// first, and on such a window SDL can take it for mapped and wait for ever for the server to
// say it was unmapped.
void destroySdlWindow(SDL_Window* window) {
    if (window != nullptr && xWindowExists(window)) {
        SDL_DestroyWindow(window);
    }
}

// Drivers that show nothing: for tests, used only when SDL_VIDEODRIVER names them.
bool displayless(const char* driver) {
    for (const char* name : {"offscreen", "dummy", "evdev"}) {
        if (SDL_strcasecmp(driver, name) == 0) {
            return true;
        }
    }
    return false;
}

// Starts video on the driver SDL_VIDEODRIVER names, else on the first driver with a display;
// SDL alone would fall back to a display-less one and open windows nobody sees.
bool startVideo() {
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (asked != nullptr && *asked != '\0') {
        return SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
    }
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char* driver = SDL_GetVideoDriver(i);
        if (displayless(driver)) {
            continue;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0) {
            return true;
        }
    }
    SDL_SetError("no display (DISPLAY and WAYLAND_DISPLAY name none that opens)");
    return false;
}

int videoState = -1; // -1 not tried yet, 0 failed, 1 running

port::testing::ShowHandler& showHandler() {
    static port::testing::ShowHandler handler;
    return handler;
}

} // namespace

bool ensureVideo() {
    if (videoState < 0) {
        videoState = startVideo() ? 1 : 0;
        // SDL is not shut down at exit: the windows left in the window table are destroyed
        // with it (which also restores a changed display mode), and the GL driver stays
        // loaded until the process ends.
        if (videoState == 0) {
            SDL_Log("velmo 08 cannot open a window: %s", SDL_GetError());
        } else {
            SDL_GL_LoadLibrary(nullptr); // held for the whole process
            endOnHangUp();
            if (SDL_strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) {
                endWhenDisplayGoes();
            }
        }
    }
    return videoState == 1;
}

bool videoFailed() {
    return videoState == 0;
}

WindowRecord* findWindow(HWND window) {
    auto& windows = state().windows;
    auto it = windows.find(window);
    return it == windows.end() ? nullptr : it->second.get();
}

WindowRecord* takePaint(HWND window) {
    for (auto& [handle, record] : state().windows) {
        if (record->paintPending && (window == nullptr || handle == window)) {
            record->paintPending = false;
            return record.get();
        }
    }
    return nullptr;
}

WindowRecord* findBySdlId(Uint32 id) {
    for (auto& [handle, record] : state().windows) {
        if (record->sdl && SDL_GetWindowID(record->sdl.get()) == id) {
            return record.get();
        }
    }
    return nullptr;
}

} // namespace port::win32

using namespace port::win32;

void port::testing::setWindowCreationFails(bool fails) {
    state().windowCreationFails = fails;
}

std::vector<uint32_t> port::testing::windowPixels(HWND window, int& width, int& height) {
    width = height = 0;
    WindowRecord* record = findWindow(window);
    if (record == nullptr || !drawWindow(*record)) {
        return {};
    }
    SDL_Renderer* renderer = record->renderer.get();
    if (SDL_GetRendererOutputSize(renderer, &width, &height) != 0) {
        return {};
    }
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    SDL_RenderSetScale(renderer, 1.0f, 1.0f);
    if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                             width * static_cast<int>(sizeof(uint32_t))) != 0) {
        width = height = 0;
        return {};
    }
    return pixels;
}

bool port::testing::isMinimised(HWND window) {
    WindowRecord* record = findWindow(window);
    return record != nullptr && record->minimised;
}

bool port::testing::isFullscreen(HWND window) {
    WindowRecord* record = findWindow(window);
    return record != nullptr && record->fullscreen;
}

WORD RegisterClassExA(const WNDCLASSEXA* wc) {
    if (wc == nullptr || wc->lpszClassName == nullptr || wc->lpfnWndProc == nullptr) {
        return 0;
    }
    auto& classes = state().classes;
    if (classes.count(wc->lpszClassName) != 0) {
        return 0; // already registered: the first registration stays
    }
    classes[wc->lpszClassName] = {wc->lpfnWndProc, wc->hbrBackground};
    return static_cast<WORD>(classes.size());
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE, LPVOID) {
    State& s = state();
    if (className == nullptr || s.windowCreationFails) {
        return nullptr;
    }
    WindowClass cls;
    if (auto registered = s.classes.find(className); registered != s.classes.end()) {
        cls = registered->second;
    } else if (WNDPROC builtIn = builtInControlProc(className)) {
        cls.proc = builtIn;
    } else {
        return nullptr;
    }
    const bool child = (style & WS_CHILD) != 0;
    WindowRecord* parentRecord = findWindow(parent);
    if (child && parentRecord == nullptr) {
        return nullptr;
    }

    auto record = std::make_unique<WindowRecord>();
    record->className = className;
    record->proc = cls.proc;
    record->background = cls.background;
    record->style = style;
    record->exStyle = exStyle;
    record->parent = child ? parent : nullptr;
    record->id = child ? static_cast<int>(reinterpret_cast<intptr_t>(menu)) : 0;
    record->text = windowName != nullptr ? windowName : "";
    record->rect = {x, y, x + width, y + height};

    if (!child) {
        if (!ensureVideo()) {
            return nullptr;
        }
        Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
        const bool fullscreen = (style & WS_POPUP) != 0 && s.fullscreenPending;
        if (fullscreen) {
            flags |= SDL_WINDOW_FULLSCREEN;
        } else if ((style & WS_CAPTION) == 0) {
            flags |= SDL_WINDOW_BORDERLESS;
        }
        SDL_Window* window = SDL_CreateWindow(record->text.c_str(), x, y, width, height, flags);
        if (window == nullptr) {
            SDL_Log("window could not be created: %s", SDL_GetError());
            return nullptr;
        }
        if (fullscreen) {
            SDL_SetWindowDisplayMode(window, &s.fullscreenMode);
        } else {
            // The size asked for is the outer size: the frame lies inside it.
            int top = 0, left = 0, bottom = 0, right = 0;
            if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0 &&
                (top | left | bottom | right) != 0) {
                SDL_SetWindowSize(window, width - left - right, height - top - bottom);
            }
        }
        record->fullscreen = fullscreen;
        record->sdl = SdlWindowPtr(window, destroySdlWindow);
        port::trace("window %s %dx%d %s", record->text.c_str(), width, height,
                    fullscreen ? "fullscreen" : "windowed");
    }

    HWND handle = reinterpret_cast<HWND>(s.nextHandle);
    s.nextHandle += 4;
    record->handle = handle;
    if (child) {
        parentRecord->children.push_back(handle);
    }
    s.windows[handle] = std::move(record);
    SendMessageA(handle, WM_CREATE, 0, 0);
    if (WindowRecord* created = findWindow(handle); created && (style & WS_VISIBLE) && !child) {
        ShowWindow(handle, SW_SHOW);
    }
    return handle;
}

BOOL DestroyWindow(HWND window) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    SendMessageA(window, WM_DESTROY, 0, 0);
    record = findWindow(window); // the procedure may have destroyed it already
    if (record == nullptr) {
        return TRUE;
    }
    const std::vector<HWND> children = record->children;
    for (HWND child : children) {
        DestroyWindow(child);
    }
    State& s = state();
    if (WindowRecord* parent = findWindow(record->parent)) {
        std::erase(parent->children, window);
    }
    if (s.focus == window) {
        s.focus = nullptr;
    }
    discardMessages(window);
    record->renderer.reset(); // before its SDL window
    // A device may still hold the SDL window: hide it now; it goes with its last owner. A
    // window that another client destroyed is not hidden (see destroySdlWindow).
    if (record->sdl && xWindowExists(record->sdl.get())) {
        SDL_HideWindow(record->sdl.get());
    }
    s.windows.erase(window);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    return findWindow(window) != nullptr;
}

BOOL ShowWindow(HWND window, int command) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    const BOOL wasVisible = (record->style & WS_VISIBLE) != 0;
    if (command == SW_HIDE) {
        record->style &= ~WS_VISIBLE;
        if (record->sdl) {
            SDL_HideWindow(record->sdl.get());
        }
    } else {
        record->style |= WS_VISIBLE;
        if (record->sdl) {
            SDL_ShowWindow(record->sdl.get());
            if (command == SW_MINIMIZE || command == SW_SHOWMINIMIZED) {
                SDL_MinimizeWindow(record->sdl.get());
                record->minimised = true;
            }
            if (showHandler()) {
                showHandler()(window, record->text);
            }
        }
    }
    return wasVisible;
}

void port::testing::setShowHandler(ShowHandler handler) {
    showHandler() = std::move(handler);
}

BOOL CloseWindow(HWND window) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr || !record->sdl) {
        return FALSE;
    }
    SDL_MinimizeWindow(record->sdl.get());
    record->minimised = true;
    return TRUE;
}

BOOL IsIconic(HWND window) {
    WindowRecord* record = findWindow(window);
    return record != nullptr && record->minimised;
}

int ShowCursor(BOOL show) {
    State& s = state();
    s.cursorCount += show ? 1 : -1;
    if (ensureVideo()) {
        SDL_ShowCursor(s.cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    }
    return s.cursorCount;
}

BOOL SetForegroundWindow(HWND window) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr || !record->sdl) {
        return FALSE;
    }
    SDL_RaiseWindow(record->sdl.get());
    return TRUE;
}

HWND SetFocus(HWND window) {
    State& s = state();
    if (window != nullptr && findWindow(window) == nullptr) {
        return nullptr;
    }
    HWND previous = s.focus;
    if (previous == window) {
        return previous;
    }
    s.focus = window;
    if (findWindow(previous) != nullptr) {
        SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    }
    if (window != nullptr) {
        SendMessageA(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
    return findWindow(previous) != nullptr ? previous : nullptr;
}

HWND GetFocus() {
    return state().focus;
}

LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR value) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr || index != GWL_USERDATA) {
        return 0;
    }
    const LONG_PTR previous = record->userData;
    record->userData = value;
    return previous;
}

LONG_PTR GetWindowLongA(HWND window, int index) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr || index != GWL_USERDATA) {
        return 0;
    }
    return record->userData;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) {
        DestroyWindow(window);
    }
    return 0;
}

// The whole top-level window is marked for painting: the port draws its controls together.
// A control whose redrawing is switched off changes nothing on the screen.
BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    if (record->control && !record->control->redraw) {
        return TRUE;
    }
    topLevelOf(window)->paintPending = true;
    return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr || rect == nullptr) {
        return FALSE;
    }
    int w = record->rect.right - record->rect.left;
    int h = record->rect.bottom - record->rect.top;
    if (record->sdl) {
        SDL_GetWindowSize(record->sdl.get(), &w, &h);
    }
    *rect = {0, 0, w, h};
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
    WindowRecord* record = findWindow(dialog);
    if (record == nullptr) {
        return nullptr;
    }
    for (HWND child : record->children) {
        if (findWindow(child)->id == id) {
            return child;
        }
    }
    return nullptr;
}

HBRUSH GetSysColorBrush(int index) {
    // Brushes are plain colour indices; the port paints backgrounds from them.
    return reinterpret_cast<HBRUSH>(static_cast<intptr_t>(index + 1));
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    static char module;
    return moduleName == nullptr ? reinterpret_cast<HMODULE>(&module) : nullptr;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr || record->proc == nullptr) {
        return 0;
    }
    return record->proc(window, message, wParam, lParam);
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(GetDlgItem(dialog, id), message, wParam, lParam);
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags) {
    State& s = state();
    if (mode == nullptr) {
        s.fullscreenPending = false; // back to the desktop mode
        return DISP_CHANGE_SUCCESSFUL;
    }
    if ((flags & CDS_FULLSCREEN) == 0 || !ensureVideo()) {
        return DISP_CHANGE_FAILED;
    }
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) == 0 && DWORD(m.w) == mode->dmPelsWidth &&
            DWORD(m.h) == mode->dmPelsHeight) {
            s.fullscreenPending = true;
            s.fullscreenMode = m;
            return DISP_CHANGE_SUCCESSFUL;
        }
    }
    return DISP_CHANGE_BADMODE;
}
