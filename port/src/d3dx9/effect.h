// ID3DXEffect on GL: one linked program per pass, the parameters kept effect-wide, and the
// pass's render and sampler states applied through the device, so that the draw calls see
// them as any other device state (and states set after BeginPass override them).
#pragma once

#include <string>
#include <vector>

#include <d3dx9.h>
#include <epoxy/gl.h>

#include "d3d9/ref_counted.h"
#include "d3d9/resource.h"
#include "d3dx9/effect_file.h"
#include "d3dx9/effect_parameters.h"

namespace port::d3d9 {
class Device;
}

namespace port::d3dx9 {

class Effect final : public d3d9::RefCounted<ID3DXEffect>, public d3d9::DeviceChild {
public:
    // Compiles and links every pass of the parsed file; null with the reason in `error`.
    static Effect* create(d3d9::Device* device, const EffectDescription& description,
                          std::string& error);

    HRESULT SetFloat(D3DXHANDLE parameter, FLOAT value) override;
    HRESULT GetFloat(D3DXHANDLE parameter, FLOAT* value) override;
    HRESULT SetFloatArray(D3DXHANDLE parameter, const FLOAT* values, UINT count) override;
    HRESULT GetFloatArray(D3DXHANDLE parameter, FLOAT* values, UINT count) override;
    HRESULT SetInt(D3DXHANDLE parameter, INT value) override;
    HRESULT GetInt(D3DXHANDLE parameter, INT* value) override;
    HRESULT SetBool(D3DXHANDLE parameter, BOOL value) override;
    HRESULT GetBool(D3DXHANDLE parameter, BOOL* value) override;
    HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) override;
    HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) override;
    HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override;
    HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) override;
    HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) override;

    HRESULT SetTechnique(D3DXHANDLE technique) override;
    HRESULT Begin(UINT* passes, DWORD flags) override;
    HRESULT BeginPass(UINT pass) override;
    HRESULT CommitChanges() override;
    HRESULT EndPass() override;
    HRESULT End() override;

    void detach() override;

private:
    struct Pass {
        GLuint program;
        size_t programIndex; // in the parameter table
        std::vector<RenderStateSetting> renderStates;
        std::vector<SamplerStateSetting> samplerStates;
    };
    struct Technique {
        std::string name;
        std::vector<Pass> passes;
    };
    // Device states as they were at Begin, put back at End.
    struct SavedSamplerState {
        DWORD unit;
        D3DSAMPLERSTATETYPE state;
        DWORD value;
    };
    struct SavedStates {
        std::vector<RenderStateSetting> renderStates;
        std::vector<SavedSamplerState> samplerStates;
        std::vector<IDirect3DBaseTexture9*> textures; // by unit, each holding a reference
    };

    explicit Effect(d3d9::Device* device);
    ~Effect() override;
    d3d9::Device* liveDevice() const;
    void sendParameters(const Pass& pass);
    void saveStates(const Technique& technique);
    void restoreStates();
    void deletePrograms();

    std::vector<Technique> techniques;
    ParameterTable parameters;
    size_t technique = 0;
    bool begun = false;
    size_t begunTechnique = 0;
    int activePass = -1;
    bool saving = false;
    SavedStates saved;
};

} // namespace port::d3dx9
