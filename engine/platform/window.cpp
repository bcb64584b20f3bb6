#include "engine/platform/window.h"

#include <cmath>

#include "engine/platform/log.h"
#include "engine/resources/device_state.h"

namespace velmo {

Window::~Window() {
    CloseWindow(window);
    quit = true;
    if (direct3D != nullptr) {
        direct3D->Release();
        direct3D = nullptr;
    }
}

void Window::createWindow(DisplaySettings& s) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    wc.lpfnWndProc = &Window::windowProc;
    wc.cbWndExtra = 4;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = s.title;
    RegisterClassExA(&wc);

    DWORD exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    DWORD style = WS_OVERLAPPEDWINDOW;
    if (s.fullscreen) {
        DEVMODEA mode = {};
        mode.dmSize = sizeof(DEVMODEA);
        mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        mode.dmBitsPerPel = s.bitsPerPixel;
        mode.dmPelsWidth = s.width;
        mode.dmPelsHeight = s.height;
        if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL) {
            exStyle = WS_EX_APPWINDOW;
            style = WS_POPUP;
        } else {
            MessageBoxA(nullptr, "Couldn't change display-settings, fallback to windowed.",
                        "warning", MB_OK);
            s.fullscreen = false;
        }
    }

    HWND created =
        CreateWindowExA(exStyle, s.title, s.title, style, 0, 0, static_cast<int>(s.width),
                        static_cast<int>(s.height), nullptr, nullptr, nullptr, nullptr);
    if (created == nullptr) {
        MessageBoxA(nullptr, "Creating window failed.", "error", MB_OK);
        return;
    }
    ShowWindow(created, SW_SHOW);
    ShowCursor(FALSE);
    SetForegroundWindow(created);
    SetFocus(created);
    SetWindowLongA(created, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    window = created;
    quit = false;
}

void Window::createDevice(const DisplaySettings& s) {
    if (direct3D == nullptr) {
        MessageBoxA(nullptr, "Direct3DCreate9 failed!", "error", MB_OK);
        return;
    }
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = s.width;
    pp.BackBufferHeight = s.height;
    pp.BackBufferFormat = s.fullscreen ? D3DFMT_A8R8G8B8 : D3DFMT_UNKNOWN;
    pp.BackBufferCount = 1;
    pp.MultiSampleType = D3DMULTISAMPLE_NONE;
    pp.MultiSampleQuality = 0;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window;
    pp.Windowed = s.fullscreen ? FALSE : TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.Flags = 0;
    pp.FullScreen_RefreshRateInHz = 0;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;

    IDirect3DDevice9** device = &Device::instance()->state->device;
    if (FAILED(direct3D->CreateDevice(0, D3DDEVTYPE_HAL, window,
                                      D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, device))) {
        lookUp(direct3D->CreateDevice(0, D3DDEVTYPE_HAL, window,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, device));
    }
}

LRESULT CALLBACK Window::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSCOMMAND && (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER)) {
        return 0;
    }
    if (auto* self = reinterpret_cast<Window*>(GetWindowLongA(hwnd, GWL_USERDATA))) {
        self->handleMessage(message, wParam);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void Window::handleMessage(UINT message, WPARAM wParam) {
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            CloseWindow(window);
            quit = true;
        }
        break;
    case WM_CLOSE:
    case WM_QUIT:
        CloseWindow(window);
        quit = true;
        break;
    default:
        break;
    }
}

D3DVIEWPORT9 Window::letterboxViewport() const {
    const DWORD w = settings.width;
    const DWORD h = settings.height;
    const double a = settings.aspectRatio;
    DWORD vw;
    DWORD vh;
    if (a > 1.0) {
        vw = w;
        vh = static_cast<DWORD>(std::trunc(w / a));
        if (vh > h) {
            vw = static_cast<DWORD>(std::trunc(h * a));
            vh = h;
        }
    } else {
        vw = static_cast<DWORD>(std::trunc(h * a));
        vh = h;
        if (vw > w) {
            vw = w;
            vh = static_cast<DWORD>(std::trunc(w / a));
        }
    }
    D3DVIEWPORT9 vp;
    if (vw == w) {
        vp.X = 0;
        vp.Y = (h - vh) / 2;
    } else {
        vp.X = (w - vw) / 2;
        vp.Y = 0;
    }
    vp.Width = vw;
    vp.Height = vh;
    vp.MinZ = 0.0f;
    vp.MaxZ = 10.0f;
    return vp;
}

void Window::popViewport() {
    if (!viewportStack.empty()) {
        viewportStack.pop_back();
    }
    const D3DVIEWPORT9 vp = viewportStack.empty() ? letterboxViewport() : viewportStack.back();
    if (IDirect3DDevice9* device = Device::instance()->state->device) {
        device->SetViewport(&vp);
    }
}

} // namespace velmo
