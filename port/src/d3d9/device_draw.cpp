// Drawing state and draw calls of the device. The state lives in the pipeline; each draw binds
// the render targets and has the pipeline apply everything before the GL draw.
#include <string>

#include "d3d9/buffers.h"
#include "d3d9/device.h"
#include "d3d9/gl_check.h"
#include "d3d9/surface.h"
#include "d3d9/texture.h"

namespace port::d3d9 {

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    return pipeline.setTexture(stage, texture, this);
}
HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
    return pipeline.getTexture(stage, texture);
}
HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    return pipeline.setSamplerState(sampler, type, value);
}
HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    return pipeline.getSamplerState(sampler, type, value);
}
HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    return pipeline.setStageState(stage, type, value);
}
HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    return pipeline.getStageState(stage, type, value);
}
HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    return pipeline.setTransform(state, matrix);
}
HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    return pipeline.getTransform(state, matrix);
}

bool Device::prepareDraw(GLuint buffer, GLintptr offset, UINT stride) {
    for (DWORD stage = 0; stage < kTextureStages; ++stage) {
        if (const auto* texture = static_cast<const Texture*>(pipeline.texture(stage))) {
            for (UINT i = 0; i < texture->levelCount(); ++i) {
                sendClear(texture->level(i));
            }
        }
    }
    // Without depth test, depth is neither read nor written: D3D writes depth only with it.
    bindRenderTargets(renderStates[D3DRS_ZENABLE] != D3DZB_FALSE ||
                      renderStates[D3DRS_STENCILENABLE] != FALSE);
    applyViewport();
    return pipeline.prepare(renderStates, vertexFormat, buffer, offset, stride);
}

void Device::countDraw(uint64_t triangles) {
    ++stats.draws;
    stats.triangles += triangles;
    for (const Surface* target : renderTargets) {
        stats.targetsWritten += target != nullptr ? 1 : 0;
    }
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    if (type != D3DPT_TRIANGLELIST || !makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    if (primitiveCount == 0) {
        return D3D_OK;
    }
    if (streamSource == nullptr || streamSource->glName() == 0 ||
        streamStride < fvfVertexSize(vertexFormat) || vertexFormat == 0) {
        return D3DERR_INVALIDCALL;
    }
    const uint64_t vertices = uint64_t(primitiveCount) * 3;
    if (uint64_t(streamOffset) + (uint64_t(startVertex) + vertices) * streamStride >
            streamSource->size() ||
        !pipeline.drawable(renderStates)) {
        return D3DERR_INVALIDCALL;
    }
    streamSource->upload(UINT(streamOffset + startVertex * uint64_t(streamStride)),
                         UINT(streamOffset + (startVertex + vertices) * streamStride));
    if (prepareDraw(streamSource->glName(), streamOffset, streamStride)) {
        glDrawArrays(GL_TRIANGLES, static_cast<GLint>(startVertex), static_cast<GLsizei>(vertices));
        countDraw(primitiveCount);
    }
    return D3D_OK;
}

bool Device::indicesInRange([[maybe_unused]] INT baseVertexIndex,
                            [[maybe_unused]] UINT minVertexIndex, [[maybe_unused]] UINT numVertices,
                            [[maybe_unused]] UINT startIndex, [[maybe_unused]] UINT indices) const {
#ifdef VELMO_GL_CHECK
    const int64_t streamVertices = streamStride != 0 && streamOffset < streamSource->size()
                                       ? (streamSource->size() - streamOffset) / streamStride
                                       : 0;
    const int64_t firstVertex = int64_t(baseVertexIndex) + minVertexIndex;
    const uint64_t endVertex = uint64_t(minVertexIndex) + numVertices;
    if (firstVertex >= 0 && firstVertex + numVertices <= streamVertices &&
        indexBuffer->indicesWithin(startIndex, indices, minVertexIndex, endVertex)) {
        return true;
    }
    reportRefusal("indices from " + std::to_string(startIndex) + " reach past vertices " +
                  std::to_string(minVertexIndex) + " to " + std::to_string(endVertex) +
                  " from base vertex " + std::to_string(baseVertexIndex) + " in a stream of " +
                  std::to_string(streamVertices));
    return false;
#else
    return true;
#endif
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex,
                                     UINT minVertexIndex, UINT numVertices, UINT startIndex,
                                     UINT primitiveCount) {
    if (type != D3DPT_TRIANGLELIST || !makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    if (primitiveCount == 0) {
        return D3D_OK;
    }
    if (streamSource == nullptr || streamSource->glName() == 0 ||
        streamStride < fvfVertexSize(vertexFormat) || indexBuffer == nullptr ||
        indexBuffer->glName() == 0 || vertexFormat == 0) {
        return D3DERR_INVALIDCALL;
    }
    const bool wide = indexBuffer->format() == D3DFMT_INDEX32;
    const uint64_t indexSize = indexBuffer->indexSize();
    const uint64_t indices = uint64_t(primitiveCount) * 3;
    if ((uint64_t(startIndex) + indices) * indexSize > indexBuffer->size() ||
        !pipeline.drawable(renderStates)) {
        return D3DERR_INVALIDCALL;
    }
    if (!indicesInRange(baseVertexIndex, minVertexIndex, numVertices, startIndex, UINT(indices))) {
        return D3DERR_INVALIDCALL;
    }
    // The indices may reach any vertex past the stream's offset.
    streamSource->upload(streamOffset, streamSource->size());
    indexBuffer->upload(UINT(startIndex * indexSize), UINT((startIndex + indices) * indexSize));
    if (prepareDraw(streamSource->glName(), streamOffset, streamStride)) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer->glName());
        glDrawElementsBaseVertex(
            GL_TRIANGLES, static_cast<GLsizei>(indices), wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
            reinterpret_cast<const void*>(startIndex * indexSize), baseVertexIndex);
        countDraw(primitiveCount);
    }
    return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                                UINT vertexStride) {
    if (type != D3DPT_TRIANGLELIST || vertexData == nullptr || vertexStride == 0 ||
        !makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    if (primitiveCount == 0) {
        return D3D_OK;
    }
    const uint64_t vertices = uint64_t(primitiveCount) * 3;
    if (vertexFormat == 0 || vertexStride < fvfVertexSize(vertexFormat) ||
        vertices * vertexStride > uint64_t(INT32_MAX) || !pipeline.drawable(renderStates)) {
        return D3DERR_INVALIDCALL;
    }
    const GLuint scratch =
        pipeline.upload(vertexData, static_cast<GLsizeiptr>(vertices * vertexStride));
    if (prepareDraw(scratch, 0, vertexStride)) {
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices));
        countDraw(primitiveCount);
    }
    // As in Direct3D, a draw from user memory leaves stream 0 unbound.
    SetStreamSource(0, nullptr, 0, 0);
    return D3D_OK;
}

} // namespace port::d3d9
