#include "engine/render/post_effects.h"

#include <d3dx9.h>

#include "engine/platform/log.h"
#include "engine/render/screen_quad.h"
#include "engine/resources/device_state.h"
#include "engine/resources/render_target.h"

namespace velmo {

namespace {

// x and y in -1..1 fill the viewport, as the full-screen quad is laid out.
D3DXMATRIX orthographic() {
    D3DXMATRIX matrix;
    D3DXMatrixIdentity(&matrix);
    D3DXMatrixOrthoLH(&matrix, 2.0f, 2.0f, 0.0f, 1.0f);
    return matrix;
}

// One pass of the begun effect: the quad with no texture, so the pass's shaders sample.
void drawPass(TShader& shader, unsigned pass, float opacity) {
    lookUp(shader.effect->BeginPass(pass));
    drawScreenQuad(nullptr, opacity, 0.0f, D3DBLEND_ONE, D3DBLEND_SRCALPHA);
    lookUp(shader.effect->EndPass());
}

void endShader(TShader& shader) {
    if (shader.begun) {
        lookUp(shader.effect->End());
        shader.begun = false;
    }
}

// The one-pass effects: begin, pass 0, end. Without an effect (its file missing) nothing is
// drawn and the target stays cleared.
void drawOnePass(TShader& shader) {
    if (shader.effect == nullptr) {
        return;
    }
    shader.begin();
    drawPass(shader, 0, 1.0f);
    endShader(shader);
}

} // namespace

HSVEffect::HSVEffect(BufferRenderable* source, float hue, float saturation, float value)
    : source(source), hue(hue), saturation(saturation), value(value),
      shader("data/HSVEffect.fxo", "HSVEffect") {}

void HSVEffect::renderContent(float) {
    shader.setMatrix("worldViewProjection", orthographic());
    shader.setTexture("tex", source != nullptr ? source->getRenderTarget() : nullptr);
    // Whole turns toward zero: 370 becomes 10, -400 becomes -40.
    const int turns = static_cast<int>(hue * (1.0f / 360.0f));
    hue = hue - static_cast<float>(turns) * 360.0f;
    shader.setFloat("hue", hue);
    shader.setFloat("saturation", saturation);
    shader.setFloat("value", value);
    drawOnePass(shader);
}

MappedDistortionEffect::MappedDistortionEffect(ID3dSurface* source, ID3dSurface* distortionMap,
                                               float factor, float timedelta)
    : source(source), distortionMap(distortionMap), factor(factor),
      shader("MappedDistortion.fxo", "MappedDistortion"), timedelta(timedelta) {}

void MappedDistortionEffect::renderContent(float) {
    shader.setMatrix("worldViewProjection", orthographic());
    shader.setFloat("factor", factor);
    shader.setFloat("timedelta", timedelta);
    shader.setTexture("distortionMap", distortionMap);
    shader.setTexture("tex", source);
    drawOnePass(shader);
}

BloomEffect::BloomEffect(BufferRenderable* source, float radius, float power, float alpha)
    : source(source), radius(radius), alpha(alpha), power(power),
      shader("BloomEffect.fxo", "BloomEffect") {}

void BloomEffect::renderContent(float) {
    DeviceState* state = Device::instance()->state;
    IDirect3DDevice9* device = state->device;
    if (shader.effect == nullptr || device == nullptr) {
        return;
    }
    RenderTarget* intermediate = state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    shader.setMatrix("worldViewProjection", orthographic());
    shader.setTexture("tex", source != nullptr ? source->getRenderTarget() : nullptr);
    shader.setFloat("radius", radius);
    shader.setFloat("power", power);
    shader.setFloat("alpha", alpha);
    // Inside a scene the caller already began, BeginScene fails; that scene is the caller's
    // to end, so only a scene begun here is ended here.
    const HRESULT sceneBegun = device->BeginScene();
    lookUp(sceneBegun);
    shader.begin();

    // Pass 0 into the intermediate target; ending it binds the effect's own target again.
    intermediate->begin(0);
    lookUp(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0));
    drawPass(shader, 0, alpha);
    intermediate->end();

    // Pass 1 reads what pass 0 wrote.
    shader.setTexture("tex", intermediate);
    lookUp(shader.effect->CommitChanges());
    drawPass(shader, 1, alpha);

    endShader(shader);
    if (SUCCEEDED(sceneBegun)) {
        lookUp(device->EndScene());
    }
    state->returnRenderTarget(intermediate);
}

MotionblurEffect::MotionblurEffect(ID3dSurface* tex, ID3dSurface* blurMap, ID3dSurface* depthTex,
                                   float radius)
    : tex(tex), blurMap(blurMap), depthTex(depthTex), radius(radius),
      shader("MappedBlur.fxo", "MappedBlur") {}

void MotionblurEffect::renderContent(float) {
    shader.setMatrix("worldViewProjection", orthographic());
    shader.setFloat("radius", radius);
    shader.setTexture("depthTex", depthTex);
    shader.setTexture("blurMap", blurMap);
    shader.setTexture("tex", tex);
    drawOnePass(shader);
}

} // namespace velmo
