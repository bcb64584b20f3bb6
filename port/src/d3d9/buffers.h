// Vertex and index buffers: a byte-exact CPU copy of the contents beside a GL buffer object.
//
// A lock hands out a pointer into the CPU copy, so a read-only lock sees exactly the bytes last
// written; Unlock marks the locked range of a writing lock as stale in the GL buffer, and a draw
// uploads the stale bytes of the range it reads just before it reads them. So the upload follows
// what is drawn, never the buffer's size: a whole-buffer lock of which only the front is drawn
// uploads only the front. Both pools (default and system memory) keep a GL buffer, as either may
// be drawn from.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

#include <d3d9.h>
#include <epoxy/gl.h>

#include "d3d9/ref_counted.h"
#include "d3d9/resource.h"

namespace port::d3d9 {

// The storage and locking that both buffer kinds share.
class BufferStorage {
public:
    BufferStorage() = default;
    BufferStorage(const BufferStorage&) = delete;
    BufferStorage& operator=(const BufferStorage&) = delete;

    // Sizes the CPU copy (zero-filled) and names the GL buffer, all of it stale; false when
    // either fails. Needs the device's context current. The GL buffer's store covers only
    // what draws have read so far, so a buffer sized for far more than it is drawn with costs
    // the driver no more than what is drawn.
    bool create(UINT length, bool dynamic);
    // Deletes the GL buffer (the context must be current); the CPU copy stays.
    void deleteGlBuffer();

    HRESULT lock(UINT offset, UINT size, void** data, DWORD flags);
    // Ends the lock; the range of a writing lock becomes stale in the GL buffer.
    HRESULT unlock();
    bool isLocked() const { return locked; }
    // Makes the GL buffer hold the CPU copy's bytes from begin to end (clipped to the buffer),
    // uploading only the stale ones; the device's context must be current.
    void upload(UINT begin, UINT end);
    // Bytes sent to the GL buffer since creation.
    uint64_t uploadedBytes() const { return uploaded; }

    UINT size() const { return length; }
    const unsigned char* data() const { return bytes.get(); }
    // The bytes the current lock may write, [offset, end); empty for a read-only lock or none.
    std::pair<UINT, UINT> writableRange() const;
    GLuint glName() const { return glBuffer; }
    // Bytes in the GL buffer's store: the furthest any draw has read, or more.
    UINT glStoreSize() const { return glSize; }

private:
    // Makes the GL store long enough for end bytes, keeping the bytes it holds.
    void grow(UINT end);

    struct FreeBytes {
        void operator()(unsigned char* p) const { std::free(p); }
    };
    // Zero-filled by calloc, so a large buffer costs resident memory only where it is written:
    // a particle buffer sized for its most particles holds few of them most of the time.
    std::unique_ptr<unsigned char[], FreeBytes> bytes;
    UINT length = 0;
    GLuint glBuffer = 0;
    UINT glSize = 0; // bytes in the GL store
    GLenum glUsage = GL_STATIC_DRAW;
    bool locked = false;
    UINT lockOffset = 0;
    UINT lockSize = 0;
    DWORD lockFlags = 0;
    // The bytes the GL buffer may lack: one range, grown to cover every stale write.
    UINT staleBegin = 0;
    UINT staleEnd = 0;
    uint64_t uploaded = 0;
};

// Shared by both kinds: reference counting and detaching from a device that goes away.
template <class Interface> class Buffer : public RefCounted<Interface>, public DeviceChild {
public:
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;

    // Frees the GL buffer; the buffer stays valid for the references the program holds.
    void detach() override;

    // The GL buffer object the draw calls bind; 0 once the device has gone.
    GLuint glName() const { return storage.glName(); }
    // Brings the GL buffer up to date over the bytes a draw reads (context current).
    void upload(UINT begin, UINT end) { storage.upload(begin, end); }
    uint64_t uploadedBytes() const { return storage.uploadedBytes(); }
    UINT glStoreSize() const { return storage.glStoreSize(); }
    // The CPU copy's size in bytes.
    UINT size() const { return storage.size(); }

protected:
    Buffer(Device* device, DWORD usage, D3DPOOL pool)
        : DeviceChild(device), usage(usage), pool(pool) {}
    ~Buffer() override;

    BufferStorage storage;
    DWORD usage;
    D3DPOOL pool;
};

class VertexBuffer final : public Buffer<IDirect3DVertexBuffer9> {
public:
    // Checks the arguments as Direct3D does; the buffer starts with one reference.
    static HRESULT create(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                          VertexBuffer** buffer);

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

private:
    VertexBuffer(Device* device, DWORD usage, DWORD fvf, D3DPOOL pool)
        : Buffer(device, usage, pool), fvf(fvf) {}

    DWORD fvf;
};

class IndexBuffer final : public Buffer<IDirect3DIndexBuffer9> {
public:
    static HRESULT create(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IndexBuffer** buffer);

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;
    D3DFORMAT format() const { return indexFormat; }
    UINT indexSize() const { return indexFormat == D3DFMT_INDEX32 ? 4 : 2; }

#ifdef VELMO_GL_CHECK
    // The check builds keep the range of the indices written, so that a draw can be checked
    // against the vertices it may read.
    HRESULT Unlock() override;
    // Whether the `count` indices from index `first` all lie in [low, high). Most draws are
    // answered by the range of every index written so far; only one it does not answer reads
    // its own indices.
    bool indicesWithin(UINT first, UINT count, uint64_t low, uint64_t high) const;
#endif

private:
    IndexBuffer(Device* device, DWORD usage, D3DFORMAT format, D3DPOOL pool)
        : Buffer(device, usage, pool), indexFormat(format) {}

    D3DFORMAT indexFormat;
#ifdef VELMO_GL_CHECK
    // Bounds of every index the buffer holds: the least and the greatest ever written (it
    // starts zero-filled), so they may be wider than what it holds now.
    UINT lowestWritten = 0;
    UINT highestWritten = 0;
#endif
};

} // namespace port::d3d9
