#include "d3dx9/effect.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "d3d9/device.h"
#include "d3d9/pipeline.h"
#include "d3d9/vertex_attributes.h"

namespace port::d3dx9 {

namespace {

// The reason an effect was not made, as NUL-terminated text for the caller who asked for it.
class ErrorText final : public d3d9::RefCounted<ID3DXBuffer> {
public:
    explicit ErrorText(const std::string& text) : text(text) {}

    LPVOID GetBufferPointer() override { return text.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(text.size() + 1); }

private:
    std::string text;
};

std::string infoLog(GLuint object, bool program) {
    GLint length = 0;
    program ? glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length)
            : glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
    GLsizei written = 0;
    program ? glGetProgramInfoLog(object, length, &written, log.data())
            : glGetShaderInfoLog(object, length, &written, log.data());
    log.resize(static_cast<size_t>(written));
    return log;
}

GLuint compileStage(const EffectStage& stage, std::string& error) {
    const GLuint shader =
        glCreateShader(stage.kind == StageKind::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    const char* source = stage.source.c_str();
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        error = "stage " + stage.name + " does not compile:\n" + infoLog(shader, false);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

} // namespace

Effect::Effect(d3d9::Device* device) : DeviceChild(device) {}

Effect::~Effect() {
    if (begun && saving) {
        for (IDirect3DBaseTexture9* texture : saved.textures) {
            if (texture != nullptr) {
                texture->Release();
            }
        }
    }
    if (d3d9::Device* device = liveDevice(); device != nullptr && device->makeCurrent()) {
        d3d9::ProgramBinding& programs = device->programBinding();
        if (activePass >= 0 && programs.passProgram() ==
                                   techniques[begunTechnique].passes[size_t(activePass)].program) {
            programs.setPassProgram(0);
        }
        deletePrograms();
    }
}

Effect* Effect::create(d3d9::Device* device, const EffectDescription& description,
                       std::string& error) {
    std::unique_ptr<Effect, void (*)(Effect*)> effect(new Effect(device),
                                                      [](Effect* e) { e->Release(); });
    std::map<size_t, GLuint> shaders;
    const auto stageShader = [&](size_t index) -> GLuint {
        auto it = shaders.find(index);
        if (it == shaders.end()) {
            it = shaders.emplace(index, compileStage(description.stages[index], error)).first;
        }
        return it->second;
    };
    size_t programCount = 0; // passes linked so far: their index in the parameter table
    GLint current = 0;       // the program in use, put back at the end
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    bool ok = !description.techniques.empty();
    if (!ok) {
        error = "the effect has no technique";
    }
    for (const EffectTechnique& source : description.techniques) {
        if (!ok) {
            break;
        }
        Technique& technique = effect->techniques.emplace_back();
        technique.name = source.name;
        for (size_t p = 0; p < source.passes.size() && ok; ++p) {
            const EffectPass& pass = source.passes[p];
            const GLuint vertex = stageShader(pass.vertexStage);
            const GLuint fragment = stageShader(pass.fragmentStage);
            if (vertex == 0 || fragment == 0) {
                ok = false;
                break;
            }
            const GLuint program = glCreateProgram();
            technique.passes.push_back(
                {program, programCount, pass.renderStates, pass.samplerStates});
            glAttachShader(program, vertex);
            glAttachShader(program, fragment);
            for (unsigned slot = 0; slot < kVertexAttributeSlots; ++slot) {
                glBindAttribLocation(program, slot, kVertexAttributeNames[slot]);
            }
            glLinkProgram(program);
            GLint linked = GL_FALSE;
            glGetProgramiv(program, GL_LINK_STATUS, &linked);
            if (!linked) {
                error = "technique " + source.name + " pass " + std::to_string(p) +
                        " does not link:\n" + infoLog(program, true);
                ok = false;
                break;
            }
            glUseProgram(program); // sampler units are set as the uniforms are listed
            ok = effect->parameters.addProgram(program, error);
            ++programCount;
        }
    }
    for (const auto& [index, shader] : shaders) {
        if (shader != 0) {
            glDeleteShader(shader);
        }
    }
    glUseProgram(static_cast<GLuint>(current));
    if (!ok) {
        return nullptr;
    }
    return effect.release();
}

void Effect::detach() {
    deletePrograms();
    owner = nullptr;
}

void Effect::deletePrograms() {
    for (Technique& technique : techniques) {
        for (Pass& pass : technique.passes) {
            if (pass.program != 0) {
                glDeleteProgram(pass.program);
                pass.program = 0;
            }
        }
    }
}

d3d9::Device* Effect::liveDevice() const {
    return owner;
}

HRESULT Effect::SetFloat(D3DXHANDLE parameter, FLOAT value) {
    return parameters.setFloats(parameter, &value, 1, true);
}
HRESULT Effect::GetFloat(D3DXHANDLE parameter, FLOAT* value) {
    return value == nullptr ? D3DERR_INVALIDCALL : parameters.getFloats(parameter, value, 1, true);
}
HRESULT Effect::SetFloatArray(D3DXHANDLE parameter, const FLOAT* values, UINT count) {
    return parameters.setFloats(parameter, values, count, false);
}
HRESULT Effect::GetFloatArray(D3DXHANDLE parameter, FLOAT* values, UINT count) {
    return parameters.getFloats(parameter, values, count, false);
}
HRESULT Effect::SetInt(D3DXHANDLE parameter, INT value) {
    return parameters.setInt(parameter, value, false);
}
HRESULT Effect::GetInt(D3DXHANDLE parameter, INT* value) {
    return parameters.getInt(parameter, value, false);
}
HRESULT Effect::SetBool(D3DXHANDLE parameter, BOOL value) {
    return parameters.setInt(parameter, value, true);
}
HRESULT Effect::GetBool(D3DXHANDLE parameter, BOOL* value) {
    return parameters.getInt(parameter, value, true);
}
HRESULT Effect::SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) {
    return vector == nullptr ? D3DERR_INVALIDCALL : parameters.setVector(parameter, *vector);
}
HRESULT Effect::GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) {
    return parameters.getVector(parameter, vector);
}
HRESULT Effect::SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) {
    return matrix == nullptr ? D3DERR_INVALIDCALL : parameters.setMatrix(parameter, *matrix);
}
HRESULT Effect::GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) {
    return parameters.getMatrix(parameter, matrix);
}
HRESULT Effect::SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) {
    return parameters.setTexture(parameter, texture);
}
HRESULT Effect::GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) {
    return parameters.getTexture(parameter, texture);
}

