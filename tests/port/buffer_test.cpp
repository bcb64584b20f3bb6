// Vertex and index buffers of the port: creation checks, descriptions, lock semantics over the
// CPU copy, what a draw uploads to the GL buffer, and the references that bindings hold.
#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "support/engine_fixture.h"

#include "d3d9/buffers.h"

namespace {

class Buffers : public EngineTest {
protected:
    IDirect3DVertexBuffer9* vertexBuffer(UINT length, DWORD usage = D3DUSAGE_DYNAMIC,
                                         D3DPOOL pool = D3DPOOL_SYSTEMMEM) {
        IDirect3DVertexBuffer9* vb = nullptr;
        EXPECT_EQ(device->CreateVertexBuffer(length, usage, 0, pool, &vb, nullptr), D3D_OK);
        return vb;
    }

    // The GL buffer's contents, read straight from GL.
    static std::vector<unsigned char> glContents(IDirect3DVertexBuffer9* vb) {
        auto* buffer = static_cast<port::d3d9::VertexBuffer*>(vb);
        // The store covers what draws have read so far.
        std::vector<unsigned char> out(buffer->glStoreSize());
        glBindBuffer(GL_COPY_READ_BUFFER, buffer->glName());
        glGetBufferSubData(GL_COPY_READ_BUFFER, 0, GLsizeiptr(out.size()), out.data());
        glBindBuffer(GL_COPY_READ_BUFFER, 0);
        return out;
    }

    static std::vector<unsigned char> cpuContents(IDirect3DVertexBuffer9* vb) {
        D3DVERTEXBUFFER_DESC desc = {};
        vb->GetDesc(&desc);
        void* data = nullptr;
        EXPECT_EQ(vb->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
        const auto* bytes = static_cast<const unsigned char*>(data);
        std::vector<unsigned char> out(bytes, bytes + desc.Size);
        vb->Unlock();
        return out;
    }
};

TEST_F(Buffers, CreationChecksItsArgumentsAndDescribesTheBuffer) {
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    // Invalid: no bytes, unknown usage, a dynamic managed buffer, the scratch pool, no result.
    EXPECT_EQ(device->CreateVertexBuffer(0, 0, 0, D3DPOOL_DEFAULT, &vb, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(
        device->CreateVertexBuffer(64, D3DUSAGE_RENDERTARGET, 0, D3DPOOL_DEFAULT, &vb, nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC, 0, D3DPOOL_MANAGED, &vb, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_SCRATCH, &vb, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(vb, nullptr);
    EXPECT_EQ(device->CreateIndexBuffer(64, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &ib, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(ib, nullptr);

    ASSERT_EQ(device->CreateVertexBuffer(640, 0, 0x500412, D3DPOOL_DEFAULT, &vb, nullptr), D3D_OK);
    D3DVERTEXBUFFER_DESC vd = {};
    ASSERT_EQ(vb->GetDesc(&vd), D3D_OK);
    EXPECT_EQ(vd.Size, 640u);
    EXPECT_EQ(vd.FVF, 0x500412u);
    EXPECT_EQ(vd.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(vd.Usage, 0u);
    EXPECT_EQ(vd.Format, D3DFMT_VERTEXDATA);
    EXPECT_EQ(vb->GetType(), D3DRTYPE_VERTEXBUFFER);
    vb->Release();

    for (D3DFORMAT format : {D3DFMT_INDEX16, D3DFMT_INDEX32}) {
        ASSERT_EQ(device->CreateIndexBuffer(24, D3DUSAGE_DYNAMIC, format, D3DPOOL_SYSTEMMEM, &ib,
                                            nullptr),
                  D3D_OK);
        D3DINDEXBUFFER_DESC id = {};
        ASSERT_EQ(ib->GetDesc(&id), D3D_OK);
        EXPECT_EQ(id.Format, format);
        EXPECT_EQ(id.Size, 24u);
        EXPECT_EQ(id.Pool, D3DPOOL_SYSTEMMEM);
        EXPECT_EQ(id.Usage, DWORD(D3DUSAGE_DYNAMIC));
        ib->Release();
    }
}

TEST_F(Buffers, LocksCheckTheirRangeAndFlags) {
    IDirect3DVertexBuffer9* vb = vertexBuffer(100);
    void* data = nullptr;
    struct Case {
        UINT offset, size;
        DWORD flags;
        bool ok;
    };
    const Case cases[] = {
        {0, 0, 0, true},                                   // whole buffer
        {0, 100, D3DLOCK_DISCARD, true},                   // whole buffer, by size
        {40, 0, D3DLOCK_READONLY, true},                   // offset to the end
        {99, 1, 0, true},                                  // last byte
        {100, 1, 0, false},                                // past the end
        {60, 41, 0, false},                                // runs past the end
        {101, 0, 0, false},                                // offset past the end
        {0, 0, D3DLOCK_READONLY | D3DLOCK_DISCARD, false}, // contradictory
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << "+" << c.size << " flags " << c.flags);
        EXPECT_EQ(vb->Lock(c.offset, c.size, &data, c.flags), c.ok ? D3D_OK : D3DERR_INVALIDCALL);
        EXPECT_EQ(data != nullptr, c.ok);
        EXPECT_EQ(vb->Unlock(), c.ok ? D3D_OK : D3DERR_INVALIDCALL);
    }
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3DERR_INVALIDCALL); // one lock at a time
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Lock(0, 0, nullptr, 0), D3DERR_INVALIDCALL);
    vb->Release();
}

TEST_F(Buffers, ReadBackIsByteExactAndDrawsUploadOnlyTheStaleBytesTheyRead) {
    IDirect3DVertexBuffer9* vb = vertexBuffer(256);
    auto* buffer = static_cast<port::d3d9::VertexBuffer*>(vb);
    std::vector<unsigned char> pattern(256);
    std::iota(pattern.begin(), pattern.end(), 0);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, D3DLOCK_DISCARD), D3D_OK);
    std::memcpy(data, pattern.data(), pattern.size());
    vb->Unlock();
    EXPECT_EQ(cpuContents(vb), pattern);
    // Nothing goes up until a draw reads it, and then only what it reads, once.
    EXPECT_EQ(buffer->uploadedBytes(), 0u);
    buffer->upload(0, 64);
    buffer->upload(0, 64);
    EXPECT_EQ(buffer->uploadedBytes(), 64u);
    // The driver holds only what has been drawn; growing keeps it and sends nothing twice.
    EXPECT_EQ(buffer->glStoreSize(), 64u);
    EXPECT_TRUE(std::equal(pattern.begin(), pattern.begin() + 64, glContents(vb).begin()));
    buffer->upload(0, 256);
    EXPECT_EQ(buffer->uploadedBytes(), 256u);
    EXPECT_EQ(glContents(vb), pattern);

    // A partial write changes only its range, on both sides; a discard keeps the rest.
    ASSERT_EQ(vb->Lock(16, 8, &data, D3DLOCK_DISCARD), D3D_OK);
    std::memset(data, 0xee, 8);
    vb->Unlock();
    std::memset(&pattern[16], 0xee, 8);
    EXPECT_EQ(cpuContents(vb), pattern);
    buffer->upload(0, 256);
    EXPECT_EQ(buffer->uploadedBytes(), 264u);
    EXPECT_EQ(glContents(vb), pattern);

    // Bytes changed under a read-only lock are not uploaded.
    ASSERT_EQ(vb->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    static_cast<unsigned char*>(data)[200] = 0x55;
    vb->Unlock();
    buffer->upload(0, 256);
    EXPECT_EQ(buffer->uploadedBytes(), 264u);
    EXPECT_EQ(glContents(vb)[200], pattern[200]);

    // A range drawn from the middle of the stale bytes goes up with those before it.
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    vb->Unlock();
    buffer->upload(100, 120);
    buffer->upload(0, 120);
    EXPECT_EQ(buffer->uploadedBytes(), 264u + 120u);
    vb->Release();
}

TEST_F(Buffers, BindingsHoldAReferenceAndTheGettersAddOne) {
    IDirect3DVertexBuffer9* vb = vertexBuffer(64);
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX32, D3DPOOL_DEFAULT, &ib, nullptr),
              D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, vb, 8, 64), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, vb, 0, 32), D3D_OK); // rebinding the same buffer
    ASSERT_EQ(device->SetIndices(ib), D3D_OK);
    EXPECT_EQ(device->SetStreamSource(1, vb, 0, 64), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->SetFVF(0x112), D3D_OK);
    EXPECT_EQ(vb->Release(), 1u); // the device's reference keeps it
    EXPECT_EQ(ib->Release(), 1u);

