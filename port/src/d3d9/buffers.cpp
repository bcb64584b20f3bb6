#include "d3d9/buffers.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "d3d9/device.h"

namespace port::d3d9 {

namespace {

bool validPool(D3DPOOL pool) {
    return pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED || pool == D3DPOOL_SYSTEMMEM;
}

bool validUsage(DWORD usage, D3DPOOL pool) {
    const DWORD known = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
    // Dynamic buffers cannot be managed.
    return (usage & ~known) == 0 && !((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED);
}

} // namespace

bool BufferStorage::create(UINT length, bool dynamic) {
    // calloc(0) may give null; one byte keeps a zero-length buffer's pointer valid.
    bytes.reset(static_cast<unsigned char*>(std::calloc(std::max<size_t>(length, 1), 1)));
    if (bytes == nullptr) {
        return false;
    }
    this->length = length;
    while (glGetError() != GL_NO_ERROR) {
    }
    glUsage = dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW;
    // The GL store is made by the first draw, as long as what it reads (see grow).
    glGenBuffers(1, &glBuffer);
    glSize = 0;
    staleBegin = 0;
    staleEnd = length;
    return glGetError() == GL_NO_ERROR;
}

void BufferStorage::grow(UINT end) {
    // Half as long again at least, so that a buffer drawn a little further each frame
    // (particles being emitted) is copied a few times in all, and never past the buffer's size.
    const uint64_t longer = uint64_t(glSize) + glSize / 2;
    const UINT wanted = UINT(std::min<uint64_t>(size(), std::max<uint64_t>(end, longer)));
    GLuint keep = 0;
    if (glSize > 0) {
        // The bytes already up go across inside GL: they are not sent again.
        glGenBuffers(1, &keep);
        glBindBuffer(GL_COPY_READ_BUFFER, keep);
        glBufferData(GL_COPY_READ_BUFFER, static_cast<GLsizeiptr>(glSize), nullptr, GL_STREAM_COPY);
        glBindBuffer(GL_COPY_WRITE_BUFFER, glBuffer);
        glCopyBufferSubData(GL_COPY_WRITE_BUFFER, GL_COPY_READ_BUFFER, 0, 0,
                            static_cast<GLsizeiptr>(glSize));
    }
    glBindBuffer(GL_COPY_WRITE_BUFFER, glBuffer);
    glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(wanted), nullptr, glUsage);
    if (keep != 0) {
        glCopyBufferSubData(GL_COPY_READ_BUFFER, GL_COPY_WRITE_BUFFER, 0, 0,
                            static_cast<GLsizeiptr>(glSize));
        glBindBuffer(GL_COPY_READ_BUFFER, 0);
        glDeleteBuffers(1, &keep);
    }
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    glSize = wanted;
}

void BufferStorage::deleteGlBuffer() {
    if (glBuffer != 0) {
        glDeleteBuffers(1, &glBuffer);
        glBuffer = 0;
        glSize = 0;
    }
}

HRESULT BufferStorage::lock(UINT offset, UINT size, void** data, DWORD flags) {
    if (data == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *data = nullptr;
    const UINT total = this->size();
    const bool readOnly = (flags & D3DLOCK_READONLY) != 0;
    if (locked || offset > total || (readOnly && (flags & D3DLOCK_DISCARD))) {
        return D3DERR_INVALIDCALL;
    }
    // Size 0 locks from the offset to the end: the whole buffer when the offset is 0 too.
    if (size == 0) {
        size = total - offset;
    }
    if (size > total - offset) {
        return D3DERR_INVALIDCALL;
    }
    locked = true;
    lockOffset = offset;
    lockSize = size;
    lockFlags = flags;
    *data = bytes.get() + offset;
    return D3D_OK;
}

HRESULT BufferStorage::unlock() {
    if (!locked) {
        return D3DERR_INVALIDCALL;
    }
    locked = false;
    if ((lockFlags & D3DLOCK_READONLY) || lockSize == 0) {
        return D3D_OK;
    }
    const UINT end = lockOffset + lockSize;
    if (staleBegin >= staleEnd) {
        staleBegin = lockOffset;
        staleEnd = end;
    } else {
        staleBegin = std::min(staleBegin, lockOffset);
        staleEnd = std::max(staleEnd, end);
    }
    return D3D_OK;
}

std::pair<UINT, UINT> BufferStorage::writableRange() const {
    if (!locked || (lockFlags & D3DLOCK_READONLY)) {
        return {0, 0};
    }
    return {lockOffset, lockOffset + lockSize};
}

void BufferStorage::upload(UINT begin, UINT end) {
    end = std::min(end, size());
    UINT from = std::max(begin, staleBegin);
    const UINT to = std::min(end, staleEnd);
    if (from >= to || glBuffer == 0) {
        return;
    }
    if (to > glSize) {
        grow(to);
    }
    if (to == staleEnd) {
        staleEnd = from;
    } else {
        // Upload from the front of the stale range, so that what stays stale is one range
        // again and no byte goes up twice for one write.
        from = staleBegin;
        staleBegin = to;
    }
    glBindBuffer(GL_COPY_WRITE_BUFFER, glBuffer);
    if (from == 0 && to == glSize) {
        // All of it: new contents for the whole store, which lets the driver drop the old
        // instead of waiting for earlier draws that still read it.
        glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(to), bytes.get(), glUsage);
    } else {
        glBufferSubData(GL_COPY_WRITE_BUFFER, static_cast<GLintptr>(from),
                        static_cast<GLsizeiptr>(to - from), bytes.get() + from);
    }
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    uploaded += to - from;
}

template <class Interface> Buffer<Interface>::~Buffer() {
    if (owner != nullptr && owner->makeCurrent()) {
        owner->glState().forgetVertexLayout();
        storage.deleteGlBuffer();
    }
}

template <class Interface>
HRESULT Buffer<Interface>::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    if (owner == nullptr) {
        if (data != nullptr) {
            *data = nullptr;
        }
        return D3DERR_INVALIDCALL;
    }
    return storage.lock(offset, size, data, flags);
}

