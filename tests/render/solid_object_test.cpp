// The solid-object effect as scenes draw meshes with it: textures sampled the same whatever was
// drawn before (repeating and filtered through their mip levels), materials without a texture
// and with a one-texel texture, opaque draws whatever their colours' alpha, normal maps that
// tilt the surface without turning it away, and the motion it writes into the blur map (none
// for a first frame or a cut), carried through the motion blur along the object's own
// direction.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <d3dx9.h>
#include <gtest/gtest.h>

#include "engine/math/matrix.h"
#include "engine/mesh/generators.h"
#include "engine/mesh/mesh.h"
#include "engine/render/mesh_instance.h"
#include "engine/render/post_effects.h"
#include "engine/render/screen_quad.h"
#include "engine/resources/effect_cache.h"
#include "engine/resources/file_cache.h"
#include "engine/resources/render_target.h"
#include "engine/resources/texture.h"
#include "engine/scene/camera.h"
#include "engine/scene/matrix_stack.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"
#include "support/engine_fixture.h"
#include "support/images.h"
#include "support/scratch.h"

namespace {

using velmo::MeshInstance;

int red(DWORD c) {
    return int(c >> 16 & 0xff);
}
int green(DWORD c) {
    return int(c >> 8 & 0xff);
}
int blue(DWORD c) {
    return int(c & 0xff);
}

class SolidObject : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        scene = new velmo::Scene;
        camera.position = velmo::Vec3(0, 0, -5);
        camera.target = velmo::Vec3(0, 0, 0);
        scene->root->camera = &camera;
        velmo::MatrixStack::instance()->scene = scene;
    }
    void TearDown() override {
        delete scene;
        delete velmo::EffectCache::single;
        velmo::EffectCache::single = nullptr;
        EngineTest::TearDown();
    }

    // A texture of w x h texels coloured by `texel` (0xAARRGGBB), loaded as the program does.
    velmo::Texture* texture(int w, int h, const std::function<DWORD(int, int)>& texel) {
        std::vector<unsigned char> rgba;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const DWORD c = texel(x, y);
                rgba.insert(rgba.end(),
                            {static_cast<unsigned char>(c >> 16),
                             static_cast<unsigned char>(c >> 8), static_cast<unsigned char>(c),
                             static_cast<unsigned char>(c >> 24)});
            }
        }
        const std::vector<unsigned char> png = encodeImage(false, w, h, 4, rgba);
        const std::string path = scratch.file("texture" + std::to_string(++textures) + ".png");
        writeFile(path, png.data(), png.size());
        velmo::preloadFile(path);
        velmo::Texture* made = velmo::Device::loadTexture(path);
        EXPECT_NE(made->getTexture(), nullptr);
        return made;
    }

    // A unit cube facing the camera whose front face shows the texture `repeats` times across
    // and down, upright; unlit, so that the picture is the texture times the ambient colour.
    MeshInstance* cube(velmo::Texture* tex, float repeats) {
        velmo::Mesh* mesh = velmo::Device::instance()->state->createMesh();
        velmo::meshgen::Cube(velmo::Vec3(1, 1, 1)).generate(mesh);
        velmo::VertexList* vertices = nullptr;
        mesh->editGeometry(&vertices, nullptr, nullptr);
        for (velmo::Vertex* v : *vertices) {
            const velmo::Vec3 p = *v->getPosition();
            v->setUV0((p.x + 1.0f) * 0.5f * repeats, (1.0f - p.y) * 0.5f * repeats);
            // The second set gives the tangent frame that normal maps tilt along.
            v->setUV1(v->getUV0()[0], v->getUV0()[1]);
        }
        instances.push_back(std::make_unique<MeshInstance>(mesh));
        MeshInstance* instance = instances.back().get();
        instance->material.lit = false;
        instance->material.ambient = D3DXVECTOR4(1, 1, 1, 1);
        instance->material.texture = tex;
        scene->root->addChild(instance);
        return instance;
    }

    std::vector<DWORD> picture(velmo::RenderTarget* target) {
        IDirect3DSurface9* surface = nullptr;
        target->getTexture()->GetSurfaceLevel(0, &surface);
        const std::vector<unsigned char> bytes = readBack(surface);
        surface->Release();
        w = target->getWidth();
        h = target->getHeight();
        std::vector<DWORD> pixels(size_t(w) * h);
        for (UINT y = 0; y < h; ++y) {
            for (UINT x = 0; x < w; ++x) {
                pixels[size_t(y) * w + x] = argbAt(bytes, w, x, y);
            }
        }
        return pixels;
    }
    std::vector<DWORD> render(float t) {
        scene->render(t);
        return picture(scene->getRenderTarget());
    }
    DWORD pixel(const std::vector<DWORD>& pixels, UINT x, UINT y) const {
        return pixels[size_t(y) * w + x];
    }

    ScratchDir scratch;
    int textures = 0;
    int renders = 0;
    velmo::Scene* scene = nullptr;
    velmo::PerspectiveCamera camera{0.8f, 0.5f, 100.0f};
    std::vector<std::unique_ptr<MeshInstance>> instances;
    UINT w = 0;
    UINT h = 0;
};

