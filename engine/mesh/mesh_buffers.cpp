#include "engine/mesh/mesh_buffers.h"

#include <algorithm>
#include <cstring>

#include "engine/resources/device_state.h"

namespace velmo {

MeshBuffers::MeshBuffers(int vertexHint, int faceHint)
    : device(Device::instance()->state->device), vertexHint(vertexHint), faceHint(faceHint) {}

MeshBuffers::~MeshBuffers() {
    if (indexBuffer != nullptr) {
        indexBuffer->Release();
    }
    if (vertexBuffer != nullptr) {
        vertexBuffer->Release();
    }
}

void MeshBuffers::reserve(int n, int m, int s) {
    if (n > 0 && n > indexCapacity) {
        if (indexBuffer != nullptr) {
            indexBuffer->Release();
            indexBuffer = nullptr;
        }
        indexCapacity = 0;
        const int size = std::max(n, 3 * faceHint);
        if (device != nullptr &&
            SUCCEEDED(device->CreateIndexBuffer(UINT(size) * 4, D3DUSAGE_DYNAMIC, D3DFMT_INDEX32,
                                                D3DPOOL_SYSTEMMEM, &indexBuffer, nullptr))) {
            indexCapacity = size;
        }
    }
    if (m > 0 && m > vertexCapacity) {
        if (vertexBuffer != nullptr) {
            vertexBuffer->Release();
            vertexBuffer = nullptr;
        }
        vertexCapacity = 0;
        const int size = std::max(m, vertexHint);
        if (device != nullptr && s > 0 &&
            SUCCEEDED(device->CreateVertexBuffer(UINT(size) * UINT(s), D3DUSAGE_DYNAMIC, 0,
                                                 D3DPOOL_SYSTEMMEM, &vertexBuffer, nullptr))) {
            vertexCapacity = size;
        }
    }
}

void MeshBuffers::assign(const void* vertexData, int newVertexCount, const uint32_t* indexData,
                         int newIndexCount) {
    stride = kVertexAttributeBytes;
    reserve(newIndexCount, newVertexCount, stride);
    if (vertexData != nullptr) {
        writeVertices(vertexData, newVertexCount);
    }
    if (indexData != nullptr) {
        writeIndices(indexData, newIndexCount);
    }
}

void MeshBuffers::assignGeometry(const VertexList& vertexList,
                                 const std::vector<uint32_t>* indexList) {
    // An empty list has no first vertex to take the stride from; it writes nothing.
    if (vertexList.empty()) {
        vertexCount = 0;
        indexCount = 0;
        return;
    }
    stride = vertexList.front()->byteSize() - static_cast<int>(sizeof(VertexBase));
    const int n = indexList != nullptr ? static_cast<int>(indexList->size()) : 0;
    const int m = static_cast<int>(vertexList.size());
    reserve(n, m, stride);

    std::vector<unsigned char> block(size_t(m) * kVertexAttributeBytes);
    for (int i = 0; i < m; ++i) {
        std::memcpy(&block[size_t(i) * kVertexAttributeBytes], &vertexList[i]->position,
                    kVertexAttributeBytes);
    }
    writeVertices(block.data(), m);
    if (indexList != nullptr) {
        writeIndices(indexList->data(), n);
    }
}

// A write larger than the buffer (its creation failed) writes nothing and leaves the count at
// zero, so that a draw never reads past what was written.
void MeshBuffers::writeVertices(const void* data, int count) {
    vertexCount = 0;
    if (count <= 0 || vertexBuffer == nullptr || count > vertexCapacity) {
        return;
    }
    void* locked = nullptr;
    const UINT bytes = UINT(count) * UINT(stride);
    if (SUCCEEDED(vertexBuffer->Lock(0, bytes, &locked, D3DLOCK_DISCARD))) {
        std::memcpy(locked, data, bytes);
        vertexBuffer->Unlock();
        vertexCount = count;
    }
}

void MeshBuffers::writeIndices(const uint32_t* data, int count) {
    indexCount = 0;
    if (count <= 0 || indexBuffer == nullptr || count > indexCapacity) {
        return;
    }
    void* locked = nullptr;
    const UINT bytes = UINT(count) * 4;
    if (SUCCEEDED(indexBuffer->Lock(0, bytes, &locked, D3DLOCK_DISCARD))) {
        std::memcpy(locked, data, bytes);
        indexBuffer->Unlock();
        indexCount = count;
    }
}

void MeshBuffers::draw() {
    if (indexBuffer == nullptr || vertexBuffer == nullptr || device == nullptr) {
        return;
    }
    device->SetStreamSource(0, vertexBuffer, 0, UINT(stride));
    device->SetFVF(kGpuVertexFvf);
    device->SetIndices(indexBuffer);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, UINT(vertexCount), 0,
                                 UINT(indexCount / 3));
}

} // namespace velmo
