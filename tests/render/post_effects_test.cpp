// The post-processing effects on pictures the tests paint: what each makes of them, read back
// from its target; the targets they borrow from the pool and give back; the redraw threshold
// they inherit; and a saved picture of each for a person to look at.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <d3dx9.h>
#include <gtest/gtest.h>

#include "engine/render/post_effects.h"
#include "engine/resources/effect_cache.h"
#include "engine/resources/render_target.h"
#include "support/engine_fixture.h"
#include "support/images.h"

namespace {

constexpr DWORD kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF,
                kBlack = 0xFF000000, kGrey = 0xFF808080;

struct Fill {
    LONG x1, y1, x2, y2;
    DWORD color;
};

// A stage that paints a fixed picture: a base colour with rectangles over it.
class Picture : public velmo::BufferRenderable {
public:
    Picture(DWORD base, std::vector<Fill> fills) : base(base), fills(std::move(fills)) {}

    void renderContent(float) override {
        IDirect3DDevice9* device = velmo::Device::instance()->state->device;
        device->Clear(0, nullptr, D3DCLEAR_TARGET, base, 1.0f, 0);
        for (const Fill& f : fills) {
            const D3DRECT rect = {f.x1, f.y1, f.x2, f.y2};
            device->Clear(1, &rect, D3DCLEAR_TARGET, f.color, 1.0f, 0);
        }
    }

    DWORD base;
    std::vector<Fill> fills;
};

bool near(DWORD a, DWORD b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > tolerance) {
            return false;
        }
    }
    return true;
}

int channel(DWORD c, int shift) {
    return int(c >> shift & 0xFF);
}

class PostEffects : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        const D3DVIEWPORT9 letterbox = engine->window->letterboxViewport();
        w = letterbox.Width;
        h = letterbox.Height;
    }
    void TearDown() override {
        delete velmo::EffectCache::single;
        velmo::EffectCache::single = nullptr;
        EngineTest::TearDown();
    }

    // A painted picture, drawn once, to hand on as a surface or a source.
    Picture& paint(DWORD base, std::vector<Fill> fills = {}) {
        pictures.push_back(std::make_unique<Picture>(base, std::move(fills)));
        pictures.back()->render(0.0f);
        return *pictures.back();
    }

    std::vector<DWORD> pixelsOf(velmo::RenderTarget* target) {
        IDirect3DSurface9* surface = nullptr;
        target->getTexture()->GetSurfaceLevel(0, &surface);
        const std::vector<unsigned char> bytes = readBack(surface);
        surface->Release();
        std::vector<DWORD> pixels(size_t(w) * h);
        for (UINT y = 0; y < h; ++y) {
            for (UINT x = 0; x < w; ++x) {
                pixels[size_t(y) * w + x] = argbAt(bytes, w, x, y);
            }
        }
        return pixels;
    }
    DWORD pixel(const std::vector<DWORD>& pixels, UINT x, UINT y) const {
        return pixels[size_t(y) * w + x];
    }

    // Saved under the build tree's e2e-out/post-effects/ for a person to look at.
    void save(const std::string& name, velmo::RenderTarget* target) {
        const std::vector<DWORD> pixels = pixelsOf(target);
        std::vector<unsigned char> rgba(pixels.size() * 4);
        for (size_t i = 0; i < pixels.size(); ++i) {
            rgba[i * 4 + 0] = pixels[i] >> 16 & 0xFF;
            rgba[i * 4 + 1] = pixels[i] >> 8 & 0xFF;
            rgba[i * 4 + 2] = pixels[i] & 0xFF;
            rgba[i * 4 + 3] = 0xFF;
        }
        std::filesystem::create_directories("e2e-out/post-effects");
        const std::vector<unsigned char> png = encodeImage(false, int(w), int(h), 4, rgba);
        std::ofstream("e2e-out/post-effects/" + name + ".png", std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    }

    // Colour bars over the top half and a dark-to-light ramp below: a picture whose every
    // part is told apart, the right way up.
    Picture& testCard() {
        std::vector<Fill> fills;
        const DWORD bars[] = {kWhite, 0xFFFFFF00, 0xFF00FFFF, kGreen, 0xFFFF00FF, kRed, kBlue};
        for (LONG i = 0; i < 7; ++i) {
            fills.push_back({LONG(w) * i / 7, 0, LONG(w) * (i + 1) / 7, LONG(h) / 2, bars[i]});
        }
        for (LONG i = 0; i < 16; ++i) {
            const DWORD v = DWORD(i * 17);
            fills.push_back({LONG(w) * i / 16, LONG(h) / 2, LONG(w) * (i + 1) / 16, LONG(h),
                             0xFF000000 | v << 16 | v << 8 | v});
        }
        fills.push_back(
            {LONG(w) / 2 - 20, LONG(h) / 2 - 20, LONG(w) / 2 + 20, LONG(h) / 2 + 20, kWhite});
        return paint(kBlack, fills);
    }

    velmo::DeviceState* state = velmo::Device::instance()->state;
    std::vector<std::unique_ptr<Picture>> pictures;
    UINT w = 0;
    UINT h = 0;
};

