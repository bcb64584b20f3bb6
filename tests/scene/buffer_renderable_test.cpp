// Buffer renderables: a draw only when the time moved by more than 0.001 (compared in single
// precision), into a target borrowed from the pool on the first draw and cleared to
// transparent black, and given back to the pool by the destructor.
#include <vector>

#include <gtest/gtest.h>

#include "engine/resources/render_target.h"
#include "engine/scene/renderable.h"
#include "support/engine_fixture.h"

namespace {

// Counts its draws and notes what was bound while it drew.
class CountingRenderable : public velmo::BufferRenderable {
public:
    void renderContent(float t) override {
        times.push_back(t);
        IDirect3DDevice9* device = velmo::Device::instance()->state->device;
        IDirect3DSurface9* bound = nullptr;
        device->GetRenderTarget(0, &bound);
        IDirect3DSurface9* own = nullptr;
        renderTarget->getTexture()->GetSurfaceLevel(0, &own);
        boundOwnTarget = bound == own;
        bound->Release();
        own->Release();
        device->GetViewport(&viewport);
    }

    std::vector<float> times;
    bool boundOwnTarget = false;
    D3DVIEWPORT9 viewport = {};
};

using BufferRenderableTest = EngineTest;

TEST_F(BufferRenderableTest, RedrawsOnlyWhenTheTimeMovedByMoreThanAThousandth) {
    struct Step {
        float t;
        bool draws;
    };
    // Differences are taken between the floats as given and compared with 0.001f, strictly.
    const Step steps[] = {
        {0.0f, true},      // the first render, from -1
        {0.0f, false},     // the same time
        {0.001f, false},   // exactly 0.001f away: not more (a double comparison would draw)
        {0.002f, true},    // measured from 0.0, the last drawn time
        {0.003f, false},   // 0.003f - 0.002f is 0.00099999993 in floats
        {0.0031f, true},   // 0.0011 away
        {100.0f, true},    // a jump
        {100.001f, false}, // the float nearest 100.001 is only 0.00099945 away
        {99.998f, true},   // backwards by 0.002
    };
    CountingRenderable renderable;
    float lastDrawn = -1.0f;
    size_t draws = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.t);
        renderable.render(step.t);
        if (step.draws) {
            ++draws;
            lastDrawn = step.t;
        }
        ASSERT_EQ(renderable.times.size(), draws);
        EXPECT_EQ(renderable.lastRenderTime, lastDrawn);
    }
    EXPECT_EQ(renderable.times.back(), 99.998f);
}

TEST_F(BufferRenderableTest, ForcedDrawsIgnoreAndKeepTheLastTime) {
    CountingRenderable renderable;
    renderable.render(0.0f);
    renderable.forceRender(0.0f);
    renderable.forceRender(5.0f);
    EXPECT_EQ(renderable.times, (std::vector<float>{0.0f, 0.0f, 5.0f}));
    EXPECT_EQ(renderable.lastRenderTime, 0.0f);
    // Still measured from the last time render drew.
    renderable.render(0.0005f);
    EXPECT_EQ(renderable.times.size(), 3u);
}

TEST_F(BufferRenderableTest, DrawsIntoAPooledTargetClearedToTransparentBlack) {
    velmo::DeviceState* state = velmo::Device::instance()->state;
    // A dirty target waits in the pool; the renderable must borrow it and clear it.
    velmo::RenderTarget* pooled = state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    pooled->begin(0);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xffff0000, 1.0f, 0);
    pooled->end();
    state->returnRenderTarget(pooled);

    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);

    CountingRenderable renderable;
    EXPECT_EQ(renderable.getRenderTarget(), nullptr);
    renderable.render(1.0f);
    ASSERT_EQ(renderable.getRenderTarget(), pooled);
    EXPECT_TRUE(state->freeRenderTargets.empty());
    EXPECT_EQ(pooled->getFormat(), D3DFMT_A8R8G8B8);
    const D3DVIEWPORT9 letterbox = engine->window->letterboxViewport();
    EXPECT_EQ(pooled->getWidth(), letterbox.Width);
    EXPECT_EQ(pooled->getHeight(), letterbox.Height);

    // Drawn while bound as render target 0 with the target's own viewport; then unbound.
    EXPECT_TRUE(renderable.boundOwnTarget);
    EXPECT_EQ(renderable.viewport.Width, letterbox.Width);
    EXPECT_EQ(renderable.viewport.Height, letterbox.Height);
    EXPECT_FALSE(pooled->isActive());
    IDirect3DSurface9* bound = nullptr;
    device->GetRenderTarget(0, &bound);
    EXPECT_EQ(bound, backBuffer);
    bound->Release();
    backBuffer->Release();

    IDirect3DSurface9* surface = nullptr;
    pooled->getTexture()->GetSurfaceLevel(0, &surface);
    const std::vector<unsigned char> pixels = readBack(surface);
    surface->Release();
    for (auto [x, y] : {std::pair{0u, 0u},
                        {letterbox.Width / 2, letterbox.Height / 2},
                        {letterbox.Width - 1, letterbox.Height - 1}}) {
        EXPECT_EQ(argbAt(pixels, letterbox.Width, x, y), 0x00000000u) << x << ", " << y;
    }

    // A renderable has no further targets.
    EXPECT_EQ(renderable.extraTarget(), nullptr);
    EXPECT_EQ(renderable.floatTarget(), nullptr);
    EXPECT_EQ(renderable.colorTarget(), nullptr);
}

TEST_F(BufferRenderableTest, TheDestructorGivesTheTargetBackToTheEndOfTheFreeList) {
    velmo::DeviceState* state = velmo::Device::instance()->state;
    velmo::RenderTarget* borrowed = nullptr;
    {
        CountingRenderable never; // never drawn: borrows and returns nothing
        CountingRenderable drawn;
        drawn.render(0.0f);
        borrowed = drawn.getRenderTarget();
        ASSERT_NE(borrowed, nullptr);
        state->returnRenderTarget(state->acquireRenderTarget(D3DFMT_R32F));
    }
    ASSERT_EQ(state->freeRenderTargets.size(), 2u);
    EXPECT_EQ(state->freeRenderTargets.front()->getFormat(), D3DFMT_R32F);
    EXPECT_EQ(state->freeRenderTargets.back(), borrowed);
    // Given back, not freed: the pool still holds it and lends it again.
    EXPECT_EQ(state->renderTargets.count(borrowed), 1u);
    CountingRenderable next;
    next.render(0.0f);
    EXPECT_EQ(next.getRenderTarget(), borrowed);
}

} // namespace
