// D3DX meshes: two buffers made through the device, and the conversion between vertex formats
// and index sizes that CloneMeshFVF performs.
#include <d3dx9.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "d3d9/ref_counted.h"

namespace {

// Where each part of a flexible vertex format lies in a vertex, in bytes; -1 for absent parts.
struct VertexLayout {
    UINT stride = 0;
    int position = -1;
    int normal = -1;
    unsigned texSets = 0;
    std::array<int, 8> texOffset{};
    std::array<UINT, 8> texSize{}; // in bytes
};

UINT texCoordBytes(DWORD fvf, unsigned set) {
    switch ((fvf >> (set * 2 + 16)) & 3u) {
    case 1:
        return 12;
    case 2:
        return 16;
    case 3:
        return 4;
    default:
        return 8;
    }
}

// False for formats with parts the port does not know (other position kinds, colours, ...).
bool decodeFvf(DWORD fvf, VertexLayout& layout) {
    const DWORD known = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEXCOUNT_MASK | 0xffff0000u;
    const unsigned sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if ((fvf & ~known) != 0 || sets > 8) {
        return false;
    }
    layout = VertexLayout{};
    if (fvf & D3DFVF_XYZ) {
        layout.position = int(layout.stride);
        layout.stride += 12;
    }
    if (fvf & D3DFVF_NORMAL) {
        layout.normal = int(layout.stride);
        layout.stride += 12;
    }
    layout.texSets = sets;
    for (unsigned i = 0; i < sets; ++i) {
        layout.texOffset[i] = int(layout.stride);
        layout.texSize[i] = texCoordBytes(fvf, i);
        layout.stride += layout.texSize[i];
    }
    return layout.stride > 0;
}

// Copies the parts both layouts have; the destination record starts zeroed.
void convertVertex(const unsigned char* src, const VertexLayout& from, unsigned char* dst,
                   const VertexLayout& to) {
    std::memset(dst, 0, to.stride);
    if (from.position >= 0 && to.position >= 0) {
        std::memcpy(dst + to.position, src + from.position, 12);
    }
    if (from.normal >= 0 && to.normal >= 0) {
        std::memcpy(dst + to.normal, src + from.normal, 12);
    }
    for (unsigned i = 0; i < from.texSets && i < to.texSets; ++i) {
        const UINT bytes = from.texSize[i] < to.texSize[i] ? from.texSize[i] : to.texSize[i];
        std::memcpy(dst + to.texOffset[i], src + from.texOffset[i], bytes);
    }
}

class D3DXMesh final : public port::d3d9::RefCounted<ID3DXMesh> {
public:
    static HRESULT create(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                          IDirect3DDevice9* device, D3DXMesh** result) {
        *result = nullptr;
        VertexLayout layout;
        const DWORD knownOptions = D3DXMESH_32BIT | D3DXMESH_SYSTEMMEM | D3DXMESH_MANAGED;
        if (device == nullptr || numFaces == 0 || numVertices == 0 ||
            (options & ~knownOptions) != 0 || !decodeFvf(fvf, layout) ||
            (!(options & D3DXMESH_32BIT) && numVertices > 0x10000)) {
            return D3DERR_INVALIDCALL;
        }
        const D3DPOOL pool = (options & D3DXMESH_SYSTEMMEM) == D3DXMESH_SYSTEMMEM
                                 ? D3DPOOL_SYSTEMMEM
                             : (options & D3DXMESH_MANAGED) == D3DXMESH_MANAGED ? D3DPOOL_MANAGED
                                                                                : D3DPOOL_DEFAULT;
        const UINT indexBytes = (options & D3DXMESH_32BIT) ? 4 : 2;
        auto* mesh = new D3DXMesh(numFaces, numVertices, options, fvf, layout);
        HRESULT hr = device->CreateVertexBuffer(numVertices * layout.stride, 0, fvf, pool,
                                                &mesh->vertexBuffer, nullptr);
        if (SUCCEEDED(hr)) {
            hr = device->CreateIndexBuffer(numFaces * 3 * indexBytes, 0,
                                           indexBytes == 4 ? D3DFMT_INDEX32 : D3DFMT_INDEX16, pool,
                                           &mesh->indexBuffer, nullptr);
        }
        if (FAILED(hr)) {
            mesh->Release();
            return hr;
        }
        *result = mesh;
        return D3D_OK;
    }

    DWORD GetNumFaces() override { return faces; }
    DWORD GetNumVertices() override { return vertices; }
    DWORD GetFVF() override { return fvf; }
    DWORD GetOptions() override { return options; }