TEST_F(PostEffects, HsvShiftsHueAndScalesSaturationAndValue) {
    struct Case {
        float hue, saturation, value;
        DWORD input, expected;
    };
    const Case cases[] = {
        {0.0f, 1.0f, 1.0f, 0xFF336699, 0xFF336699}, // identity
        {0.0f, 1.0f, 1.0f, 0x80FF0000, 0xFFFF0000}, // opaque: alpha does not dim it again
        {120.0f, 1.0f, 1.0f, kRed, kGreen},         // a third of a turn
        {240.0f, 1.0f, 1.0f, kRed, kBlue},          //
        {-120.0f, 1.0f, 1.0f, kRed, kBlue},         // backwards
        {480.0f, 1.0f, 1.0f, kRed, kGreen},         // wrapped by whole turns
        {60.0f, 1.0f, 1.0f, kRed, 0xFFFFFF00},      // red to yellow
        {0.0f, 0.0f, 1.0f, kRed, kWhite},           // no saturation: grey of the value
        {0.0f, 0.5f, 1.0f, kRed, 0xFFFF8080},       // half saturation
        {0.0f, 1.0f, 0.5f, 0xFFFF8000, 0xFF804000}, // half value
        {0.0f, 1.0f, -3.0f, 0xFFFF8000, kBlack},    // a negative value is black
        {0.0f, 4.0f, 1.0f, 0xFFFF8080, kRed},       // saturation stops at full
        {0.0f, 1.0f, 2.0f, 0xFF804020, 0xFFFF8040}, // doubled value
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hue << " " << c.saturation << " " << c.value << " on "
                                        << std::hex << c.input);
        Picture& source = paint(c.input);
        velmo::HSVEffect effect(&source, c.hue, c.saturation, c.value);
        effect.render(0.0f);
        const std::vector<DWORD> out = pixelsOf(effect.getRenderTarget());
        EXPECT_TRUE(near(pixel(out, w / 2, h / 2), c.expected, 1))
            << std::hex << pixel(out, w / 2, h / 2);
    }
}

TEST_F(PostEffects, HsvWithIdentityParametersKeepsEveryPixel) {
    Picture& card = testCard();
    velmo::HSVEffect effect(&card, 0.0f, 1.0f, 1.0f);
    effect.render(0.0f);
    const std::vector<DWORD> in = pixelsOf(card.getRenderTarget());
    const std::vector<DWORD> out = pixelsOf(effect.getRenderTarget());
    for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_TRUE(near(in[i], out[i], 1)) << "pixel " << i % w << ", " << i / w << ": "
                                            << std::hex << in[i] << " became " << out[i];
    }
    save("card", card.getRenderTarget());
    velmo::HSVEffect shifted(&card, 120.0f, 1.0f, 1.0f);
    shifted.render(0.0f);
    save("hsv_hue120", shifted.getRenderTarget());
}

