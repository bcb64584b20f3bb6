// D3DX meshes of the port: creation, the buffers they hand out, and cloning into the engine's
// GPU vertex with 32-bit indices.
#include <cstring>
#include <vector>

#include <d3dx9.h>
#include <gtest/gtest.h>

#include "support/engine_fixture.h"

namespace {

using D3DXMeshes = EngineTest;

TEST_F(D3DXMeshes, CreationChecksItsArguments) {
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(D3DXCreateMeshFVF(0, 3, 0, D3DFVF_XYZ, device, &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateMeshFVF(1, 0, 0, D3DFVF_XYZ, device, &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateMeshFVF(1, 3, 0, 0x040 /* diffuse colour */, device, &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateMeshFVF(1, 70000, 0, D3DFVF_XYZ, device, &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateMeshFVF(1, 3, 0, D3DFVF_XYZ, nullptr, &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh, nullptr);

    ASSERT_EQ(D3DXCreateMeshFVF(2, 4, D3DXMESH_SYSTEMMEM, D3DFVF_XYZ | D3DFVF_TEX1, device, &mesh),
              D3D_OK);
    EXPECT_EQ(mesh->GetNumFaces(), 2u);
    EXPECT_EQ(mesh->GetNumVertices(), 4u);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(mesh->GetVertexBuffer(&vb), D3D_OK);
    ASSERT_EQ(mesh->GetIndexBuffer(&ib), D3D_OK);
    D3DVERTEXBUFFER_DESC vd = {};
    D3DINDEXBUFFER_DESC id = {};
    vb->GetDesc(&vd);
    ib->GetDesc(&id);
    EXPECT_EQ(vd.Size, 4u * 20);
    EXPECT_EQ(vd.Pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(id.Format, D3DFMT_INDEX16);
    EXPECT_EQ(id.Size, 2u * 3 * 2);
    // The buffers hold references of their own: they outlive the mesh.
    EXPECT_EQ(mesh->Release(), 0u);
    EXPECT_EQ(vb->Release(), 0u);
    EXPECT_EQ(ib->Release(), 0u);
}

TEST_F(D3DXMeshes, CloneCopiesSharedFieldsZeroesTheRestAndWidensIndices) {
    // Position, normal and one texture set of 3 floats, into the engine's 64-byte vertex.
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0);
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXCreateMeshFVF(1, 3, 0, fvf, device, &mesh), D3D_OK);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    mesh->GetVertexBuffer(&vb);
    mesh->GetIndexBuffer(&ib);
    std::vector<float> source(3 * 9);
    for (size_t i = 0; i < source.size(); ++i) {
        source[i] = float(i + 1);
    }
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, source.data(), source.size() * 4);
    vb->Unlock();
    const uint16_t indices[3] = {2, 1, 0};
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, indices, sizeof indices);
    ib->Unlock();
    vb->Release();
    ib->Release();

    ID3DXMesh* clone = nullptr;
    ASSERT_EQ(mesh->CloneMeshFVF(D3DXMESH_32BIT, 0x500412, device, &clone), D3D_OK);
    mesh->Release();
    EXPECT_EQ(clone->GetFVF(), 0x500412u);
    EXPECT_EQ(clone->GetNumVertices(), 3u);
    clone->GetVertexBuffer(&vb);
    clone->GetIndexBuffer(&ib);
    D3DVERTEXBUFFER_DESC vd = {};
    vb->GetDesc(&vd);
    ASSERT_EQ(vd.Size, 3u * 64);
    ASSERT_EQ(vb->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    std::vector<float> out(3 * 16);
    std::memcpy(out.data(), data, out.size() * 4);
    vb->Unlock();
    // Vertex 1: position 10..12, normal 13..15, set 0 takes the first two of 16..18; sets 1 to
    // 3 are zero.
    const float expected[16] = {10, 11, 12, 13, 14, 15, 16, 17, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(out[16 + k], expected[k]) << k;
    }
    D3DINDEXBUFFER_DESC id = {};
    ib->GetDesc(&id);
    EXPECT_EQ(id.Format, D3DFMT_INDEX32);
    ASSERT_EQ(ib->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    uint32_t wide[3];
    std::memcpy(wide, data, sizeof wide);
    ib->Unlock();
    EXPECT_EQ(wide[0], 2u);
    EXPECT_EQ(wide[2], 0u);
    vb->Release();
    ib->Release();
    clone->Release();
}

} // namespace
