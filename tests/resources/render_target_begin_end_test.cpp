// Render targets and textures of the engine: begin and end against the device's bindings and
// the window's viewport stack, the consistency boxes, and textures made from cached bytes.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/resources/render_target.h"
#include "engine/resources/texture.h"
#include "support/engine_fixture.h"
#include "support/message_boxes.h"

namespace {

class RenderTargetUse : public EngineTest {
protected:
    velmo::DeviceState& state() { return *velmo::Device::instance()->state; }

    // What the device has bound, compared by identity; the references taken are given back.
    IDirect3DSurface9* boundTarget(DWORD index) {
        IDirect3DSurface9* s = nullptr;
        device->GetRenderTarget(index, &s);
        if (s != nullptr) {
            s->Release();
        }
        return s;
    }
    IDirect3DSurface9* boundDepth() {
        IDirect3DSurface9* s = nullptr;
        device->GetDepthStencilSurface(&s);
        if (s != nullptr) {
            s->Release();
        }
        return s;
    }
    static IDirect3DSurface9* levelOf(velmo::RenderTarget* target) {
        IDirect3DSurface9* s = nullptr;
        target->getTexture()->GetSurfaceLevel(0, &s);
        s->Release();
        return s;
    }
    D3DVIEWPORT9 viewport() {
        D3DVIEWPORT9 vp = {};
        device->GetViewport(&vp);
        return vp;
    }
    static void expectViewport(const D3DVIEWPORT9& vp, DWORD x, DWORD y, DWORD w, DWORD h) {
        EXPECT_EQ(vp.X, x);
        EXPECT_EQ(vp.Y, y);
        EXPECT_EQ(vp.Width, w);
        EXPECT_EQ(vp.Height, h);
        EXPECT_EQ(vp.MinZ, 0.0f);
        EXPECT_EQ(vp.MaxZ, 10.0f);
    }
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> texts;
        for (const RecordedBox& b : boxes.boxes()) {
            texts.push_back(b.text);
        }
        return texts;
    }

    MessageBoxRecorder boxes;
};

TEST_F(RenderTargetUse, BeginAtZeroBindsTheTargetAndItsViewportAndEndRestoresTheLetterbox) {
    velmo::RenderTarget* target = state().createRenderTarget(640, 359, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* backBuffer = boundTarget(0);
    IDirect3DSurface9* backDepth = boundDepth();
    const ULONG backBufferReferences = backBuffer->AddRef() - 1;
    backBuffer->Release();

    target->begin(0);
    EXPECT_TRUE(target->isActive());
    EXPECT_EQ(boundTarget(0), levelOf(target));
    EXPECT_NE(boundDepth(), backDepth);
    expectViewport(viewport(), 0, 0, 640, 359);
    EXPECT_EQ(engine->window->viewportStack.size(), 1u);

    target->end();
    EXPECT_FALSE(target->isActive());
    EXPECT_EQ(boundTarget(0), backBuffer);
    EXPECT_EQ(boundDepth(), backDepth);
    expectViewport(viewport(), 0, 60, 640, 359);
    EXPECT_TRUE(engine->window->viewportStack.empty());

    // Begin and end keep no reference to what they restored.
    for (int i = 0; i < 3; ++i) {
        target->begin(0);
        target->end();
    }
    EXPECT_EQ(backBuffer->AddRef() - 1, backBufferReferences);
    backBuffer->Release();
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(RenderTargetUse, BeginAtOneTouchesNeitherDepthNorViewport) {
    velmo::RenderTarget* target = state().createRenderTarget(640, 359, D3DFMT_R32F);
    const D3DVIEWPORT9 before = viewport();
    IDirect3DSurface9* depth = boundDepth();

    target->begin(1);
    EXPECT_EQ(boundTarget(1), levelOf(target));
    EXPECT_EQ(boundDepth(), depth);
    EXPECT_EQ(viewport().Height, before.Height);
    EXPECT_TRUE(engine->window->viewportStack.empty());

    target->end();
    EXPECT_EQ(boundTarget(1), nullptr); // nothing was bound there before
    EXPECT_EQ(boundDepth(), depth);
    EXPECT_EQ(viewport().Height, before.Height);
}

TEST_F(RenderTargetUse, NestedTargetsRestoreTheOuterViewportThenTheLetterbox) {
    velmo::RenderTarget* outer = state().createRenderTarget(640, 359, D3DFMT_A8R8G8B8);
    velmo::RenderTarget* inner = state().createRenderTarget(256, 128, D3DFMT_A8R8G8B8);
    outer->begin(0);
    inner->begin(0);
    expectViewport(viewport(), 0, 0, 256, 128);
    inner->end();
    expectViewport(viewport(), 0, 0, 640, 359);
    EXPECT_EQ(boundTarget(0), levelOf(outer));
    outer->end();
    expectViewport(viewport(), 0, 60, 640, 359);
}

TEST_F(RenderTargetUse, EndWithoutBeginShowsBox160AndChangesNothing) {
    velmo::RenderTarget* target = state().createRenderTarget(640, 359, D3DFMT_A8R8G8B8);
    const D3DVIEWPORT9 other = {5, 6, 70, 80, 0.0f, 1.0f};
    device->SetViewport(&other);
    IDirect3DSurface9* backBuffer = boundTarget(0);

    target->end();
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Unexpected fatal error(#160)."});
    EXPECT_EQ(boundTarget(0), backBuffer);
    EXPECT_EQ(viewport().Width, 70u);
    EXPECT_FALSE(target->isActive());
}

TEST_F(RenderTargetUse, ConsistencyChecksShowTheirBoxesAndCarryOnAsBefore) {
    // Created twice: box 52, the first objects stay.
    velmo::RenderTarget* target = state().createRenderTarget(64, 64, D3DFMT_A8R8G8B8);
    IDirect3DTexture9* texture = target->getTexture();
    target->create(32, 32, D3DFMT_R32F);
    EXPECT_EQ(target->getTexture(), texture);
    EXPECT_EQ(target->getWidth(), 64u);

    // Begun before being created: box 113, nothing bound.
    velmo::RenderTarget never;
    never.begin(0);
    EXPECT_FALSE(never.isActive());
    EXPECT_TRUE(engine->window->viewportStack.empty());

    // Begun while active: box 118, and it begins again.
    target->begin(0);
    target->begin(0);
    EXPECT_TRUE(target->isActive());
    EXPECT_EQ(engine->window->viewportStack.size(), 2u);
    target->end();

    EXPECT_EQ(boxTexts(), (std::vector<std::string>{"Unexpected fatal error(#52).",
                                                    "Unexpected fatal error(#113).",
                                                    "Unexpected fatal error(#118)."}));
}

TEST_F(RenderTargetUse, ATextureWhoseFileWasNeverCachedStaysEmpty) {
    velmo::Texture* texture = state().loadTexture("never-read.jpg");
    EXPECT_EQ(texture->getTexture(), nullptr);
    EXPECT_FALSE(texture->isLoaded());
    EXPECT_EQ(state().textures.count(texture), 1u);
    EXPECT_TRUE(boxes.boxes().empty());
}

} // namespace
