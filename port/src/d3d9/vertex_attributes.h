// How the parts of a flexible vertex format reach a vertex stage: each part has a fixed
// attribute slot and a fixed GLSL input name. The device feeds the slots from the vertex
// stream, and every program it draws with (its fixed-function emulation's and the effects')
// binds these names to these slots before linking. Effect authors declare
// the inputs they read by these names (effects/README.md).
#pragma once

#include <d3d9types.h>

namespace port {

enum VertexAttributeSlot : unsigned {
    kPositionSlot = 0,  // D3DFVF_XYZ: 3 floats
    kNormalSlot = 1,    // D3DFVF_NORMAL: 3 floats
    kTexCoord0Slot = 2, // texture coordinate set i is slot kTexCoord0Slot + i, sets 0 to 3
};

inline constexpr unsigned kTexCoordSetSlots = 4;
inline constexpr unsigned kVertexAttributeSlots = kTexCoord0Slot + kTexCoordSetSlots;

// The GLSL input name of each slot, indexed by slot.
inline constexpr const char* kVertexAttributeNames[kVertexAttributeSlots] = {
    "inPosition", "inNormal", "inTexCoord0", "inTexCoord1", "inTexCoord2", "inTexCoord3",
};

// Number of texture coordinate sets a format carries (0 to 8; sets past 3 have no slot).
constexpr unsigned texCoordSetCount(DWORD fvf) {
    return (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
}

// Floats in texture coordinate set `set` (0 to 7), from its D3DFVF_TEXCOORDSIZE bits:
// 2 unless the format says 1, 3 or 4.
constexpr unsigned texCoordSize(DWORD fvf, unsigned set) {
    switch ((fvf >> (set * 2 + 16)) & 3u) {
    case 1:
        return 3;
    case 2:
        return 4;
    case 3:
        return 1;
    default:
        return 2;
    }
}

} // namespace port
