// Vertex and index buffers and the vertex input of the device.
#include "d3d9/device.h"

namespace port::d3d9 {

HRESULT Device::CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9** buffer,
                                   HANDLE*) {
    if (buffer != nullptr) {
        *buffer = nullptr;
    }
    return D3DERR_INVALIDCALL;
}
HRESULT Device::CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9** buffer,
                                  HANDLE*) {
    if (buffer != nullptr) {
        *buffer = nullptr;
    }
    return D3DERR_INVALIDCALL;
}
HRESULT Device::SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetStreamSource(UINT, IDirect3DVertexBuffer9**, UINT*, UINT*) {
    return D3DERR_INVALIDCALL;
}
HRESULT Device::SetIndices(IDirect3DIndexBuffer9*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetIndices(IDirect3DIndexBuffer9**) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetFVF(DWORD) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetFVF(DWORD*) { return D3DERR_INVALIDCALL; }

} // namespace port::d3d9