TEST_F(SolidObject, AMeshLooksTheSameWhateverWasDrawnBeforeIt) {
    // Four coloured quarters, repeated three times over each side of a turned cube.
    const DWORD quarters[2][2] = {{0xffff0000, 0xff00ff00}, {0xff0000ff, 0xffffff00}};
    velmo::Texture* tex = texture(16, 16, [&](int x, int y) { return quarters[y / 8][x / 8]; });
    MeshInstance* shown = cube(tex, 3.0f);
    shown->transform = velmo::multiplyMatrix(velmo::rotationY(0.6f), velmo::rotationX(-0.5f));
    const std::vector<DWORD> first = render(0.0f);

    // A textured full-screen quad elsewhere leaves its clamping and filtering behind.
    velmo::RenderTarget* elsewhere =
        velmo::Device::instance()->state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    elsewhere->begin(0);
    velmo::drawScreenQuad(tex, 1.0f, 0.0f, D3DBLEND_ONE, D3DBLEND_SRCALPHA);
    elsewhere->end();
    velmo::Device::instance()->state->returnRenderTarget(elsewhere);

    const std::vector<DWORD> second = render(1.0f);
    int covered = 0, differing = 0;
    for (size_t i = 0; i < first.size(); ++i) {
        covered += first[i] != 0;
        differing += first[i] != second[i];
    }
    EXPECT_GT(covered, 10000);
    EXPECT_EQ(differing, 0) << "of " << covered << " covered pixels";
}

TEST_F(SolidObject, TexturesRepeatAndAreFilteredThroughTheirMipLevels) {
    // Left half red, right half blue, four times across: eight stripes along the middle row.
    velmo::Texture* halves =
        texture(16, 16, [](int x, int) { return x < 8 ? 0xffff0000u : 0xff0000ffu; });
    MeshInstance* striped = cube(halves, 4.0f);
    std::vector<DWORD> pixels = render(0.0f);
    std::string stripes;
    for (UINT x = 0; x < w; ++x) {
        const DWORD c = pixel(pixels, x, h / 2);
        const char kind = red(c) > 200 && blue(c) < 50   ? 'r'
                          : blue(c) > 200 && red(c) < 50 ? 'b'
                                                         : 0;
        if (kind != 0 && (stripes.empty() || stripes.back() != kind)) {
            stripes += kind;
        }
    }
    EXPECT_EQ(stripes, "rbrbrbrb");
    scene->root->removeChild(striped);

    // One-texel black and white checks, about ten texels to a pixel: the mip levels average
    // them to an even grey, where sampling the full-size level alone would alias.
    velmo::Texture* checks =
        texture(64, 64, [](int x, int y) { return (x + y) % 2 != 0 ? 0xffffffffu : 0xff000000u; });
    cube(checks, 32.0f);
    pixels = render(1.0f);
    int darkest = 255, lightest = 0;
    for (UINT y = h / 2 - 50; y < h / 2 + 50; ++y) {
        for (UINT x = w / 2 - 50; x < w / 2 + 50; ++x) {
            darkest = std::min(darkest, green(pixel(pixels, x, y)));
            lightest = std::max(lightest, green(pixel(pixels, x, y)));
        }
    }
    EXPECT_GT(darkest, 100);
    EXPECT_LT(lightest, 160);
}

