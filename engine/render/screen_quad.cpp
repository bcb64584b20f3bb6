#include "engine/render/screen_quad.h"

#include <d3dx9.h>

#include "engine/platform/engine.h"
#include "engine/platform/log.h"
#include "engine/resources/device_state.h"
#include "engine/resources/surface.h"

namespace velmo {

namespace {

// The alpha byte of the opacity: clamped to 0..1, then truncated toward zero. NaN gives 0.
DWORD opacityByte(float alpha) {
    const float a = alpha > 0.0f ? (alpha < 1.0f ? alpha : 1.0f) : 0.0f;
    return static_cast<DWORD>(a * 255.0f);
}

} // namespace

void clearScreen(unsigned char alpha, unsigned char red, unsigned char green, unsigned char blue) {
    IDirect3DDevice9* device = Device::instance()->state->device;
    if (device == nullptr) {
        return;
    }
    const D3DCOLOR color = (DWORD(alpha) << 24) | (DWORD(red) << 16) | (DWORD(green) << 8) | blue;
    lookUp(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0));
}

void drawScreenQuad(ID3dSurface* texture, float alpha, float enlarge, D3DBLEND destBlend,
                    D3DBLEND srcBlend) {
    IDirect3DDevice9* device = Device::instance()->state->device;
    if (device == nullptr) {
        return;
    }

    // x and y in -1..1 fill the viewport.
    D3DXMATRIX projection;
    D3DXMATRIX view;
    D3DXMATRIX world;
    D3DXMatrixOrthoLH(&projection, 2.0f, 2.0f, 0.0f, 1.0f);
    D3DXMatrixIdentity(&view);
    D3DXMatrixIdentity(&world);

    // The quad reaches `enlarge` past the sides and enlarge / aspect past the top and bottom.
    const D3DVIEWPORT9 letterbox = Engine::instance()->window->letterboxViewport();
    const uint32_t width = letterbox.Width;
    const uint32_t height = letterbox.Height;
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    const float ex = 1.0f + enlarge;
    const float ey = 1.0f + enlarge / aspect;
    // Two clockwise triangles; the texture's top row (v = 0) at the top of the screen.
    const ScreenVertex vertices[6] = {
        {-ex, -ey, 0.0f, 0.0f, 1.0f}, {-ex, ey, 0.0f, 0.0f, 0.0f}, {ex, ey, 0.0f, 1.0f, 0.0f},
        {ex, ey, 0.0f, 1.0f, 0.0f},   {ex, -ey, 0.0f, 1.0f, 1.0f}, {-ex, -ey, 0.0f, 0.0f, 1.0f},
    };

    lookUp(device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE));
    lookUp(device->SetRenderState(D3DRS_SRCBLEND, srcBlend));
    lookUp(device->SetRenderState(D3DRS_DESTBLEND, destBlend));
    lookUp(device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD));
    lookUp(device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE));
    lookUp(device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP));
    lookUp(device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP));
    lookUp(device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1));
    lookUp(device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR));
    lookUp(device->SetRenderState(D3DRS_TEXTUREFACTOR, opacityByte(alpha) << 24));

    if (texture != nullptr) {
        // The drawn colour is the texture's, its alpha the texture's times the opacity.
        lookUp(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1));
        lookUp(device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE));
        lookUp(device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE));
        lookUp(device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR));
        lookUp(device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TEXTURE));
        lookUp(device->SetTexture(0, texture->getTexture()));
        lookUp(device->SetTransform(D3DTS_PROJECTION, &projection));
        lookUp(device->SetTransform(D3DTS_VIEW, &view));
        lookUp(device->SetTransform(D3DTS_WORLD, &world));
        lookUp(device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR));
        lookUp(device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR));
        lookUp(device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE));
    }

    lookUp(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE));
    lookUp(device->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1));
    lookUp(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, vertices, sizeof(ScreenVertex)));
}

} // namespace velmo
