#include "engine/platform/startup_dialog.h"

#include <cstdio>

#include <d3d9.h>

#include "engine/platform/engine.h"

namespace velmo {

namespace {

constexpr int startId = 1001;
constexpr int quitId = 1002;
constexpr int listId = 1003;
constexpr int fullscreenId = 1004; // shared by the check box and its label; the box is first

// Whether the run goes on: set when the window opens, cleared by "quit", Esc and closing.
bool startupResult = true;

HWND createControl(const char* className, const char* text, DWORD style, int x, int y, int w, int h,
                   HWND parent, int id, HINSTANCE instance) {
    return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), instance, nullptr);
}

IDirect3D9* direct3D() {
    Engine* engine = Engine::instance();
    return engine != nullptr ? engine->window->direct3D : nullptr;
}

} // namespace

std::string modeLine(UINT width, UINT height, UINT refreshRate) {
    // The largest common divisor below half the height reduces the size to its aspect.
    UINT divisor = 1;
    for (UINT d = 1; d < height / 2; ++d) {
        if (width % d == 0 && height % d == 0) {
            divisor = d;
        }
    }
    char aspect[32];
    std::snprintf(aspect, sizeof(aspect), "%i:%i", static_cast<int>(width / divisor),
                  static_cast<int>(height / divisor));
    char line[96];
    std::snprintf(line, sizeof(line), "%ix%i  [%s] %ihz", static_cast<int>(width),
                  static_cast<int>(height), aspect, static_cast<int>(refreshRate));
    return line;
}

bool runStartupDialog(HINSTANCE instance) {
    startupResult = true;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &startupDialogProc;
    wc.hInstance = instance;
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = "velmo";
    RegisterClassExA(&wc);

    HWND window = CreateWindowExA(
        0, "velmo", "vek", WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
        100, 100, 200, 380, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        // Nothing to wait for: the run goes on with the display defaults.
        return startupResult;
    }
    HWND start =
        createControl("BUTTON", "start", BS_DEFPUSHBUTTON, 0, 0, 50, 20, window, startId, instance);
    SetFocus(start);
    createControl("BUTTON", "quit", BS_PUSHBUTTON, 0, 20, 50, 20, window, quitId, instance);
    createControl("BUTTON", "fullScreenSelection", BS_AUTOCHECKBOX, 52, 22, 10, 10, window,
                  fullscreenId, instance);
    createControl("STATIC", "fullscreen", 0, 62, 18, 130, 20, window, fullscreenId, instance);
    HWND list =
        createControl("LISTBOX", "mirel", WS_VSCROLL, 0, 40, 194, 200, window, listId, instance);

    if (IDirect3D9* d3d = direct3D()) {
        // The count is asked again before each line, and the adapter's order is kept.
        for (UINT i = 0; i < d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8); ++i) {
            D3DDISPLAYMODE mode = {};
            d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &mode);
            const std::string line = modeLine(mode.Width, mode.Height, mode.RefreshRate);
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        }
    }
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(window, nullptr, TRUE);

    // The window's destruction posts a quit message, which ends this loop and nothing else.
    MSG msg;
    while (GetMessageA(&msg, window, 0, 0xFFFF) > 0) {
        if (!IsDialogMessageA(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return startupResult;
}

LRESULT CALLBACK startupDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == startId) {
            readStartupChoice(window);
            DestroyWindow(window);
            return 0;
        }
        if (LOWORD(wParam) == quitId) {
            startupResult = false;
            DestroyWindow(window);
            return 0;
        }
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            startupResult = false;
            DestroyWindow(window);
        }
        break;
    case WM_CLOSE:
        startupResult = false;
        DestroyWindow(window);
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void readStartupChoice(HWND window) {
    Engine* engine = Engine::instance();
    if (engine == nullptr) {
        return;
    }
    DisplaySettings& settings = engine->window->settings;
    HWND checkBox = GetDlgItem(window, fullscreenId);
    const LRESULT index = SendDlgItemMessageA(window, listId, LB_GETCURSEL, 0, 0);
    D3DDISPLAYMODE mode = {};
    // No selection (LB_ERR) is an index past every mode: the size stays as it was.
    if (IDirect3D9* d3d = direct3D();
        d3d != nullptr &&
        SUCCEEDED(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, static_cast<UINT>(index), &mode))) {
        settings.width = mode.Width;
        settings.height = mode.Height;
    }
    settings.fullscreen = SendMessageA(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

} // namespace velmo
