// Vertex and index buffers and the vertex input of the device.
#include "d3d9/buffers.h"
#include "d3d9/device.h"

namespace port::d3d9 {

namespace {

// The buffer behind an interface pointer when this device made it, else null.
template <class Concrete, class Interface> Concrete* ownBuffer(Interface* buffer, Device* device) {
    auto* concrete = dynamic_cast<Concrete*>(buffer);
    return concrete != nullptr && concrete->device() == device ? concrete : nullptr;
}

} // namespace

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** buffer, HANDLE* shared) {
    if (buffer == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = nullptr;
    if (shared != nullptr || !makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    VertexBuffer* made = nullptr;
    const HRESULT hr = VertexBuffer::create(this, length, usage, fvf, pool, &made);
    *buffer = made;
    return hr;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** buffer, HANDLE* shared) {
    if (buffer == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = nullptr;
    if (shared != nullptr || !makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    IndexBuffer* made = nullptr;
    const HRESULT hr = IndexBuffer::create(this, length, usage, format, pool, &made);
    *buffer = made;
    return hr;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                UINT stride) {
    VertexBuffer* concrete = ownBuffer<VertexBuffer>(buffer, this);
    if (stream != 0 || (buffer != nullptr && concrete == nullptr)) {
        return D3DERR_INVALIDCALL;
    }
    // Take the new reference first: rebinding the same buffer must not free it.
    if (concrete != nullptr) {
        concrete->AddRef();
    }
    if (streamSource != nullptr) {
        streamSource->Release();
    }
    streamSource = concrete;
    streamOffset = offset;
    streamStride = stride;
    return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                                UINT* stride) {
    if (stream != 0 || buffer == nullptr || offset == nullptr || stride == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (streamSource != nullptr) {
        streamSource->AddRef();
    }
    *buffer = streamSource;
    *offset = streamOffset;
    *stride = streamStride;
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* indices) {
    IndexBuffer* concrete = ownBuffer<IndexBuffer>(indices, this);
    if (indices != nullptr && concrete == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (concrete != nullptr) {
        concrete->AddRef();
    }
    if (indexBuffer != nullptr) {
        indexBuffer->Release();
    }
    indexBuffer = concrete;
    return D3D_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** indices) {
    if (indices == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (indexBuffer != nullptr) {
        indexBuffer->AddRef();
    }
    *indices = indexBuffer;
    return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
    vertexFormat = fvf;
    return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf) {
    if (fvf == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *fvf = vertexFormat;
    return D3D_OK;
}

} // namespace port::d3d9
