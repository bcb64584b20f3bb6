// Meshes keep their editable store and their GPU buffers in step: which operations read back,
// upload or report, what an upload writes and what a read-back rebuilds.
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/engine_fixture.h"
#include "support/message_boxes.h"

#include "engine/mesh/mesh.h"

using velmo::Edge;
using velmo::FaceBase;
using velmo::Mesh;
using velmo::MeshData;
using velmo::QuadFace;
using velmo::TriFace;
using velmo::Vertex;

namespace {

struct Record {
    float position[3];
    float normal[3];
    float uv0[2];
    float uv1[2];
    float tangent[3];
    float binormal[3];
};
static_assert(sizeof(Record) == 64);

class MeshTest : public EngineTest {
protected:
    Mesh* newMesh() { return velmo::Device::instance()->state->createMesh(); }

    // Fills an empty mesh through the write access: vertices at the given positions and one
    // face per corner list (3 or 4 vertex indices, in winding order), edges shared.
    static void fill(Mesh* mesh, const std::vector<std::vector<float>>& positions,
                     const std::vector<std::vector<int>>& faces) {
        velmo::VertexList* vertices = nullptr;
        velmo::EdgeList* edges = nullptr;
        velmo::FaceList* faceList = nullptr;
        mesh->editGeometry(&vertices, &edges, &faceList);
        for (const auto& p : positions) {
            vertices->push_back(new Vertex(p[0], p[1], p[2]));
        }
        auto edgeBetween = [&](Vertex* a, Vertex* b) {
            for (Edge* e : *edges) {
                if ((e->a == a && e->b == b) || (e->a == b && e->b == a)) {
                    return e;
                }
            }
            edges->push_back(new Edge{a, b});
            return edges->back();
        };
        for (const auto& corners : faces) {
            std::vector<Edge*> e;
            for (size_t i = 0; i < corners.size(); ++i) {
                e.push_back(edgeBetween((*vertices)[corners[i]],
                                        (*vertices)[corners[(i + 1) % corners.size()]]));
            }
            faceList->push_back(e.size() == 3
                                    ? static_cast<FaceBase*>(new TriFace(e[0], e[1], e[2]))
                                    : new QuadFace(e[0], e[1], e[2], e[3]));
        }
    }

    // Writes GPU vertices and indices straight into the buffers: a GPU-only mesh.
    static void setGpu(Mesh* mesh, const std::vector<Record>& vertices,
                       const std::vector<uint32_t>& indices) {
        mesh->data->buffers->assign(vertices.data(), int(vertices.size()), indices.data(),
                                    int(indices.size()));
        mesh->data->syncState = MeshData::kGpuOnly;
    }

