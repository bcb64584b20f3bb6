// The device's side of effect passes, and all that the effect system may do to the device's GL
// state: make one of its programs current to send that program's uniforms, and name the
// program that the draws of a pass use. Everything else a pass sets (render states, sampler
// states, textures) goes through the device's public calls.
#pragma once

#include <epoxy/gl.h>

#include "d3d9/gl_state.h"

namespace port::d3d9 {

class ProgramBinding {
public:
    explicit ProgramBinding(GlState& state) : gl(state) {}

    // Makes `program` current so that its uniforms can be sent. The draws use it only while
    // it is the pass program.
    void bindForUniforms(GLuint program) { gl.useProgram(program); }
    // The program of the effect pass being drawn, or 0 outside any pass: an effect sets it at
    // BeginPass and clears it at EndPass; draws outside a pass use the fixed-function
    // emulation.
    void setPassProgram(GLuint program) { pass = program; }
    GLuint passProgram() const { return pass; }

private:
    GlState& gl;
    GLuint pass = 0;
};

} // namespace port::d3d9