    IDirect3DVertexBuffer9* bound = nullptr;
    UINT offset = 1, stride = 1;
    ASSERT_EQ(device->GetStreamSource(0, &bound, &offset, &stride), D3D_OK);
    EXPECT_EQ(bound, vb);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(stride, 32u);
    EXPECT_EQ(bound->Release(), 1u);
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->GetIndices(&indices), D3D_OK);
    EXPECT_EQ(indices, ib);
    EXPECT_EQ(indices->Release(), 1u);
    DWORD fvf = 0;
    ASSERT_EQ(device->GetFVF(&fvf), D3D_OK);
    EXPECT_EQ(fvf, 0x112u);

    // Unbinding frees the indices; the vertex buffer stays bound when the device goes, and the
    // device lets go of it then (the leak checker sees whether it does).
    ASSERT_EQ(device->SetIndices(nullptr), D3D_OK);
    ASSERT_EQ(device->GetIndices(&indices), D3D_OK);
    EXPECT_EQ(indices, nullptr);
}

TEST_F(Buffers, ABufferOutlivingItsDeviceFailsButCountsReferences) {
    IDirect3DVertexBuffer9* vb = vertexBuffer(64);
    velmo::Device::instance()->state->releaseAll();
    device = nullptr;
    void* data = nullptr;
    EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->AddRef(), 2u);
    EXPECT_EQ(vb->Release(), 1u);
    EXPECT_EQ(vb->Release(), 0u);
}

} // namespace
