// The device state's registry and its pool of render targets, on a running engine.
#include <vector>

#include <gtest/gtest.h>
#include <port_testing.h>

#include "engine/resources/file_cache.h"
#include "engine/resources/render_target.h"
#include "engine/resources/texture.h"
#include "support/engine_fixture.h"

#include "support/images.h"

namespace {

using DeviceState = EngineTest;

velmo::DeviceState& state() {
    return *velmo::Device::instance()->state;
}

TEST_F(DeviceState, TargetsAreLentAtTheLetterboxSizeAndReturnedFirstComeBackFirst) {
    velmo::RenderTarget* a = state().acquireRenderTarget(D3DFMT_A8R8G8B8);
    velmo::RenderTarget* b = state().acquireRenderTarget(D3DFMT_A8R8G8B8);
    ASSERT_NE(a, b);
    EXPECT_EQ(a->getWidth(), 640u);
    EXPECT_EQ(a->getHeight(), 359u);
    EXPECT_NE(a->getTexture(), nullptr);
    EXPECT_EQ(state().renderTargets.size(), 2u);
    EXPECT_TRUE(state().freeRenderTargets.empty()); // new targets are lent, not pooled

    state().returnRenderTarget(a);
    state().returnRenderTarget(b);
    EXPECT_EQ(state().acquireRenderTarget(D3DFMT_A8R8G8B8), a);
    EXPECT_EQ(state().freeRenderTargets, std::list<velmo::RenderTarget*>{b});
    EXPECT_EQ(state().renderTargets.size(), 2u);
}

TEST_F(DeviceState, AFloatTargetIsNeverLentForAColourRequest) {
    velmo::RenderTarget* depth = state().acquireRenderTarget(D3DFMT_R32F);
    state().freeRenderTargets.push_back(nullptr); // null entries are passed over
    state().returnRenderTarget(depth);
    velmo::RenderTarget* colour = state().acquireRenderTarget(D3DFMT_A8R8G8B8);
    EXPECT_NE(colour, depth);
    EXPECT_EQ(colour->getFormat(), D3DFMT_A8R8G8B8);
    EXPECT_EQ(state().acquireRenderTarget(D3DFMT_R32F), depth);
}

TEST_F(DeviceState, ATargetOfAnotherSizeStaysInThePool) {
    velmo::RenderTarget* small = state().createRenderTarget(320, 180, D3DFMT_A8R8G8B8);
    EXPECT_TRUE(state().freeRenderTargets.empty());
    state().returnRenderTarget(small);
    EXPECT_NE(state().acquireRenderTarget(D3DFMT_A8R8G8B8), small);
    EXPECT_EQ(state().freeRenderTargets.size(), 1u);
}

TEST_F(DeviceState, EveryLoadOfANameMakesItsOwnTextureAndAllAreFreedWithTheDevice) {
    const std::vector<unsigned char> png =
        encodeImage(false, 3, 2, 4, std::vector<unsigned char>(3 * 2 * 4, 99));
    velmo::FileCache::instance()->entries.push_back({"dot.png", png.data(), uint32_t(png.size())});

    velmo::Texture* first = velmo::Device::loadTexture("dot.png");
    velmo::Texture* second = state().loadTexture("dot.png");
    ASSERT_NE(first, second);
    EXPECT_NE(first->getTexture(), nullptr);
    EXPECT_NE(first->getTexture(), second->getTexture());
    EXPECT_EQ(state().textures.size(), 2u);
    EXPECT_TRUE(first->isLoaded());
    EXPECT_EQ(first->width(), 4u);
    EXPECT_EQ(first->height(), 2u);
    EXPECT_EQ(first->sourceWidth(), 3u);
    EXPECT_EQ(first->sourceHeight(), 2u);
    IDirect3DTexture9* made = first->getTexture();
    first->load("dot.png"); // a loaded texture never loads again
    EXPECT_EQ(first->getTexture(), made);

    // One freed early is gone from the registry; freeing it again, or one never registered,
    // changes nothing (and frees nothing twice under the sanitizers).
    state().releaseTexture(second);
    EXPECT_EQ(state().textures.count(second), 0u);
    state().releaseTexture(second);
    velmo::Texture stranger;
    state().releaseTexture(&stranger);
    EXPECT_EQ(state().textures.size(), 1u);

    state().acquireRenderTarget(D3DFMT_A8R8G8B8);
    state().returnRenderTarget(state().acquireRenderTarget(D3DFMT_R32F));
    state().releaseAll(); // under the sanitizers, anything not freed here is reported

    EXPECT_EQ(state().device, nullptr);
    EXPECT_TRUE(state().meshes.empty());
    EXPECT_TRUE(state().textures.empty());
    EXPECT_TRUE(state().renderTargets.empty());
    EXPECT_TRUE(state().freeRenderTargets.empty());
    velmo::FileCache::instance()->entries.clear();
}

} // namespace