TEST_F(SolidObject, MaterialsWithoutATextureShowTheirColourAndOneTexelTexturesAreSampled) {
    struct Case {
        const char* name;
        bool textured;
        DWORD texel;
        DWORD expected; // the ambient colour (0.2, 0.4, 0.6) times the texel
    };
    const Case cases[] = {
        {"no texture", false, 0, 0xff336699},
        {"one black texel", true, 0xff000000, 0xff000000},
        {"one white texel", true, 0xffffffff, 0xff336699},
        {"one orange texel", true, 0xffff8000, 0xff333300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeshInstance* instance =
            cube(c.textured ? texture(1, 1, [&](int, int) { return c.texel; }) : nullptr, 1.0f);
        instance->material.ambient = D3DXVECTOR4(0.2f, 0.4f, 0.6f, 1.0f);
        const std::vector<DWORD> pixels = render(float(&c - cases));
        const DWORD got = pixel(pixels, w / 2, h / 2);
        for (int shift = 0; shift < 32; shift += 8) {
            EXPECT_NEAR(int(got >> shift & 0xff), int(c.expected >> shift & 0xff), 2)
                << std::hex << got << " channel " << shift / 8;
        }
        scene->root->removeChild(instance);
    }
}

TEST_F(SolidObject, ADiagonalMotionIsBlurredAlongItsOwnDirection) {
    // A white square in the middle of a black side, moving up and to the right.
    velmo::Texture* dot = texture(64, 64, [](int x, int y) {
        return x >= 28 && x < 36 && y >= 28 && y < 36 ? 0xffffffffu : 0xff000000u;
    });
    MeshInstance* moving = cube(dot, 1.0f);
    scene->root->blurMapTarget =
        velmo::Device::instance()->state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    render(0.0f);
    render(1.0f);
    moving->transform._41 += 0.25f;
    moving->transform._42 += 0.25f;
    const std::vector<DWORD> sharp = render(2.0f);

    // The blur map says right (red above mid grey) and up (green below it: v runs down).
    const std::vector<DWORD> map = picture(scene->extraTarget());
    long sumX = 0, sumY = 0, n = 0;
    for (UINT y = 0; y < h; ++y) {
        for (UINT x = 0; x < w; ++x) {
            if (red(pixel(sharp, x, y)) > 200) {
                sumX += x, sumY += y, ++n;
            }
        }
    }
    ASSERT_GT(n, 100);
    const int cx = int(sumX / n), cy = int(sumY / n);
    const DWORD motion = pixel(map, UINT(cx), UINT(cy));
    EXPECT_GT(red(motion), 132);
    EXPECT_LT(green(motion), 120);

    velmo::MotionblurEffect blur(scene->getRenderTarget(), scene->extraTarget(),
                                 scene->floatTarget(), 1.0f);
    blur.render(0.0f);
    const std::vector<DWORD> blurred = picture(blur.getRenderTarget());
    // Past the square's corners: lit along the motion (up-right, down-left), dark across it.
    const int k = 20;
    const int along[2] = {red(pixel(blurred, UINT(cx + k), UINT(cy - k))),
                          red(pixel(blurred, UINT(cx - k), UINT(cy + k)))};
    const int across[2] = {red(pixel(blurred, UINT(cx - k), UINT(cy - k))),
                           red(pixel(blurred, UINT(cx + k), UINT(cy + k)))};
    for (int i = 0; i < 2; ++i) {
        EXPECT_GT(along[i], 40) << i;
        EXPECT_LT(across[i], 10) << i;
    }
}

TEST_F(SolidObject, OpaqueDrawsWriteFullAlphaWhateverTheirColoursCarry) {
    MeshInstance* instance = cube(nullptr, 1.0f);
    // Colours whose alpha is as small as some scenes give theirs.
    instance->material.ambient = D3DXVECTOR4(0.5f, 0.5f, 0.5f, 0.002f);
    instance->material.diffuse = D3DXVECTOR4(0.002f, 0.002f, 0.002f, 0.002f);
    const std::vector<DWORD> pixels = render(0.0f);
    const DWORD got = pixel(pixels, w / 2, h / 2);
    EXPECT_EQ(got >> 24, 0xffu) << std::hex << got;
    EXPECT_NEAR(red(got), 128, 2) << std::hex << got;
}

TEST_F(SolidObject, NormalMapsTiltTheSurfaceWithoutTurningItAway) {
    // Lit head-on by the directional light; the brightness of the face's centre, by the texel
    // of the normal map (a colour texture, as scenes use their own textures).
    scene->directionalLightEnabled = true;
    scene->directionalLightDir = D3DXVECTOR3(0, 0, 1);
    auto brightness = [&](const DWORD* texel, float bumpiness) {
        MeshInstance* instance = cube(nullptr, 1.0f);
        instance->material.lit = true;
        instance->material.ambient = D3DXVECTOR4(0, 0, 0, 1);
        instance->material.diffuse = D3DXVECTOR4(0.5f, 0.5f, 0.5f, 1);
        instance->material.specular = D3DXVECTOR4(0, 0, 0, 1);
        instance->material.bumpiness = bumpiness;
        if (texel) {
            const DWORD c = *texel;
            instance->material.normalMap = texture(4, 4, [c](int, int) { return c; });
        }
        const std::vector<DWORD> pixels = render(float(++renders));
        const int value = red(pixel(pixels, w / 2, h / 2));
        scene->root->removeChild(instance);
        return value;
    };
    const int flat = brightness(nullptr, 1.0f);
    ASSERT_GT(flat, 100);
    const DWORD grey = 0xff808080;
    const DWORD reddish = 0xffff8080;
    const DWORD dark = 0xff202020;
    // Mid grey means no tilt, however bumpy the material.
    EXPECT_NEAR(brightness(&grey, 1000.0f), flat, 6);
    // A texel far from mid grey tilts the normal, dimming the face but never blacking it out.
    const int tilted = brightness(&reddish, 1.0f);
    EXPECT_LT(tilted, flat - 10);
    EXPECT_GT(tilted, flat / 2);
    EXPECT_GT(brightness(&dark, 1000.0f), flat / 2);
}

TEST_F(SolidObject, AFirstFrameAndACutWriteNoMotion) {
    MeshInstance* moving = cube(nullptr, 1.0f);
    scene->root->blurMapTarget =
        velmo::Device::instance()->state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    auto motionAtCentre = [&](float t) {
        render(t);
        return pixel(picture(scene->extraTarget()), w / 2, h / 2) & 0xffffffu;
    };
    constexpr DWORD still = 0x808000;
    EXPECT_EQ(motionAtCentre(0.0f), still) << "first frame";
    EXPECT_EQ(motionAtCentre(1.0f), still) << "not moved";
    // A small step is motion...
    moving->transform._41 += 0.05f;
    EXPECT_NE(motionAtCentre(2.0f), still) << "small step";
    // ...a jump across most of the picture within one step is a cut. The object's near
    // side is back at the centre after it, so the pixel is the object's own.
    moving->transform._41 -= 0.05f;
    motionAtCentre(3.0f);
    moving->transform._41 += 3.0f;
    motionAtCentre(4.0f);
    moving->transform._41 -= 3.0f;
    EXPECT_EQ(motionAtCentre(5.0f), still) << "cut";
}

} // namespace
