#include "engine/mesh/mesh_transfer.h"

#include <cstring>
#include <unordered_map>

#include "engine/mesh/mesh.h"
#include "engine/platform/log.h"

namespace velmo {

namespace {

// Squared distance below which two read-back positions are one vertex.
constexpr float kWeldDistanceSq = 1e-6f;

struct GpuVertex {
    float position[3];
    float normal[3];
    float uv0[2];
    float uv1[2];
    float tangent[3];
    float binormal[3];
};
static_assert(sizeof(GpuVertex) == kVertexAttributeBytes);

// The first kept vertex closer than the weld distance, or -1.
int findWeld(const VertexList& kept, const float* p) {
    for (size_t i = 0; i < kept.size(); ++i) {
        const Vec3& q = kept[i]->position;
        const float dx = q.x - p[0], dy = q.y - p[1], dz = q.z - p[2];
        if (dx * dx + dy * dy + dz * dz < kWeldDistanceSq) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Reads the vertex records into new vertices; gpuToVertex maps each record to its vertex.
void readVertices(const MeshBuffers& buffers, bool weld, VertexList& vertices,
                  std::vector<int>& gpuToVertex) {
    if (buffers.vertexBuffer == nullptr || buffers.vertexCount <= 0 ||
        buffers.stride != kVertexAttributeBytes) {
        return;
    }
    void* locked = nullptr;
    const UINT bytes = UINT(buffers.vertexCount) * kVertexAttributeBytes;
    if (FAILED(buffers.vertexBuffer->Lock(0, bytes, &locked, D3DLOCK_READONLY))) {
        return;
    }
    const auto* records = static_cast<const unsigned char*>(locked);
    gpuToVertex.resize(size_t(buffers.vertexCount));
    for (int i = 0; i < buffers.vertexCount; ++i) {
        GpuVertex record;
        std::memcpy(&record, records + size_t(i) * kVertexAttributeBytes, sizeof record);
        const int welded = weld ? findWeld(vertices, record.position) : -1;
        if (welded >= 0) {
            gpuToVertex[size_t(i)] = welded;
            continue;
        }
        auto* v = new Vertex(record.position[0], record.position[1], record.position[2]);
        v->setNormal(record.normal[0], record.normal[1], record.normal[2]);
        v->setUV0(record.uv0[0], record.uv0[1]);
        gpuToVertex[size_t(i)] = static_cast<int>(vertices.size());
        vertices.push_back(v);
    }
    buffers.vertexBuffer->Unlock();
}

void readTriangles(const MeshBuffers& buffers, const VertexList& vertices,
                   const std::vector<int>& gpuToVertex, EdgeList& edges, FaceList& faces) {
    const int triangles = buffers.indexCount / 3;
    if (buffers.indexBuffer == nullptr || triangles <= 0 || vertices.empty()) {
        return;
    }
    void* locked = nullptr;
    if (FAILED(buffers.indexBuffer->Lock(0, UINT(triangles) * 12, &locked, D3DLOCK_READONLY))) {
        return;
    }
    const auto* indices = static_cast<const uint32_t*>(locked);
    auto vertexOf = [&](uint32_t index) {
        return index < gpuToVertex.size() ? gpuToVertex[index] : 0;
    };
    // One edge per unordered vertex pair, entered under both orders.
    std::unordered_map<uint64_t, Edge*> edgeOf;
    auto edgeFor = [&](int first, int second) {
        const uint64_t key = (uint64_t(uint32_t(first)) << 32) | uint32_t(second);
        auto it = edgeOf.find(key);
        if (it != edgeOf.end()) {
            return it->second;
        }
        auto* edge = new Edge{vertices[size_t(first)], vertices[size_t(second)], nullptr, nullptr};
        edgeOf.emplace(key, edge);
        edgeOf.emplace((uint64_t(uint32_t(second)) << 32) | uint32_t(first), edge);
        edges.push_back(edge);
        return edge;
    };
    for (int t = 0; t < triangles; ++t) {
        const int a = vertexOf(indices[3 * t]);
        const int b = vertexOf(indices[3 * t + 1]);
        const int c = vertexOf(indices[3 * t + 2]);
        Edge* ab = edgeFor(a, b);
        Edge* bc = edgeFor(b, c);
        Edge* ca = edgeFor(c, a);
        faces.push_back(new TriFace(ab, bc, ca));
    }
    buffers.indexBuffer->Unlock();
}

} // namespace

void uploadGeometry(const MeshGeometry& geometry, Mesh& owner) {
    std::unordered_map<const Vertex*, uint32_t> numberOf;
    numberOf.reserve(geometry.vertices.size());
    for (size_t i = 0; i < geometry.vertices.size(); ++i) {
        numberOf.emplace(geometry.vertices[i], static_cast<uint32_t>(i));
    }
    std::vector<uint32_t> indices;
    indices.reserve(geometry.faces.size() * 6);
    VertexList corners;
    for (const FaceBase* face : geometry.faces) {
        corners.clear();
        face->triangulate(corners);
        for (const Vertex* v : corners) {
            auto it = numberOf.find(v);
            if (it == numberOf.end()) {
                fatalError(fatal::kFaceVertexMissingAtUpload);
                it = numberOf.emplace(v, 0u).first;
            }
            indices.push_back(it->second);
        }
    }
    owner.data->syncState = MeshData::kGpuOnly;
    owner.data->buffers->assignGeometry(geometry.vertices, &indices);
}

void downloadGeometry(const MeshBuffers& buffers, Mesh& owner, bool weld) {
    VertexList vertices;
    EdgeList edges;
    FaceList faces;
    std::vector<int> gpuToVertex;
    readVertices(buffers, weld, vertices, gpuToVertex);
    readTriangles(buffers, vertices, gpuToVertex, edges, faces);

    owner.data->syncState = MeshData::kCpuCurrent;
    MeshGeometry& store = *owner.data->geometry;
    store.clear();
    store.vertices = std::move(vertices);
    store.edges = std::move(edges);
    store.faces = std::move(faces);
    store.vertexNormalsValid = false;
    store.faceNormalsValid = false;
    store.tangentFramesValid = false;
}

} // namespace velmo
