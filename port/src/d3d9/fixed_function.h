// The fixed-function pipeline for draws outside any effect pass, emulated with small GLSL
// programs made per configuration and kept for the life of the device's context.
//
// It covers what the engine draws that way: untransformed positions with one 2D texture
// coordinate set (D3DFVF_XYZ | D3DFVF_TEX1), multiplied by WORLD * VIEW * PROJECTION as row
// vectors; texture stage 0 combining the texture, the diffuse colour and the texture factor
// with DISABLE, SELECTARG1, SELECTARG2 or MODULATE, for colour and alpha apart; and the alpha
// test. The vertex format carries no colour and lighting is not emulated, so the diffuse
// colour is opaque white. A stage without a texture reads its texture as opaque white, so
// MODULATE of the texture and the diffuse colour gives the plain diffuse colour. Stages past 0
// are not emulated; any other configuration has no program and such a draw draws nothing (the
// first such draw is logged).
#pragma once

#include <cstdint>
#include <map>

#include <d3d9.h>
#include <epoxy/gl.h>

namespace port::d3d9 {

class FixedFunction {
public:
    // What a draw needs beyond the program: the three transforms and two render states.
    struct Inputs {
        const D3DMATRIX* world;
        const D3DMATRIX* view;
        const D3DMATRIX* projection;
        DWORD textureFactor; // D3DRS_TEXTUREFACTOR, 0xAARRGGBB
        DWORD alphaRef;      // D3DRS_ALPHAREF, 0 to 255
    };

    // With the device's context current: the program that draws vertices of format `fvf`
    // with stage 0's states (indexed by D3DTSS_*), whether stage 0 has a texture, and the alpha
    // test (D3DRS_ALPHATESTENABLE, D3DRS_ALPHAFUNC); 0 when the configuration is not covered.
    GLuint program(DWORD fvf, const DWORD* stage0, bool textured, bool alphaTest, DWORD alphaFunc);
    // With the program that program() last gave in use: sets its uniforms for the next draw.
    void setUniforms(const Inputs& inputs) const;

private:
    struct Program {
        GLuint name = 0; // 0 when the configuration is not covered or failed to build
        GLint worldViewProjection = -1;
        GLint textureFactor = -1;
        GLint alphaRef = -1;
    };

    static Program build(uint32_t key);

    // Programs by configuration key, including those that could not be made.
    std::map<uint32_t, Program> programs;
    const Program* selected = nullptr; // what program() last gave, null for none
    bool reportedUncovered = false;    // whether an uncovered configuration has been logged
};

} // namespace port::d3d9
