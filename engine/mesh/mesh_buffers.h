// The GPU copy of a mesh: a vertex buffer of 64-byte vertices (position, normal, texture sets 0
// and 1, tangent and binormal) and an index buffer of 32-bit indices, drawn as a triangle list.
#pragma once

#include <cstdint>
#include <vector>

#include <d3d9.h>

#include "engine/mesh/vertex.h"

namespace velmo {

// The flexible vertex format of the GPU vertex: XYZ, NORMAL, four texture sets, sets 2 and 3
// (tangent and binormal) with three components.
inline constexpr DWORD kGpuVertexFvf = 0x500412;

class MeshBuffers {
public:
    // The buffers use the device state's device; the hints are the minimum sizes of new
    // buffers, in vertices and in faces (three indices each).
    MeshBuffers(int vertexHint, int faceHint);
    // Releases the index buffer and the vertex buffer, each only if present.
    ~MeshBuffers();
    MeshBuffers(const MeshBuffers&) = delete;
    MeshBuffers& operator=(const MeshBuffers&) = delete;

    // Makes the buffers hold at least n indices and m vertices of s bytes. A buffer only grows;
    // a new one is at least as large as the hint, and the old contents are not kept.
    void reserve(int n, int m, int s);
    // Writes raw 64-byte vertices and 32-bit indices; either data pointer may be null, and its
    // count is then ignored.
    void assign(const void* vertexData, int newVertexCount, const uint32_t* indexData,
                int newIndexCount);
    // Writes the attribute block of every vertex in list order and, when given, the indices.
    void assignGeometry(const VertexList& vertexList, const std::vector<uint32_t>* indexList);
    // Draws indexCount / 3 triangles; nothing when either buffer is missing.
    void draw();

    IDirect3DIndexBuffer9* indexBuffer = nullptr;
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    int indexCount = 0;
    int vertexCount = 0;
    int indexCapacity = 0;
    int vertexCapacity = 0;
    int stride = -1;
    IDirect3DDevice9* device = nullptr;
    int vertexHint = 0;
    int faceHint = 0;

private:
    void writeVertices(const void* data, int count);
    void writeIndices(const uint32_t* data, int count);
};

} // namespace velmo