    HRESULT CloneMeshFVF(DWORD newOptions, DWORD newFvf, IDirect3DDevice9* device,
                         ID3DXMesh** cloneMesh) override {
        if (cloneMesh == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        *cloneMesh = nullptr;
        D3DXMesh* clone = nullptr;
        HRESULT hr = create(faces, vertices, newOptions, newFvf, device, &clone);
        if (FAILED(hr)) {
            return hr;
        }
        hr = copyVertices(*clone);
        if (SUCCEEDED(hr)) {
            hr = copyIndices(*clone);
        }
        if (FAILED(hr)) {
            clone->Release();
            return hr;
        }
        *cloneMesh = clone;
        return D3D_OK;
    }

    HRESULT GetVertexBuffer(IDirect3DVertexBuffer9** buffer) override {
        if (buffer == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        vertexBuffer->AddRef();
        *buffer = vertexBuffer;
        return D3D_OK;
    }

    HRESULT GetIndexBuffer(IDirect3DIndexBuffer9** buffer) override {
        if (buffer == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        indexBuffer->AddRef();
        *buffer = indexBuffer;
        return D3D_OK;
    }

private:
    D3DXMesh(DWORD faces, DWORD vertices, DWORD options, DWORD fvf, const VertexLayout& layout)
        : faces(faces), vertices(vertices), options(options), fvf(fvf), layout(layout) {}
    ~D3DXMesh() override {
        if (vertexBuffer != nullptr) {
            vertexBuffer->Release();
        }
        if (indexBuffer != nullptr) {
            indexBuffer->Release();
        }
    }

    HRESULT copyVertices(D3DXMesh& clone) {
        void* src = nullptr;
        void* dst = nullptr;
        HRESULT hr = vertexBuffer->Lock(0, 0, &src, D3DLOCK_READONLY);
        if (FAILED(hr)) {
            return hr;
        }
        hr = clone.vertexBuffer->Lock(0, 0, &dst, 0);
        if (SUCCEEDED(hr)) {
            for (DWORD i = 0; i < vertices; ++i) {
                convertVertex(static_cast<const unsigned char*>(src) + size_t(i) * layout.stride,
                              layout,
                              static_cast<unsigned char*>(dst) + size_t(i) * clone.layout.stride,
                              clone.layout);
            }
            clone.vertexBuffer->Unlock();
        }
        vertexBuffer->Unlock();
        return hr;
    }

    HRESULT copyIndices(D3DXMesh& clone) {
        void* src = nullptr;
        void* dst = nullptr;
        HRESULT hr = indexBuffer->Lock(0, 0, &src, D3DLOCK_READONLY);
        if (FAILED(hr)) {
            return hr;
        }
        hr = clone.indexBuffer->Lock(0, 0, &dst, 0);
        if (SUCCEEDED(hr)) {
            const bool wide = (options & D3DXMESH_32BIT) != 0;
            const bool cloneWide = (clone.options & D3DXMESH_32BIT) != 0;
            for (size_t i = 0; i < size_t(faces) * 3; ++i) {
                uint32_t index = 0;
                if (wide) {
                    std::memcpy(&index, static_cast<const uint32_t*>(src) + i, 4);
                } else {
                    uint16_t narrow = 0;
                    std::memcpy(&narrow, static_cast<const uint16_t*>(src) + i, 2);
                    index = narrow;
                }
                if (cloneWide) {
                    std::memcpy(static_cast<uint32_t*>(dst) + i, &index, 4);
                } else {
                    // A clone to 16 bits has at most 65536 vertices (checked at creation).
                    const auto narrow = static_cast<uint16_t>(index);
                    std::memcpy(static_cast<uint16_t*>(dst) + i, &narrow, 2);
                }
            }
            clone.indexBuffer->Unlock();
        }
        indexBuffer->Unlock();
        return hr;
    }

    DWORD faces;
    DWORD vertices;
    DWORD options;
    DWORD fvf;
    VertexLayout layout;
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    IDirect3DIndexBuffer9* indexBuffer = nullptr;
};

} // namespace

HRESULT WINAPI D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                                 IDirect3DDevice9* device, ID3DXMesh** mesh) {
    if (mesh == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    D3DXMesh* made = nullptr;
    const HRESULT hr = D3DXMesh::create(numFaces, numVertices, options, fvf, device, &made);
    *mesh = made;
    return hr;
}