TEST_F(PostEffects, HsvWrapsTheHueByWholeTurnsTowardZeroAndKeepsIt) {
    struct Case {
        float hue, wrapped;
    };
    const Case cases[] = {{725.0f, 5.0f},   {370.0f, 10.0f},   {720.0f, 0.0f},
                          {-30.0f, -30.0f}, {-400.0f, -40.0f}, {359.0f, 359.0f}};
    Picture& source = paint(kRed);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hue);
        velmo::HSVEffect effect(&source, c.hue, 1.0f, 1.0f);
        EXPECT_EQ(effect.hue, c.hue); // nothing happens before a render
        effect.render(1.0f);
        EXPECT_FLOAT_EQ(effect.hue, c.wrapped);
        float sent = 0.0f;
        ASSERT_EQ(effect.shader.effect->GetFloat("hue", &sent), D3D_OK);
        EXPECT_FLOAT_EQ(sent, c.wrapped);
    }
}

// The effects' own targets come from the pool and go back to it; a render at the same time
// draws nothing new, a render later, or a new object, draws again.
TEST_F(PostEffects, TargetsArePooledAndRedrawsFollowTheTime) {
    Picture& source = paint(kRed);
    velmo::RenderTarget* borrowed = nullptr;
    {
        velmo::HSVEffect effect(&source, 120.0f, 1.0f, 1.0f);
        EXPECT_EQ(effect.getRenderTarget(), nullptr);
        effect.render(2.0f);
        borrowed = effect.getRenderTarget();
        ASSERT_NE(borrowed, nullptr);
        EXPECT_EQ(borrowed->getWidth(), w);
        EXPECT_EQ(borrowed->getHeight(), h);
        EXPECT_EQ(borrowed->getFormat(), D3DFMT_A8R8G8B8);
        EXPECT_TRUE(near(pixelsOf(borrowed)[0], kGreen, 1));

        // The source changes; the same time keeps the old picture, a later one redraws.
        source.base = kBlue;
        source.forceRender(0.0f);
        effect.render(2.0f);
        EXPECT_TRUE(near(pixelsOf(borrowed)[0], kGreen, 1));
        effect.render(2.0005f);
        EXPECT_TRUE(near(pixelsOf(borrowed)[0], kGreen, 1));
        effect.render(2.002f);
        EXPECT_TRUE(near(pixelsOf(borrowed)[0], kRed, 1)); // blue turned a third
        EXPECT_EQ(state->freeRenderTargets.size(), 0u);
    }
    ASSERT_EQ(state->freeRenderTargets.size(), 1u);
    EXPECT_EQ(state->freeRenderTargets.back(), borrowed);

    // The next frame's object borrows the same target and draws at the same time again.
    velmo::HSVEffect next(&source, 0.0f, 1.0f, 1.0f);
    next.render(2.002f);
    EXPECT_EQ(next.getRenderTarget(), borrowed);
    EXPECT_TRUE(near(pixelsOf(borrowed)[0], kBlue, 1));
}

