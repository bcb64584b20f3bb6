#include "engine/mesh/mesh.h"

#include "engine/mesh/mesh_transfer.h"
#include "engine/platform/log.h"
#include "engine/resources/device_state.h"

namespace velmo {

MeshData::MeshData(Mesh* owner, int vertexHint, int faceHint)
    : buffers(new MeshBuffers(vertexHint, faceHint)), geometry(new MeshGeometry),
      faceHint(faceHint), vertexHint(vertexHint), owner(owner) {}

MeshData::~MeshData() {
    delete buffers;
    delete geometry;
}

Mesh::Mesh(int vertexHint, int faceHint) : data(new MeshData(this, vertexHint, faceHint)) {}

Mesh::~Mesh() {
    delete data;
}

void Mesh::readBack() {
    downloadGeometry(*data->buffers, *this, data->readBackOption);
}

void Mesh::prepareRead() {
    if (data->syncState == MeshData::kEmpty) {
        fatalError(fatal::kGeometryOfEmptyMeshRead);
    } else if (data->syncState == MeshData::kGpuOnly) {
        readBack();
        data->syncState = MeshData::kBothCurrent;
    }
}

VertexList* Mesh::vertices() {
    prepareRead();
    return &data->geometry->vertices;
}

EdgeList* Mesh::edges() {
    prepareRead();
    return &data->geometry->edges;
}

FaceList* Mesh::faces() {
    prepareRead();
    return &data->geometry->faces;
}

void Mesh::editGeometry(VertexList** vertexList, EdgeList** edgeList, FaceList** faceList) {
    if (data->syncState == MeshData::kGpuOnly) {
        readBack();
        data->syncState = MeshData::kBothCurrent;
    }
    MeshGeometry& store = *data->geometry;
    if (vertexList != nullptr || edgeList != nullptr || faceList != nullptr) {
        store.vertexNormalsValid = false;
        store.faceNormalsValid = false;
    }
    if (vertexList != nullptr) {
        *vertexList = &store.vertices;
    }
    if (edgeList != nullptr) {
        *edgeList = &store.edges;
    }
    if (faceList != nullptr) {
        *faceList = &store.faces;
    }
    data->syncState = MeshData::kCpuCurrent;
}

void Mesh::transform(const D3DXMATRIX& m) {
    if (data->syncState != MeshData::kCpuCurrent && data->syncState != MeshData::kBothCurrent) {
        readBack();
        data->syncState = MeshData::kBothCurrent;
    }
    MeshGeometry& store = *data->geometry;
    store.vertexNormalsValid = false;
    store.faceNormalsValid = false;
    for (Vertex* v : store.vertices) {
        if (const Vec3* p = v->getPosition()) {
            const float x = p->x, y = p->y, z = p->z;
            v->setPosition(x * m._11 + y * m._21 + z * m._31 + m._41,
                           x * m._12 + y * m._22 + z * m._32 + m._42,
                           x * m._13 + y * m._23 + z * m._33 + m._43);
        }
        if (const Vec3* n = v->getNormal()) {
            const float x = n->x, y = n->y, z = n->z;
            v->setNormal(x * m._11 + y * m._21 + z * m._31, x * m._12 + y * m._22 + z * m._32,
                         x * m._13 + y * m._23 + z * m._33);
        }
    }
    data->syncState = MeshData::kCpuCurrent;
}

void Mesh::copyGeometryFrom(Mesh* source) {
    switch (source->data->syncState) {
    case MeshData::kEmpty:
        fatalError(fatal::kGeometryCopiedFromEmptyMesh);
        return;
    case MeshData::kGpuOnly:
        // Read with this mesh's weld option; the source stays as it is.
        downloadGeometry(*source->data->buffers, *this, data->readBackOption);
        break;
    default:
        data->geometry->copyFrom(*source->data->geometry);
        break;
    }
    data->syncState = MeshData::kCpuCurrent;
}

void Mesh::refreshGeometry() {
    if (data->normalsLocked) {
        return;
    }
    if (data->syncState != MeshData::kCpuCurrent && data->syncState != MeshData::kBothCurrent) {
        readBack();
        data->syncState = MeshData::kBothCurrent;
    }
    if (data->geometry->computeNormals()) {
        data->syncState = MeshData::kCpuCurrent;
    }
}

void Mesh::prepare() {
    switch (data->syncState) {
    case MeshData::kEmpty:
        fatalError(fatal::kEmptyMeshPrepared);
        break;
    case MeshData::kCpuCurrent:
        data->geometry->computeTangents();
        break;
    default:
        break;
    }
}

void Mesh::draw() {
    switch (data->syncState) {
    case MeshData::kEmpty:
        fatalError(fatal::kEmptyMeshDrawn);
        return;
    case MeshData::kCpuCurrent:
        uploadGeometry(*data->geometry, *this);
        data->syncState = MeshData::kBothCurrent;
        break;
    default:
        break;
    }
    data->buffers->draw();
}

void Mesh::loadFromD3DXMesh(ID3DXMesh* source) {
    VertexList* vertexList = nullptr;
    EdgeList* edgeList = nullptr;
    FaceList* faceList = nullptr;
    editGeometry(&vertexList, nullptr, nullptr);
    editGeometry(nullptr, &edgeList, nullptr);
    editGeometry(nullptr, nullptr, &faceList);

    ID3DXMesh* clone = nullptr;
    if (source == nullptr ||
        FAILED(source->CloneMeshFVF(D3DXMESH_32BIT, kGpuVertexFvf,
                                    Device::instance()->state->device, &clone))) {
        return;
    }
    IDirect3DIndexBuffer9* indexBuffer = nullptr;
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    clone->GetIndexBuffer(&indexBuffer);
    clone->GetVertexBuffer(&vertexBuffer);
    D3DINDEXBUFFER_DESC indexDesc = {};
    D3DVERTEXBUFFER_DESC vertexDesc = {};
    void* indices = nullptr;
    void* vertexData = nullptr;
    if (indexBuffer != nullptr && vertexBuffer != nullptr &&
        SUCCEEDED(indexBuffer->GetDesc(&indexDesc)) &&
        SUCCEEDED(vertexBuffer->GetDesc(&vertexDesc)) &&
        SUCCEEDED(indexBuffer->Lock(0, indexDesc.Size, &indices, D3DLOCK_READONLY))) {
        if (SUCCEEDED(vertexBuffer->Lock(0, vertexDesc.Size, &vertexData, D3DLOCK_READONLY))) {
            data->buffers->assign(vertexData, static_cast<int>(clone->GetNumVertices()),
                                  static_cast<const uint32_t*>(indices),
                                  3 * static_cast<int>(clone->GetNumFaces()));
            vertexBuffer->Unlock();
            data->syncState = MeshData::kGpuOnly;
        }
        indexBuffer->Unlock();
    }
    // The copy is the mesh's own; the clone and its buffers are not needed again.
    if (indexBuffer != nullptr) {
        indexBuffer->Release();
    }
    if (vertexBuffer != nullptr) {
        vertexBuffer->Release();
    }
    clone->Release();
}

} // namespace velmo
