// D3DX 9 as far as velmo uses it, implemented by the port.
#pragma once

#include "d3d9.h"
#include "d3dx9math.h"
#include "d3dx9effect.h"
#include "d3dx9mesh.h"

#define D3DX_DEFAULT ((UINT)-1)

#define D3DX_FILTER_NONE 0x00000001
#define D3DX_FILTER_POINT 0x00000002
#define D3DX_FILTER_LINEAR 0x00000003
#define D3DX_FILTER_TRIANGLE 0x00000004
#define D3DX_FILTER_BOX 0x00000005
#define D3DX_FILTER_DITHER 0x00080000

#define D3DXERR_INVALIDDATA MAKE_D3DHRESULT(2905)

enum D3DXIMAGE_FILEFORMAT : uint32_t {
    D3DXIFF_JPG = 1,
    D3DXIFF_PNG = 3,
};

struct D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

struct PALETTEENTRY;

// Makes a texture from a JPEG or PNG file held in memory. Width and height of 0 or D3DX_DEFAULT
// take the image's size rounded up to powers of two; mip levels 0 or D3DX_DEFAULT make the full
// chain; D3DFMT_UNKNOWN takes A8R8G8B8 for images with alpha and X8R8G8B8 otherwise. The image
// is resampled with area weighting (the triangle filter) and each mip level is the box-filtered
// level above it. No colour key (0) and no palette are supported.
HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(
    IDirect3DDevice9* device, const void* srcData, UINT srcDataSize, UINT width, UINT height,
    UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
    D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette, IDirect3DTexture9** texture);