HRESULT Effect::SetTechnique(D3DXHANDLE name) {
    if (name == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    for (size_t i = 0; i < techniques.size(); ++i) {
        if (techniques[i].name == name) {
            technique = i;
            return D3D_OK;
        }
    }
    return D3DERR_INVALIDCALL;
}

HRESULT Effect::Begin(UINT* passes, DWORD flags) {
    if (begun || liveDevice() == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    begun = true;
    begunTechnique = technique;
    activePass = -1;
    saving = (flags & D3DXFX_DONOTSAVESTATE) == 0;
    if (saving) {
        saveStates(techniques[technique]);
    }
    if (passes != nullptr) {
        *passes = static_cast<UINT>(techniques[technique].passes.size());
    }
    return D3D_OK;
}

void Effect::saveStates(const Technique& t) {
    d3d9::Device* device = liveDevice();
    // Emptied, not replaced: the lists keep their storage from one Begin to the next.
    saved.renderStates.clear();
    saved.samplerStates.clear();
    for (const Pass& pass : t.passes) {
        for (const RenderStateSetting& s : pass.renderStates) {
            const bool known = std::any_of(saved.renderStates.begin(), saved.renderStates.end(),
                                           [&](const auto& r) { return r.state == s.state; });
            DWORD value = 0;
            if (!known && device->GetRenderState(s.state, &value) == D3D_OK) {
                saved.renderStates.push_back({s.state, value});
            }
        }
        for (const SamplerStateSetting& s : pass.samplerStates) {
            const int unit = parameters.samplerUnit(s.sampler);
            const bool known = std::any_of(
                saved.samplerStates.begin(), saved.samplerStates.end(),
                [&](const auto& r) { return int(r.unit) == unit && r.state == s.state; });
            DWORD value = 0;
            if (unit >= 0 && !known &&
                device->GetSamplerState(DWORD(unit), s.state, &value) == D3D_OK) {
                saved.samplerStates.push_back({DWORD(unit), s.state, value});
            }
        }
    }
    saved.textures.assign(size_t(parameters.samplerCount()), nullptr);
    for (size_t unit = 0; unit < saved.textures.size(); ++unit) {
        device->GetTexture(DWORD(unit), &saved.textures[unit]);
    }
}

void Effect::restoreStates() {
    d3d9::Device* device = liveDevice();
    for (const RenderStateSetting& s : saved.renderStates) {
        if (device != nullptr) {
            device->SetRenderState(s.state, s.value);
        }
    }
    for (const SavedSamplerState& s : saved.samplerStates) {
        if (device != nullptr) {
            device->SetSamplerState(s.unit, s.state, s.value);
        }
    }
    for (size_t unit = 0; unit < saved.textures.size(); ++unit) {
        if (device != nullptr) {
            device->SetTexture(DWORD(unit), saved.textures[unit]);
        }
        if (saved.textures[unit] != nullptr) {
            saved.textures[unit]->Release();
        }
    }
    saved.renderStates.clear();
    saved.samplerStates.clear();
    saved.textures.clear();
}

void Effect::sendParameters(const Pass& pass) {
    d3d9::Device* device = liveDevice();
    device->programBinding().bindForUniforms(pass.program);
    parameters.upload(pass.programIndex);
    parameters.forEachSamplerBinding(pass.programIndex, [&](const ParameterTable::Binding& b) {
        device->SetTexture(DWORD(b.unit), b.texture);
    });
}

HRESULT Effect::BeginPass(UINT index) {
    d3d9::Device* device = liveDevice();
    if (!begun || activePass >= 0 || index >= techniques[begunTechnique].passes.size() ||
        device == nullptr || !device->makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    const Pass& pass = techniques[begunTechnique].passes[index];
    for (const RenderStateSetting& s : pass.renderStates) {
        device->SetRenderState(s.state, s.value);
    }
    for (const SamplerStateSetting& s : pass.samplerStates) {
        // A sampler the GLSL does not use has no unit, and its states go nowhere.
        if (const int unit = parameters.samplerUnit(s.sampler); unit >= 0) {
            device->SetSamplerState(DWORD(unit), s.state, s.value);
        }
    }
    sendParameters(pass);
    device->programBinding().setPassProgram(pass.program);
    activePass = static_cast<int>(index);
    return D3D_OK;
}

HRESULT Effect::CommitChanges() {
    d3d9::Device* device = liveDevice();
    if (activePass < 0 || device == nullptr || !device->makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    sendParameters(techniques[begunTechnique].passes[size_t(activePass)]);
    return D3D_OK;
}

HRESULT Effect::EndPass() {
    if (activePass < 0) {
        return D3DERR_INVALIDCALL;
    }
    if (d3d9::Device* device = liveDevice(); device != nullptr) {
        device->programBinding().setPassProgram(0);
    }
    activePass = -1;
    return D3D_OK;
}

HRESULT Effect::End() {
    if (!begun) {
        return D3DERR_INVALIDCALL;
    }
    if (activePass >= 0) {
        EndPass();
    }
    if (saving) {
        restoreStates();
    }
    begun = false;
    return D3D_OK;
}

} // namespace port::d3dx9

HRESULT WINAPI D3DXCreateEffect(IDirect3DDevice9* device, const void* srcData, UINT srcDataLen,
                                const D3DXMACRO*, ID3DXInclude*, DWORD, ID3DXEffectPool*,
                                ID3DXEffect** effect, ID3DXBuffer** compilationErrors) {
    using namespace port;
    if (compilationErrors != nullptr) {
        *compilationErrors = nullptr;
    }
    if (effect == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *effect = nullptr;
    // The reason for a failure goes to the caller who asked for it, who can say which file it
    // was; without that, to standard error.
    const auto failure = [compilationErrors](HRESULT hr, const std::string& reason) {
        if (compilationErrors != nullptr) {
            *compilationErrors = new d3dx9::ErrorText(reason);
        } else {
            std::fprintf(stderr, "D3DXCreateEffect: %s\n", reason.c_str());
        }
        return hr;
    };
    auto* own = dynamic_cast<d3d9::Device*>(device);
    if (own == nullptr) {
        return failure(D3DERR_INVALIDCALL, "no device");
    }
    if (srcData == nullptr || srcDataLen == 0) {
        return failure(D3DERR_INVALIDCALL, "no effect bytes");
    }
    const d3dx9::EffectParse parsed = d3dx9::parseEffectFile(srcData, srcDataLen);
    if (!parsed.ok()) {
        return failure(D3DXERR_INVALIDDATA, parsed.error);
    }
    if (!own->makeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    std::string error;
    d3dx9::Effect* created = d3dx9::Effect::create(own, parsed.effect, error);
    if (created == nullptr) {
        return failure(E_FAIL, error);
    }
    *effect = created;
    return D3D_OK;
}