TEST_F(PostEffects, DistortionMovesPixelsByTheSlopeOfTheMap) {
    // Red left of the middle, blue right of it.
    Picture& source = paint(kRed, {{LONG(w) / 2, 0, LONG(w), LONG(h), kBlue}});
    velmo::RenderTarget* picture = source.getRenderTarget();

    // Maps of even brightness keep the picture, whatever the factor; so does no map.
    Picture& black = paint(kBlack);
    Picture& grey = paint(kGrey);
    for (velmo::RenderTarget* map :
         {black.getRenderTarget(), grey.getRenderTarget(), (velmo::RenderTarget*)nullptr}) {
        SCOPED_TRACE(map == nullptr ? "no map" : "even map");
        velmo::MappedDistortionEffect effect(picture, map, 0.7f, 0.03f);
        effect.render(0.0f);
        const std::vector<DWORD> in = pixelsOf(picture);
        const std::vector<DWORD> out = pixelsOf(effect.getRenderTarget());
        for (size_t i = 0; i < in.size(); ++i) {
            ASSERT_TRUE(near(in[i], out[i], 1)) << "pixel " << i % w << ", " << i / w;
        }
    }

    // A map that steps from black to white at a quarter of the width: within `timedelta` of
    // the step the slope is 1, so those pixels read the picture `factor` to the right (blue);
    // further away the map is even and they keep their red. A negative factor reads leftwards.
    Picture& step = paint(kBlack, {{LONG(w) / 4, 0, LONG(w), LONG(h), kWhite}});
    const UINT quarter = w / 4;
    struct Case {
        float factor;
        DWORD atStep;
    };
    for (const Case& c : {Case{0.5f, kBlue}, Case{-0.5f, kRed}, Case{0.0f, kRed}}) {
        SCOPED_TRACE(c.factor);
        velmo::MappedDistortionEffect effect(picture, step.getRenderTarget(), c.factor, 0.02f);
        effect.render(0.0f);
        const std::vector<DWORD> out = pixelsOf(effect.getRenderTarget());
        EXPECT_TRUE(near(pixel(out, quarter, h / 2), c.atStep, 2))
            << std::hex << pixel(out, quarter, h / 2);
        EXPECT_TRUE(near(pixel(out, quarter - 20, h / 2), kRed, 1));
        EXPECT_TRUE(near(pixel(out, quarter + 20, h / 2), kRed, 1));
        EXPECT_TRUE(near(pixel(out, w * 3 / 4, h / 2), kBlue, 1));
    }

    // A picture for a person: the test card through a map of itself.
    Picture& card = testCard();
    velmo::MappedDistortionEffect shown(card.getRenderTarget(), card.getRenderTarget(), 0.05f,
                                        0.01f);
    shown.render(0.0f);
    save("distortion", shown.getRenderTarget());
}

// A later effect on the same file gets no stale texture: null inputs clear the parameters.
TEST_F(PostEffects, NullSurfacesAreSentAsNoTexture) {
    Picture& any = paint(kGrey);
    velmo::RenderTarget* target = any.getRenderTarget();
    const auto textureOf = [](velmo::TShader& shader, const char* name) {
        IDirect3DBaseTexture9* texture = nullptr;
        EXPECT_EQ(shader.effect->GetTexture(name, &texture), D3D_OK) << name;
        if (texture != nullptr) {
            texture->Release();
        }
        return texture;
    };
    {
        velmo::MappedDistortionEffect full(target, target, 1.0f, 0.03f);
        full.render(0.0f);
        EXPECT_EQ(textureOf(full.shader, "distortionMap"), target->getTexture());
        velmo::MappedDistortionEffect empty(target, nullptr, 1.0f, 0.03f);
        empty.render(0.0f);
        EXPECT_EQ(textureOf(empty.shader, "distortionMap"), nullptr);
        EXPECT_EQ(textureOf(empty.shader, "tex"), target->getTexture());
    }
    velmo::MotionblurEffect full(target, target, target, 0.1f);
    full.render(0.0f);
    EXPECT_EQ(textureOf(full.shader, "blurMap"), target->getTexture());
    EXPECT_EQ(textureOf(full.shader, "depthTex"), target->getTexture());
    velmo::MotionblurEffect empty(target, nullptr, nullptr, 0.1f);
    empty.render(0.0f);
    EXPECT_EQ(textureOf(empty.shader, "blurMap"), nullptr);
    EXPECT_EQ(textureOf(empty.shader, "depthTex"), nullptr);
}

