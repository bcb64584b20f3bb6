#include "engine/render/screen_quad.h"

#include <dxerr.h>

#include "engine/resources/device_state.h"

namespace velmo {

void clearScreen(unsigned char alpha, unsigned char red, unsigned char green, unsigned char blue) {
    IDirect3DDevice9* device = Device::instance()->state->device;
    const D3DCOLOR color = (DWORD(alpha) << 24) | (DWORD(red) << 16) | (DWORD(green) << 8) | blue;
    HRESULT hr = device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0);
    if (FAILED(hr)) {
        DXGetErrorDescriptionA(hr);
    }
}

// The quad needs the port's fixed-function draw path, which arrives with the post-processing
// stages; until then the loading picture is not drawn.
void drawScreenQuad(ID3dSurface*, float, float, D3DBLEND, D3DBLEND) {}

} // namespace velmo