    static std::vector<Record> gpuVertices(Mesh* mesh) {
        const auto& b = *mesh->data->buffers;
        std::vector<Record> out(size_t(b.vertexCount));
        void* data = nullptr;
        EXPECT_EQ(b.vertexBuffer->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
        std::memcpy(out.data(), data, out.size() * sizeof(Record));
        b.vertexBuffer->Unlock();
        return out;
    }

    static std::vector<uint32_t> gpuIndices(Mesh* mesh) {
        const auto& b = *mesh->data->buffers;
        std::vector<uint32_t> out(size_t(b.indexCount));
        void* data = nullptr;
        EXPECT_EQ(b.indexBuffer->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
        std::memcpy(out.data(), data, out.size() * 4);
        b.indexBuffer->Unlock();
        return out;
    }

    static Record at(float x, float y, float z, float nx = 0, float ny = 0, float nz = 0) {
        Record r = {};
        r.position[0] = x, r.position[1] = y, r.position[2] = z;
        r.normal[0] = nx, r.normal[1] = ny, r.normal[2] = nz;
        r.uv1[0] = r.uv1[1] = 7.0f; // never read back
        r.tangent[0] = r.binormal[1] = 5.0f;
        return r;
    }

    MessageBoxRecorder boxes;
};

const std::vector<std::vector<float>> kSquare = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};

TEST_F(MeshTest, EmptyMeshReportsEachMisuseAndStaysEmpty) {
    struct Case {
        const char* what;
        void (*op)(Mesh* mesh, Mesh* other);
        const char* box;
    };
    const Case cases[] = {
        {"read", [](Mesh* m, Mesh*) { EXPECT_TRUE(m->vertices()->empty()); }, "#166"},
        {"draw", [](Mesh* m, Mesh*) { m->draw(); }, "#141"},
        {"prepare", [](Mesh* m, Mesh*) { m->prepare(); }, "#202"},
        {"copy from empty",
         [](Mesh*, Mesh* o) {
             o->copyGeometryFrom(velmo::Device::instance()->state->createMesh());
         },
         "#117"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Mesh* mesh = newMesh();
        Mesh* other = newMesh();
        const size_t before = boxes.boxes().size();
        c.op(mesh, other);
        ASSERT_EQ(boxes.boxes().size(), before + 1);
        EXPECT_NE(boxes.boxes().back().text.find(c.box), std::string::npos);
        EXPECT_EQ(mesh->data->syncState, MeshData::kEmpty);
        EXPECT_EQ(other->data->syncState, MeshData::kEmpty);
        EXPECT_EQ(mesh->data->buffers->vertexBuffer, nullptr);
    }
}

TEST_F(MeshTest, EditedMeshUploadsOnceThenDrawsFromItsBuffers) {
    Mesh* mesh = newMesh();
    fill(mesh, kSquare, {{0, 1, 2, 3}});
    EXPECT_EQ(mesh->data->syncState, MeshData::kCpuCurrent);
    mesh->draw();
    EXPECT_EQ(mesh->data->syncState, MeshData::kBothCurrent);
    EXPECT_EQ(gpuVertices(mesh)[2].position[0], 1.0f);

    // A change made behind the accessors' back is not uploaded: the second draw does not
    // upload again.
    mesh->data->geometry->vertices[2]->position.x = 9.0f;
    mesh->draw();
    EXPECT_EQ(gpuVertices(mesh)[2].position[0], 1.0f);
    EXPECT_EQ(mesh->data->syncState, MeshData::kBothCurrent);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(MeshTest, TransformOfGpuOnlyMeshReadsBackAndTheNextDrawUploadsIt) {
    Mesh* mesh = newMesh();
    setGpu(mesh, {at(0, 0, 0, 0, 0, 1), at(1, 0, 0, 0, 0, 1), at(0, 1, 0, 0, 0, 1)}, {0, 1, 2});
    D3DXMATRIX m = {};
    m._11 = 2, m._22 = 1, m._33 = 1, m._44 = 1; // scale x by 2
    m._41 = 10, m._42 = 20, m._43 = 30;         // then translate
    m._31 = 1;                                  // and shear z into x
    mesh->transform(m);
    EXPECT_EQ(mesh->data->syncState, MeshData::kCpuCurrent);
    ASSERT_EQ(mesh->data->geometry->vertices.size(), 3u);
    const Vertex* v = mesh->data->geometry->vertices[1];
    EXPECT_EQ(v->position, D3DXVECTOR3(12, 20, 30));
    EXPECT_EQ(v->normal, D3DXVECTOR3(1, 0, 1)); // not normalised
    mesh->draw();
    EXPECT_EQ(gpuVertices(mesh)[1].position[0], 12.0f);
    EXPECT_EQ(mesh->data->syncState, MeshData::kBothCurrent);
}

TEST_F(MeshTest, RefreshAndPrepareFollowTheSyncState) {
    // Locked normals: nothing at all, not even the read-back.
    Mesh* locked = newMesh();
    setGpu(locked, {at(0, 0, 0), at(1, 0, 0), at(0, 1, 0)}, {0, 1, 2});
    locked->data->normalsLocked = true;
    locked->refreshGeometry();
    EXPECT_EQ(locked->data->syncState, MeshData::kGpuOnly);
    EXPECT_TRUE(locked->data->geometry->vertices.empty());

    // GPU-only: read back, then new normals make the store the current copy.
    Mesh* gpu = newMesh();
    setGpu(gpu, {at(0, 0, 0), at(1, 0, 0), at(0, 1, 0)}, {0, 1, 2});
    gpu->refreshGeometry();
    EXPECT_EQ(gpu->data->syncState, MeshData::kCpuCurrent);
    EXPECT_EQ(gpu->data->geometry->vertices[0]->normal, D3DXVECTOR3(0, 0, 1));

    // Both current with valid normals: nothing changes.
    gpu->draw();
    gpu->refreshGeometry();
    EXPECT_EQ(gpu->data->syncState, MeshData::kBothCurrent);

    // Tangent frames are computed only while the store alone is current.
    gpu->prepare();
    EXPECT_FALSE(gpu->data->geometry->tangentFramesValid);
    fill(gpu, {}, {});
    gpu->prepare();
    EXPECT_TRUE(gpu->data->geometry->tangentFramesValid);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(MeshTest, CopyFromGpuOnlySourceReadsWithTheCopysWeldOption) {
    Mesh* source = newMesh();
    setGpu(source, {at(0, 0, 0), at(1, 0, 0), at(0, 1, 0), at(1, 0, 0), at(1, 1, 0), at(0, 1, 0)},
           {0, 1, 2, 3, 4, 5});
    Mesh* welded = newMesh();
    welded->data->readBackOption = true;
    welded->copyGeometryFrom(source);
    EXPECT_EQ(welded->data->syncState, MeshData::kCpuCurrent);
    EXPECT_EQ(welded->data->geometry->vertices.size(), 4u);
    EXPECT_EQ(source->data->syncState, MeshData::kGpuOnly);
    EXPECT_TRUE(source->data->geometry->vertices.empty());

    Mesh* plain = newMesh();
    plain->copyGeometryFrom(source);
    EXPECT_EQ(plain->data->geometry->vertices.size(), 6u);

    // A CPU-current source is copied as it stands.
    Mesh* copy = newMesh();
    copy->copyGeometryFrom(welded);
    EXPECT_EQ(copy->data->geometry->vertices.size(), 4u);
    EXPECT_EQ(copy->data->geometry->faces.size(), 2u);
    EXPECT_NE(copy->data->geometry->vertices[0], welded->data->geometry->vertices[0]);
}

TEST_F(MeshTest, UploadWritesEachVertexOnceAndEachFaceInLoopOrder) {
    Mesh* mesh = newMesh();
    // Two triangles sharing vertices 1 and 2, then a quad; a face's loop starts at the vertex
    // its first two edges share.
    fill(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {2, 1, 3}, {0, 1, 3, 2}});
    mesh->draw();
    EXPECT_EQ(mesh->data->buffers->vertexCount, 4);
    EXPECT_EQ(gpuIndices(mesh), (std::vector<uint32_t>{1, 2, 0, 1, 3, 2, 1, 3, 2, 2, 0, 1}));
    EXPECT_EQ(gpuVertices(mesh)[3].position[1], 1.0f);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(MeshTest, UploadOfAFaceVertexOutsideTheStoreReportsOnceAndWritesIndexZero) {
    Mesh* mesh = newMesh();
    fill(mesh, kSquare, {{0, 1, 2}, {0, 2, 3}});
    // Re-point two corners of the second face at a vertex the store does not hold.
    Vertex stray(5, 5, 5);
    Edge* e = mesh->data->geometry->faces[1]->getEdge(1); // (2, 3)
    Edge* f = mesh->data->geometry->faces[1]->getEdge(2); // (3, 0)
    e->b = &stray;
    f->a = &stray;
    mesh->draw();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_NE(boxes.boxes()[0].text.find("#320"), std::string::npos);
    EXPECT_EQ(gpuIndices(mesh), (std::vector<uint32_t>{1, 2, 0, 2, 0, 0}));
}

// A flat-shaded unit cube: four vertices of its own per side, each with the side's normal.
std::vector<Record> flatCube(std::vector<uint32_t>& indices) {
    std::vector<Record> v;
    const float n[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int s = 0; s < 6; ++s) {
        const int axis = s / 2;
        const float sign = n[s][axis];
        const int u = (axis + 1) % 3, w = (axis + 2) % 3;
        const uint32_t base = uint32_t(v.size());
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& c : corners) {
            Record r = {};
            r.position[axis] = sign;
            r.position[u] = c[0];
            r.position[w] = c[1];
            std::memcpy(r.normal, n[s], sizeof r.normal);
            r.uv0[0] = float(s);
            r.uv1[0] = r.tangent[0] = r.binormal[0] = 3.0f;
            v.push_back(r);
        }
        indices.insert(indices.end(), {base, base + 1, base + 2, base + 2, base + 3, base});
    }
    return v;
}

TEST_F(MeshTest, ReadBackOfAFlatShadedCubeWithAndWithoutWeld) {
    for (const bool weld : {true, false}) {
        SCOPED_TRACE(weld ? "weld" : "no weld");
        Mesh* mesh = newMesh();
        std::vector<uint32_t> indices;
        const std::vector<Record> records = flatCube(indices);
        setGpu(mesh, records, indices);
        mesh->data->readBackOption = weld;
        const velmo::VertexList& vertices = *mesh->vertices();
        EXPECT_EQ(mesh->data->syncState, MeshData::kBothCurrent);
        ASSERT_EQ(vertices.size(), weld ? 8u : 24u);
        EXPECT_EQ(mesh->data->geometry->faces.size(), 12u);
        // 12 box edges and a diagonal per side when welded; 4 + 1 per side otherwise.
        EXPECT_EQ(mesh->data->geometry->edges.size(), weld ? 18u : 30u);
        // The first record at each position gives the normal and set 0 (each record its own
        // without the weld); set 1 and the tangent frame are zero.
        for (size_t i = 0; i < vertices.size(); ++i) {
            const Vertex* v = vertices[i];
            for (size_t k = weld ? 0 : i; k < records.size(); ++k) {
                const Record& r = records[k];
                if (v->position == D3DXVECTOR3(r.position[0], r.position[1], r.position[2])) {
                    EXPECT_TRUE(v->normal == D3DXVECTOR3(r.normal[0], r.normal[1], r.normal[2]));
                    EXPECT_EQ(v->uv0[0], r.uv0[0]);
                    break;
                }
            }
            EXPECT_EQ(v->uv1[0], 0.0f);
            EXPECT_EQ(v->tangent, D3DXVECTOR3(0, 0, 0));
            EXPECT_EQ(v->binormal, D3DXVECTOR3(0, 0, 0));
        }
        // Triangle (a, b, c) reads back with the loop b, c, a: the same winding.
        velmo::VertexList loop;
        FaceBase::appendVertexLoop(mesh->data->geometry->faces[0], loop);
        EXPECT_EQ(loop[0]->position, D3DXVECTOR3(records[1].position[0], records[1].position[1],
                                                 records[1].position[2]));
        EXPECT_EQ(loop[2]->position, D3DXVECTOR3(records[0].position[0], records[0].position[1],
                                                 records[0].position[2]));
    }
}

TEST_F(MeshTest, WeldJoinsPositionsCloserThanTheThreshold) {
    struct Case {
        float apart;
        size_t vertices;
    };
    for (const Case c : {Case{0.0009f, 3u}, Case{0.002f, 4u}}) {
        SCOPED_TRACE(c.apart);
        Mesh* mesh = newMesh();
        mesh->data->readBackOption = true;
        // The second triangle's last corner is almost the first corner: it welds into a
        // triangle with an edge from one vertex to itself.
        setGpu(mesh, {at(0, 0, 0), at(1, 0, 0), at(0, 1, 0), at(c.apart, 0, 0)},
               {0, 1, 2, 1, 0, 3});
        EXPECT_EQ(mesh->vertices()->size(), c.vertices);
        EXPECT_EQ(mesh->data->geometry->faces.size(), 2u);
        const Edge* e = mesh->data->geometry->faces[1]->getEdge(1);
        EXPECT_EQ(e->a == e->b, c.vertices == 3u);
    }
}

TEST_F(MeshTest, ReadBackWithoutBuffersGivesEmptyLists) {
    Mesh* mesh = newMesh();
    // A stale store is replaced, and nothing is read out of the missing buffers.
    fill(mesh, kSquare, {{0, 1, 2}});
    mesh->data->syncState = MeshData::kGpuOnly;
    D3DXMATRIX identity = {};
    identity._11 = identity._22 = identity._33 = identity._44 = 1;
    mesh->transform(identity);
    EXPECT_TRUE(mesh->data->geometry->vertices.empty());
    EXPECT_TRUE(mesh->data->geometry->faces.empty());
    EXPECT_EQ(mesh->data->syncState, MeshData::kCpuCurrent);
    // Uploading an empty store writes nothing and draws nothing.
    mesh->draw();
    EXPECT_EQ(mesh->data->buffers->vertexBuffer, nullptr);
    EXPECT_EQ(mesh->data->buffers->indexCount, 0);
}

TEST_F(MeshTest, BuffersGrowOnlyWhenAWriteNeedsMoreRoom) {
    velmo::MeshBuffers buffers(10, 4); // hints: 10 vertices, 12 indices
    struct Step {
        int indices, vertices;
        int indexCapacity, vertexCapacity;
        bool newIndexBuffer, newVertexBuffer;
    };
    const Step steps[] = {
        {3, 3, 12, 10, true, true},     // the hints are the minimum
        {12, 10, 12, 10, false, false}, // up to the hints: reused
        {1, 1, 12, 10, false, false},   // smaller: reused
        {15, 20, 15, 20, true, true},   // larger: recreated at the exact size
        {0, 0, 15, 20, false, false},   // nothing to hold
        {15, 21, 15, 21, false, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << s.indices << " indices, " << s.vertices << " vertices");
        IDirect3DIndexBuffer9* oldIndex = buffers.indexBuffer;
        IDirect3DVertexBuffer9* oldVertex = buffers.vertexBuffer;
        if (oldIndex != nullptr) {
            oldIndex->AddRef(); // keep the old buffers' addresses from being reused
            oldVertex->AddRef();
        }
        buffers.reserve(s.indices, s.vertices, 64);
        EXPECT_EQ(buffers.indexCapacity, s.indexCapacity);
        EXPECT_EQ(buffers.vertexCapacity, s.vertexCapacity);
        EXPECT_EQ(buffers.indexBuffer != oldIndex, s.newIndexBuffer);
        EXPECT_EQ(buffers.vertexBuffer != oldVertex, s.newVertexBuffer);
        D3DVERTEXBUFFER_DESC vd = {};
        D3DINDEXBUFFER_DESC id = {};
        buffers.vertexBuffer->GetDesc(&vd);
        buffers.indexBuffer->GetDesc(&id);
        EXPECT_EQ(vd.Size, UINT(s.vertexCapacity) * 64);
        EXPECT_EQ(id.Size, UINT(s.indexCapacity) * 4);
        EXPECT_EQ(id.Format, D3DFMT_INDEX32);
        EXPECT_EQ(vd.Pool, D3DPOOL_SYSTEMMEM);
        EXPECT_EQ(vd.Usage, DWORD(D3DUSAGE_DYNAMIC));
        if (oldIndex != nullptr) {
            oldIndex->Release();
            oldVertex->Release();
        }
    }
}

TEST_F(MeshTest, DrawNeedsBothBuffers) {
    Mesh* mesh = newMesh();
    const Record r = at(0, 0, 0);
    mesh->data->buffers->assign(&r, 1, nullptr, 0);
    mesh->data->syncState = MeshData::kGpuOnly;
    mesh->draw();
    IDirect3DVertexBuffer9* bound = nullptr;
    UINT offset = 0, stride = 0;
    ASSERT_EQ(device->GetStreamSource(0, &bound, &offset, &stride), D3D_OK);
    EXPECT_EQ(bound, nullptr);

    const uint32_t indices[3] = {0, 0, 0};
    mesh->data->buffers->assign(&r, 1, indices, 3);
    mesh->draw();
    ASSERT_EQ(device->GetStreamSource(0, &bound, &offset, &stride), D3D_OK);
    EXPECT_EQ(bound, mesh->data->buffers->vertexBuffer);
    EXPECT_EQ(stride, 64u);
    bound->Release();
    DWORD fvf = 0;
    device->GetFVF(&fvf);
    EXPECT_EQ(fvf, velmo::kGpuVertexFvf);
}

TEST_F(MeshTest, LoadFromD3DXMeshConvertsToTheGpuVertexAndThirtyTwoBitIndices) {
    ID3DXMesh* source = nullptr;
    ASSERT_EQ(D3DXCreateMeshFVF(1, 3, 0, D3DFVF_XYZ | D3DFVF_NORMAL, device, &source), D3D_OK);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    source->GetVertexBuffer(&vb);
    source->GetIndexBuffer(&ib);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    const float v[3][6] = {{0, 0, 0, 0, 0, -1}, {0, 1, 0, 0, 0, -1}, {1, 0, 0, 0, 0, -1}};
    std::memcpy(data, v, sizeof v);
    vb->Unlock();
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
    const uint16_t i[3] = {2, 0, 1};
    std::memcpy(data, i, sizeof i);
    ib->Unlock();
    vb->Release();
    ib->Release();

    Mesh* mesh = newMesh();
    mesh->loadFromD3DXMesh(source);
    source->Release();
    EXPECT_EQ(mesh->data->syncState, MeshData::kGpuOnly);
    EXPECT_EQ(gpuIndices(mesh), (std::vector<uint32_t>{2, 0, 1}));
    const std::vector<Record> records = gpuVertices(mesh);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].position[1], 1.0f);
    EXPECT_EQ(records[1].normal[2], -1.0f);
    EXPECT_EQ(records[1].uv0[0], 0.0f);
    EXPECT_EQ(mesh->faces()->size(), 1u);
}

} // namespace