TEST_F(PostEffects, MotionBlurSmearsAlongTheVelocityBehindNearerPixels) {
    // Red left of the middle, blue right of it.
    Picture& source = paint(kRed, {{LONG(w) / 2, 0, LONG(w), LONG(h), kBlue}});
    velmo::RenderTarget* picture = source.getRenderTarget();
    const UINT middle = w / 2;

    // Mid grey is no motion: the picture stays.
    Picture& still = paint(kGrey);
    {
        velmo::MotionblurEffect effect(picture, still.getRenderTarget(), nullptr, 0.5f);
        effect.render(0.0f);
        const std::vector<DWORD> in = pixelsOf(picture);
        const std::vector<DWORD> out = pixelsOf(effect.getRenderTarget());
        for (size_t i = 0; i < in.size(); ++i) {
            ASSERT_TRUE(near(in[i], out[i], 1))
                << "pixel " << i % w << ", " << i / w << ": " << std::hex << in[i] << " " << out[i];
        }
    }

    // Full speed to the right with radius 0.1 reaches 0.1 of the width in all: pixels that
    // close to the edge mix red and blue, those further off keep their colour.
    Picture& moving = paint(0xFFFF8000);
    const UINT reach = UINT(0.05f * float(w)); // to each side
    {
        velmo::MotionblurEffect effect(picture, moving.getRenderTarget(), nullptr, 0.1f);
        effect.render(0.0f);
        const std::vector<DWORD> out = pixelsOf(effect.getRenderTarget());
        for (UINT x : {middle - reach / 2, middle + reach / 2}) {
            const DWORD p = pixel(out, x, h / 2);
            EXPECT_GT(channel(p, 16), 40) << x << ": " << std::hex << p;
            EXPECT_GT(channel(p, 0), 40) << x << ": " << std::hex << p;
        }
        EXPECT_TRUE(near(pixel(out, middle - reach - 4, h / 2), kRed, 1));
        EXPECT_TRUE(near(pixel(out, middle + reach + 4, h / 2), kBlue, 1));
        save("motion_blur_edge", effect.getRenderTarget());
    }

    // With the left half nearer, the blue pixels beside it take none of it; the red ones still
    // take the blue behind them.
    velmo::RenderTarget* depthTarget = state->acquireRenderTarget(D3DFMT_R32F);
    depthTarget->begin(0);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    const D3DRECT left = {0, 0, LONG(w) / 2, LONG(h)};
    device->Clear(1, &left, D3DCLEAR_TARGET, 0xFF333333, 1.0f, 0); // 0.2
    depthTarget->end();
    velmo::MotionblurEffect effect(picture, moving.getRenderTarget(), depthTarget, 0.1f);
    effect.render(0.0f);
    const std::vector<DWORD> out = pixelsOf(effect.getRenderTarget());
    EXPECT_TRUE(near(pixel(out, middle + reach / 2, h / 2), kBlue, 1))
        << std::hex << pixel(out, middle + reach / 2, h / 2);
    const DWORD mixed = pixel(out, middle - reach / 2, h / 2);
    EXPECT_GT(channel(mixed, 0), 40) << std::hex << mixed;
    state->returnRenderTarget(depthTarget);

    // A picture for a person: the test card, its top half moving right and down.
    Picture& card = testCard();
    Picture& velocity = paint(kGrey, {{0, 0, LONG(w), LONG(h) / 2, 0xFFFFC080}});
    velmo::MotionblurEffect shown(card.getRenderTarget(), velocity.getRenderTarget(), nullptr,
                                  0.1f);
    shown.render(0.0f);
    save("motion_blur", shown.getRenderTarget());
}