template <class Interface> HRESULT Buffer<Interface>::Unlock() {
    const HRESULT hr = storage.unlock();
    return owner == nullptr ? D3DERR_INVALIDCALL : hr;
}

template <class Interface> void Buffer<Interface>::detach() {
    storage.deleteGlBuffer();
    owner = nullptr;
}

template class Buffer<IDirect3DVertexBuffer9>;
template class Buffer<IDirect3DIndexBuffer9>;

HRESULT VertexBuffer::create(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             VertexBuffer** result) {
    if (result == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *result = nullptr;
    if (length == 0 || !validPool(pool) || !validUsage(usage, pool)) {
        return D3DERR_INVALIDCALL;
    }
    auto* buffer = new VertexBuffer(device, usage, fvf, pool);
    if (!buffer->storage.create(length, (usage & D3DUSAGE_DYNAMIC) != 0)) {
        buffer->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *result = buffer;
    return D3D_OK;
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    if (desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    desc->Format = D3DFMT_VERTEXDATA;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = usage;
    desc->Pool = pool;
    desc->Size = storage.size();
    desc->FVF = fvf;
    return D3D_OK;
}

HRESULT IndexBuffer::create(Device* device, UINT length, DWORD usage, D3DFORMAT format,
                            D3DPOOL pool, IndexBuffer** result) {
    if (result == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *result = nullptr;
    if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) || !validPool(pool) ||
        !validUsage(usage, pool)) {
        return D3DERR_INVALIDCALL;
    }
    auto* buffer = new IndexBuffer(device, usage, format, pool);
    if (!buffer->storage.create(length, (usage & D3DUSAGE_DYNAMIC) != 0)) {
        buffer->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *result = buffer;
    return D3D_OK;
}

#ifdef VELMO_GL_CHECK

namespace {

// The least and the greatest of `count` indices of `size` bytes each from `bytes`.
std::pair<UINT, UINT> indexRange(const unsigned char* bytes, UINT size, UINT count) {
    UINT lowest = UINT32_MAX;
    UINT highest = 0;
    for (UINT i = 0; i < count; ++i) {
        uint32_t index = 0;
        if (size == 4) {
            std::memcpy(&index, bytes + size_t(i) * 4, 4);
        } else {
            uint16_t narrow = 0;
            std::memcpy(&narrow, bytes + size_t(i) * 2, 2);
            index = narrow;
        }
        lowest = std::min(lowest, index);
        highest = std::max(highest, index);
    }
    return {lowest, highest};
}

} // namespace

HRESULT IndexBuffer::Unlock() {
    const auto [begin, end] = storage.writableRange();
    const HRESULT hr = Buffer::Unlock();
    // Every index the lock could have written, including one it wrote in part.
    const UINT first = begin / indexSize();
    const UINT last = std::min((end + indexSize() - 1) / indexSize(), size() / indexSize());
    if (SUCCEEDED(hr) && first < last) {
        const auto [lowest, highest] =
            indexRange(storage.data() + size_t(first) * indexSize(), indexSize(), last - first);
        lowestWritten = std::min(lowestWritten, lowest);
        highestWritten = std::max(highestWritten, highest);
    }
    return hr;
}

bool IndexBuffer::indicesWithin(UINT first, UINT count, uint64_t low, uint64_t high) const {
    if (lowestWritten >= low && highestWritten < high) {
        return true;
    }
    const auto [lowest, highest] =
        indexRange(storage.data() + size_t(first) * indexSize(), indexSize(), count);
    return lowest >= low && highest < high;
}

#endif

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    if (desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    desc->Format = indexFormat;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = usage;
    desc->Pool = pool;
    desc->Size = storage.size();
    return D3D_OK;
}

} // namespace port::d3d9
