// D3DX meshes as far as velmo uses them: a vertex buffer of a flexible vertex format and an
// index buffer of triangles, copied into another format and index size by CloneMeshFVF.
#pragma once

#include "d3d9.h"

// Mesh options: 32-bit indices (16-bit without it) and the pool of the two buffers.
#define D3DXMESH_32BIT 0x001
#define D3DXMESH_SYSTEMMEM 0x110
#define D3DXMESH_MANAGED 0x220

struct ID3DXMesh : IUnknown {
    virtual DWORD GetNumFaces() = 0;
    virtual DWORD GetNumVertices() = 0;
    virtual DWORD GetFVF() = 0;
    virtual DWORD GetOptions() = 0;
    // A new mesh with the same vertices and triangles in another vertex format and index size:
    // the fields both formats have are copied, the others become zero.
    virtual HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device,
                                 ID3DXMesh** cloneMesh) = 0;
    // Both add a reference to the buffer they return.
    virtual HRESULT GetVertexBuffer(IDirect3DVertexBuffer9** vertexBuffer) = 0;
    virtual HRESULT GetIndexBuffer(IDirect3DIndexBuffer9** indexBuffer) = 0;
};

typedef ID3DXMesh* LPD3DXMESH;

// A mesh of numFaces triangles and numVertices vertices, all bytes zero. The format may hold
// D3DFVF_XYZ, D3DFVF_NORMAL and up to eight texture sets of 1 to 4 floats.
HRESULT WINAPI D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                                 IDirect3DDevice9* device, ID3DXMesh** mesh);

// Text meshes. Sizes are in ems of the font selected into the device context: a glyph's
// origin is on the baseline (y = 0), x grows with the advance, the text is extruded along
// -z: one cap at z = 0 faces +z, the other at z = -extrusion faces -z.
struct POINTFLOAT {
    FLOAT x;
    FLOAT y;
};

struct GLYPHMETRICSFLOAT {
    FLOAT gmfBlackBoxX; // size of the smallest box around the glyph
    FLOAT gmfBlackBoxY;
    POINTFLOAT gmfptGlyphOrigin; // its upper-left corner, relative to the glyph's origin
    FLOAT gmfCellIncX;           // the advance to the next glyph's origin
    FLOAT gmfCellIncY;
};
typedef GLYPHMETRICSFLOAT* LPGLYPHMETRICSFLOAT;

struct ID3DXBuffer;

// An extruded mesh of the text (FVF D3DFVF_XYZ | D3DFVF_NORMAL, managed pool, 16-bit indices
// unless it has more vertices than they address). Curves are flattened to within deviation.
// glyphMetrics, when given, receives one record per character of text. Adjacency is not
// produced: asking for it fails with E_NOTIMPL.
HRESULT WINAPI D3DXCreateTextA(IDirect3DDevice9* device, HDC dc, LPCSTR text, FLOAT deviation,
                               FLOAT extrusion, ID3DXMesh** mesh, ID3DXBuffer** adjacency,
                               LPGLYPHMETRICSFLOAT glyphMetrics);