TEST_F(PostEffects, BloomGlowsAroundBrightPixelsOnly) {
    // One white square on black.
    const LONG cx = LONG(w) / 2, cy = LONG(h) / 2;
    Picture& source = paint(kBlack, {{cx - 4, cy - 4, cx + 4, cy + 4, kWhite}});
    // A dim square the glow raised to power 4 all but ignores.
    Picture& dim = paint(kBlack, {{cx - 4, cy - 4, cx + 4, cy + 4, 0xFF404040}});

    velmo::BloomEffect bloom(&source, 0.1f, 2.0f, 1.0f);
    bloom.render(0.0f);
    const std::vector<DWORD> out = pixelsOf(bloom.getRenderTarget());
    const DWORD centre = pixel(out, UINT(cx), UINT(cy));
    // Radius 0.1 reaches a hundredth of the width (6.4 pixels) past the square's edges.
    const DWORD beside = pixel(out, UINT(cx + 7), UINT(cy + 6));
    EXPECT_GT(channel(centre, 8), channel(beside, 8));
    EXPECT_GT(channel(beside, 8), 0) << std::hex << beside;
    EXPECT_EQ(pixel(out, 5, 5) & 0xFFFFFF, 0u);
    EXPECT_EQ(pixel(out, UINT(cx + 20), UINT(cy)) & 0xFFFFFF, 0u);

    // A wider radius reaches further; half the alpha gives about half the glow.
    velmo::BloomEffect wide(&source, 0.5f, 2.0f, 1.0f);
    wide.render(0.0f);
    EXPECT_GT(channel(pixelsOf(wide.getRenderTarget())[size_t(cy) * w + UINT(cx + 20)], 8), 0);
    velmo::BloomEffect half(&source, 0.1f, 2.0f, 0.5f);
    half.render(0.0f);
    const DWORD halfCentre = pixel(pixelsOf(half.getRenderTarget()), UINT(cx), UINT(cy));
    EXPECT_NEAR(channel(halfCentre, 8), channel(centre, 8) / 2.0, 2.0);

    velmo::BloomEffect dimmed(&dim, 0.1f, 4.0f, 1.0f);
    dimmed.render(0.0f);
    EXPECT_LT(channel(pixel(pixelsOf(dimmed.getRenderTarget()), UINT(cx), UINT(cy)), 8), 2);

    Picture& card = testCard();
    velmo::BloomEffect shown(&card, 0.3f, 2.0f, 1.0f);
    shown.render(0.0f);
    save("bloom", shown.getRenderTarget());
}

TEST_F(PostEffects, BloomBorrowsOneIntermediateTargetAndGivesItBack) {
    Picture& source = paint(kWhite);
    velmo::BloomEffect bloom(&source, 0.1f, 2.0f, 1.0f);
    bloom.render(0.0f); // borrows its own target and, for a moment, one more
    const size_t made = state->renderTargets.size();
    ASSERT_EQ(state->freeRenderTargets.size(), 1u);
    velmo::RenderTarget* intermediate = state->freeRenderTargets.front();
    EXPECT_NE(intermediate, bloom.getRenderTarget());

    // With a free target waiting before it, the bloom takes that one and puts it at the end.
    velmo::RenderTarget* other = state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    ASSERT_EQ(other, intermediate);
    velmo::RenderTarget* waiting = state->createRenderTarget(w, h, D3DFMT_A8R8G8B8);
    state->returnRenderTarget(waiting);
    state->returnRenderTarget(other);
    bloom.render(1.0f);
    EXPECT_EQ(state->renderTargets.size(), made + 1);
    EXPECT_EQ(state->freeRenderTargets, (std::list<velmo::RenderTarget*>{other, waiting}));

    // With none free, one more is made and left in the pool.
    velmo::RenderTarget* a = state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    velmo::RenderTarget* b = state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    ASSERT_TRUE(state->freeRenderTargets.empty());
    bloom.render(2.0f);
    EXPECT_EQ(state->renderTargets.size(), made + 2);
    EXPECT_EQ(state->freeRenderTargets.size(), 1u);
    EXPECT_FALSE(state->freeRenderTargets.front()->isActive());
    state->returnRenderTarget(a);
    state->returnRenderTarget(b);
}

// The bloom brackets its draws in a scene of its own, but a scene its caller began stays the
// caller's: it is still open afterwards.
TEST_F(PostEffects, BloomLeavesTheCallersSceneOpen) {
    Picture& source = paint(kWhite);
    velmo::BloomEffect alone(&source, 0.1f, 2.0f, 1.0f);
    alone.render(0.0f);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL); // its own scene was ended

    ASSERT_EQ(device->BeginScene(), D3D_OK);
    velmo::BloomEffect inside(&source, 0.1f, 2.0f, 1.0f);
    inside.render(0.0f);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_GT(channel(pixelsOf(inside.getRenderTarget())[size_t(h / 2) * w + w / 2], 8), 200);
}

} // namespace
