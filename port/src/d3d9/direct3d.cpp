// The Direct3D object: the display modes of adapter 0 and device creation.
#include <optional>
#include <string>
#include <vector>

#include <port_testing.h>

#include "d3d9/device.h"
#include "d3d9/display_modes.h"
#include "d3d9/ref_counted.h"

namespace {

struct Failures {
    bool direct3DCreate = false;
    port::testing::DeviceFailure device = port::testing::DeviceFailure::None;
    std::optional<std::vector<D3DDISPLAYMODE>> modes; // a test's modes in place of the display's
};

Failures& failures() {
    static Failures f;
    return f;
}

// Why the last CreateDevice failed; empty after one succeeded.
std::string& deviceFailure() {
    static std::string text;
    return text;
}

// Modes offered when the display reports none of its own.
const std::vector<D3DDISPLAYMODE> commonModes = {
    {640, 480, 60, D3DFMT_X8R8G8B8},   {800, 600, 60, D3DFMT_X8R8G8B8},
    {1024, 768, 60, D3DFMT_X8R8G8B8},  {1280, 720, 60, D3DFMT_X8R8G8B8},
    {1280, 1024, 60, D3DFMT_X8R8G8B8}, {1366, 768, 60, D3DFMT_X8R8G8B8},
    {1600, 900, 60, D3DFMT_X8R8G8B8},  {1920, 1080, 60, D3DFMT_X8R8G8B8},
};

class Direct3D final : public port::d3d9::RefCounted<IDirect3D9> {
public:
    UINT GetAdapterCount() override { return 1; }

    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
        return adapter == 0 && format == D3DFMT_X8R8G8B8 ? static_cast<UINT>(modes().size()) : 0;
    }

    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                             D3DDISPLAYMODE* displayMode) override {
        if (adapter != 0 || format != D3DFMT_X8R8G8B8 || displayMode == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        const std::vector<D3DDISPLAYMODE> all = modes();
        if (mode >= all.size()) {
            return D3DERR_INVALIDCALL;
        }
        *displayMode = all[mode];
        return D3D_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** returned) override {
        if (returned == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        *returned = nullptr;
        if (adapter != 0 || deviceType != D3DDEVTYPE_HAL || pp == nullptr) {
            deviceFailure() = "the device was asked for with invalid arguments";
            return D3DERR_INVALIDCALL;
        }
        using port::testing::DeviceFailure;
        const DeviceFailure f = failures().device;
        if (f == DeviceFailure::Both ||
            (f == DeviceFailure::HardwareVertexProcessing &&
             (behaviorFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING))) {
            deviceFailure() = "a test made device creation fail";
            return D3DERR_NOTAVAILABLE;
        }
        HWND window = pp->hDeviceWindow != nullptr ? pp->hDeviceWindow : focusWindow;
        *returned = port::d3d9::Device::create(window, behaviorFlags, *pp, deviceFailure());
        return *returned != nullptr ? D3D_OK : D3DERR_NOTAVAILABLE;
    }

private:
    ~Direct3D() override = default;

    static std::vector<D3DDISPLAYMODE> modes() {
        if (failures().modes) {
            return *failures().modes;
        }
        std::vector<SDL_DisplayMode> display;
        if (port::win32::ensureVideo()) {
            const int count = SDL_GetNumDisplayModes(0);
            for (int i = 0; i < count; ++i) {
                SDL_DisplayMode m;
                if (SDL_GetDisplayMode(0, i, &m) == 0) {
                    display.push_back(m);
                }
            }
        }
        return display.empty() ? commonModes : port::d3d9::adapterModes(display);
    }
};

} // namespace

void port::testing::setDirect3DCreateFails(bool fails) { failures().direct3DCreate = fails; }
void port::testing::setDeviceFailure(DeviceFailure failure) { failures().device = failure; }
void port::testing::setAdapterModes(std::optional<std::vector<D3DDISPLAYMODE>> modes) {
    failures().modes = std::move(modes);
}

const char* Direct3DDeviceFailure9() {
    return deviceFailure().c_str();
}

IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION || failures().direct3DCreate) {
        return nullptr;
    }
    return new Direct3D;
}
