// Drawing state and draw calls of the device.
#include "d3d9/device.h"

namespace port::d3d9 {

HRESULT Device::SetTexture(DWORD, IDirect3DBaseTexture9*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetTexture(DWORD, IDirect3DBaseTexture9**) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD*) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) {
    return D3DERR_INVALIDCALL;
}
HRESULT Device::GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) {
    return D3DERR_INVALIDCALL;
}
HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) { return D3DERR_INVALIDCALL; }
HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) {
    return D3DERR_INVALIDCALL;
}
HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) {
    return D3DERR_INVALIDCALL;
}

} // namespace port::d3d9
