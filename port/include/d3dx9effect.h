// D3DX 9 effects on the port's own effect file format (effects/README.md): techniques of
// numbered passes, each a GLSL program with render and sampler states. Parameters are the
// GLSL uniforms of all passes by their full names; their values live in the effect and reach
// the pass's program at BeginPass and CommitChanges.
#pragma once

#include "d3d9.h"
#include "d3dx9math.h"

// A parameter or technique, named by its full name ("material.ambient", "pointLight[1].color").
typedef const char* D3DXHANDLE;

struct D3DXMACRO {
    LPCSTR Name;
    LPCSTR Definition;
};

// Accepted for the signature only: the port supports no include handler or effect pool.
struct ID3DXInclude;
struct ID3DXEffectPool;

// A block of bytes that D3DX hands out, such as the text of the reason an effect was not made.
struct ID3DXBuffer : IUnknown {
    virtual LPVOID GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};

// Begin flag: the effect neither saves nor restores the device states its passes change.
#define D3DXFX_DONOTSAVESTATE (1 << 0)

struct ID3DXEffect : IUnknown {
    // Values, converted between float, int and bool as D3DX converts them (a float becomes
    // the nearest int, anything non-zero is true). A name the effect lacks fails with
    // D3DERR_INVALIDCALL and changes nothing.
    virtual HRESULT SetFloat(D3DXHANDLE parameter, FLOAT value) = 0;
    virtual HRESULT GetFloat(D3DXHANDLE parameter, FLOAT* value) = 0;
    virtual HRESULT SetFloatArray(D3DXHANDLE parameter, const FLOAT* values, UINT count) = 0;
    virtual HRESULT GetFloatArray(D3DXHANDLE parameter, FLOAT* values, UINT count) = 0;
    virtual HRESULT SetInt(D3DXHANDLE parameter, INT value) = 0;
    virtual HRESULT GetInt(D3DXHANDLE parameter, INT* value) = 0;
    virtual HRESULT SetBool(D3DXHANDLE parameter, BOOL value) = 0;
    virtual HRESULT GetBool(D3DXHANDLE parameter, BOOL* value) = 0;
    // Writes (reads) as many components as the parameter has, at most four.
    virtual HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) = 0;
    virtual HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) = 0;
    // Row-major, as the engine keeps matrices; the effect's GLSL multiplies vector * matrix.
    virtual HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) = 0;
    virtual HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) = 0;
    // The effect holds a reference to the texture; NULL clears the parameter. GetTexture
    // adds a reference to what it returns.
    virtual HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) = 0;
    virtual HRESULT GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) = 0;

    // Initially the first technique; an unknown name fails and keeps the current one.
    virtual HRESULT SetTechnique(D3DXHANDLE technique) = 0;
    virtual HRESULT Begin(UINT* passes, DWORD flags) = 0;
    virtual HRESULT BeginPass(UINT pass) = 0;
    virtual HRESULT CommitChanges() = 0;
    virtual HRESULT EndPass() = 0;
    virtual HRESULT End() = 0;
};

// Parses the effect file held in memory and links every pass. Fails with *effect NULL on
// missing bytes, a syntax error or a GLSL compile or link error. The reason ("line 81: unknown
// state 'FrobnicateEnable'") goes into a new buffer at *compilationErrors, as NUL-terminated
// text, when the caller passes one (NULL when the effect was made); otherwise to standard
// error.
HRESULT WINAPI D3DXCreateEffect(IDirect3DDevice9* device, const void* srcData, UINT srcDataLen,
                                const D3DXMACRO* defines, ID3DXInclude* include, DWORD flags,
                                ID3DXEffectPool* pool, ID3DXEffect** effect,
                                ID3DXBuffer** compilationErrors);
