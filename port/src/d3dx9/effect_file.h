// The effect file (.fxo): our own text format of GLSL 3.30 stages, techniques, numbered passes
// and Direct3D 9 render and sampler states by name (described in effects/README.md). Parsing
// turns the bytes into a description the effect object builds its programs from.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <d3d9types.h>

namespace port::d3dx9 {

enum class StageKind { Vertex, Fragment };

struct EffectStage {
    std::string name;
    StageKind kind;
    std::string source; // complete GLSL: version line, the file's prelude, then the stage
};

struct RenderStateSetting {
    D3DRENDERSTATETYPE state;
    DWORD value;
};

struct SamplerStateSetting {
    std::string sampler; // the sampler uniform's GLSL name
    D3DSAMPLERSTATETYPE state;
    DWORD value;
};

struct EffectPass {
    std::size_t vertexStage; // indices into EffectDescription::stages
    std::size_t fragmentStage;
    std::vector<RenderStateSetting> renderStates;   // in file order
    std::vector<SamplerStateSetting> samplerStates; // in file order
};

struct EffectTechnique {
    std::string name;
    std::vector<EffectPass> passes; // passes[i] is the file's "pass i"
};

// Stages are kept once each, however many passes use them.
struct EffectDescription {
    std::vector<EffectStage> stages;         // in file order
    std::vector<EffectTechnique> techniques; // in file order
};

struct EffectParse {
    EffectDescription effect;
    std::string error; // "line N: what is wrong"; empty when the file parsed

    bool ok() const { return error.empty(); }
};

// Parses `size` bytes at `bytes`. Never reads outside them; NULL or size 0 is an error.
// Trailing NUL bytes (a string passed with its terminator) are ignored.
EffectParse parseEffectFile(const void* bytes, std::size_t size);

} // namespace port::d3dx9
