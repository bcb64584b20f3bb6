// Textured particle systems: slots handed out and reused last freed first, the vertex records
// packed in slot order, and sprites drawn where the camera puts them, upright on the screen
// whatever the view, with the texture's colours weighted by their alpha; and each frame's upload,
// which follows the live particles.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <port_testing.h>

#include "engine/render/particle_system.h"
#include "engine/resources/device_state.h"
#include "engine/resources/effect_cache.h"
#include "engine/resources/file_cache.h"
#include "engine/resources/render_target.h"
#include "engine/resources/texture.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"
#include "support/engine_fixture.h"
#include "support/images.h"
#include "support/scratch.h"

namespace {

using velmo::TextureParticle;
using velmo::TextureParticleSystem;

// The effect's constant opacity, which weights every particle's own alpha.
constexpr float kEffectAlpha = 0.1f;

TEST(ParticleSlots, AreHandedOutInOrderAndReusedLastFreedFirst) {
    // No device: the system keeps its particles all the same.
    struct Step {
        bool add;  // add a new particle, else free `index`
        int index; // the slot freed, or the slot the add must get (-1: refused)
        int count; // live particles afterwards
    };
    const Step steps[] = {
        {true, 0, 1},   {true, 1, 2},  {true, -1, 2}, // full at capacity 2
        {false, 0, 1},  {true, 0, 2},                 // the freed slot comes back
        {false, 1, 1},  {false, 0, 0},                // freed 1, then 0 ...
        {true, 0, 1},   {true, 1, 2},                 // ... so 0 comes back first, then 1
        {true, -1, 2},                                // full again
        {false, 1, 1},  {false, 1, 1},                // a second free of a slot does nothing
        {false, -1, 1}, {false, 2, 1}, {false, 7, 1}, // nor does an index outside the slots
        {true, 1, 2},   {true, -1, 2}, // slot 1 was listed once: no two particles share it
    };
    TextureParticleSystem system(2, nullptr);
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& s = steps[i];
        if (s.add) {
            auto* p = new TextureParticle(1.0f, 1.0f, float(i), 0.0f, 0.0f);
            const int index = system.allocParticle(p);
            EXPECT_EQ(index, s.index) << "step " << i;
            if (index < 0) {
                delete p; // refused: still the caller's
            } else {
                EXPECT_EQ(system.slots[size_t(index)], p) << "step " << i;
            }
        } else {
            system.freeParticle(s.index);
        }
        EXPECT_EQ(system.count, s.count) << "step " << i;
        EXPECT_LE(system.slots.size(), 2u) << "step " << i;
    }
}

TEST(ParticleSlots, ASystemWithoutRoomOrGivenNoParticleStoresNothing) {
    TextureParticleSystem empty(0, nullptr);
    TextureParticle particle(1.0f, 1.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(empty.allocParticle(&particle), -1);
    EXPECT_EQ(empty.count, 0);

    TextureParticleSystem system(3, nullptr);
    EXPECT_EQ(system.allocParticle(nullptr), -1);
    EXPECT_EQ(system.count, 0);
    EXPECT_TRUE(system.slots.empty());
    EXPECT_EQ(system.getBounds()[0], 0.0f);
    EXPECT_EQ(system.getBounds()[5], 0.0f);
}

// A quartered 8 x 8 texture: red top left, green top right, blue bottom left, white bottom
// right, all opaque.
constexpr DWORD kQuarters[2][2] = {{0xffff0000u, 0xff00ff00u}, {0xff0000ffu, 0xffffffffu}};

class ParticleSystemTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        scene = new velmo::Scene;
        scene->root->camera = &camera;
    }
    void TearDown() override {
        // The program's shutdown order: nodes and scene, the effect cache, then the device.
        delete system;
        delete scene;
        delete velmo::EffectCache::single;
        velmo::EffectCache::single = nullptr;
        EngineTest::TearDown();
    }

    velmo::Texture* quarteredTexture() {
        std::vector<unsigned char> rgba;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const DWORD c = kQuarters[y / 4][x / 4];
                rgba.insert(rgba.end(), {static_cast<unsigned char>(c >> 16),
                                         static_cast<unsigned char>(c >> 8),
                                         static_cast<unsigned char>(c), 0xff});
            }
        }
        const std::vector<unsigned char> png = encodeImage(false, 8, 8, 4, rgba);
        const std::string path = scratch.file("quarters.png");
        writeFile(path, png.data(), png.size());
        velmo::preloadFile(path);
        velmo::Texture* texture = velmo::Device::loadTexture(path);
        EXPECT_NE(texture->getTexture(), nullptr);
        return texture;
    }

    void makeSystem(int capacity, velmo::Texture* texture = nullptr) {
        system = new TextureParticleSystem(capacity, texture);
        scene->root->addChild(system);
    }

    // The scene's picture, A8R8G8B8, top row first.
    std::vector<unsigned char> picture() {
        IDirect3DSurface9* surface = nullptr;
        scene->getRenderTarget()->getTexture()->GetSurfaceLevel(0, &surface);
        std::vector<unsigned char> pixels = readBack(surface);
        surface->Release();
        return pixels;
    }

    // The picture as a PNG under the build tree, its colours multiplied by gain.
    static void savePicture(const std::vector<unsigned char>& pixels, UINT w, UINT h, int gain,
                            const std::string& file) {
        std::vector<unsigned char> rgba(size_t(w) * h * 4);
        for (UINT y = 0; y < h; ++y) {
            for (UINT x = 0; x < w; ++x) {
                const DWORD p = argbAt(pixels, w, x, y);
                unsigned char* out = &rgba[(size_t(y) * w + x) * 4];
                for (int c = 0; c < 3; ++c) {
                    out[c] = static_cast<unsigned char>(
                        std::min<DWORD>(255u, ((p >> (16 - 8 * c)) & 0xff) * DWORD(gain)));
                }
                out[3] = 0xff;
            }
        }
        std::filesystem::create_directories("particle-out");
        const std::vector<unsigned char> png = encodeImage(false, int(w), int(h), 4, rgba);
        std::ofstream("particle-out/" + file, std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    }

    ScratchDir scratch;
    velmo::Scene* scene = nullptr;
    velmo::PerspectiveCamera camera{1.3f, 1.0f, 200.0f};
    TextureParticleSystem* system = nullptr;
};

TEST_F(ParticleSystemTest, LiveParticlesArePackedInSlotOrderSixCornersEach) {
    makeSystem(3);
    ASSERT_NE(system->vertexBuffer, nullptr);
    D3DVERTEXBUFFER_DESC desc = {};
    system->vertexBuffer->GetDesc(&desc);
    EXPECT_EQ(desc.Size, 3u * 168u);
    EXPECT_EQ(desc.FVF, 0x202u);
    EXPECT_EQ(desc.Usage, DWORD(D3DUSAGE_DYNAMIC));

    ASSERT_EQ(system->allocParticle(new TextureParticle(1.5f, 0.25f, 1, 2, 3)), 0);
    ASSERT_EQ(system->allocParticle(new TextureParticle(9.0f, 0.5f, 4, 5, 6)), 1);
    ASSERT_EQ(system->allocParticle(new TextureParticle(4.0f, -0.75f, 7, 8, 9)), 2);
    system->freeParticle(1);
    system->fillVertexBuffer();

    void* data = nullptr;
    ASSERT_EQ(system->vertexBuffer->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    std::vector<velmo::ParticleVertex> vertices(12);
    std::memcpy(vertices.data(), data, 12 * sizeof(velmo::ParticleVertex));
    system->vertexBuffer->Unlock();

    const float corners[6][2] = {{0, 0}, {0, 1}, {1, 1}, {0, 0}, {1, 1}, {1, 0}};
    const float particles[2][5] = {{1, 2, 3, 0.25f, 1.5f}, {7, 8, 9, -0.75f, 4.0f}};
    for (int i = 0; i < 12; ++i) {
        const float* p = particles[i / 6];
        const velmo::ParticleVertex& v = vertices[size_t(i)];
        const float expected[7] = {p[0], p[1], p[2], corners[i % 6][0], corners[i % 6][1],
                                   p[3], p[4]};
        const float got[7] = {v.x, v.y, v.z, v.u, v.v, v.alpha, v.size};
        for (int k = 0; k < 7; ++k) {
            EXPECT_EQ(got[k], expected[k]) << "vertex " << i << " float " << k;
        }
    }
}

TEST_F(ParticleSystemTest, RenderBindsTheBufferAndLeavesItUnlockedEvenWhenEmpty) {
    makeSystem(4);
    IDirect3DIndexBuffer9* someIndices = nullptr;
    ASSERT_EQ(
        device->CreateIndexBuffer(6, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &someIndices, nullptr),
        D3D_OK);
    held.push_back(someIndices);
    device->SetIndices(someIndices);

    scene->render(1.0f);

    DWORD fvf = 0;
    device->GetFVF(&fvf);
    EXPECT_EQ(fvf, 0x202u);
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 1, stride = 0;
    ASSERT_EQ(device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, system->vertexBuffer);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(stride, 28u);
    if (stream != nullptr) {
        stream->Release();
    }
    IDirect3DIndexBuffer9* indices = someIndices;
    device->GetIndices(&indices);
    EXPECT_EQ(indices, nullptr);
    // The fill's lock was given back.
    void* data = nullptr;
    EXPECT_EQ(system->vertexBuffer->Lock(0, 0, &data, 0), D3D_OK);
    system->vertexBuffer->Unlock();
    // Nothing drawn.
    const std::vector<unsigned char> pixels = picture();
    const UINT w = scene->getRenderTarget()->getWidth();
    EXPECT_EQ(argbAt(pixels, w, w / 2, scene->getRenderTarget()->getHeight() / 2), 0u);
}

TEST_F(ParticleSystemTest, WithoutACameraOrABufferNothingIsDrawn) {
    makeSystem(2, quarteredTexture());
    system->allocParticle(new TextureParticle(50.0f, 1.0f, 0, 0, 10));
    scene->root->camera = nullptr;
    scene->render(1.0f);
    const UINT w = scene->getRenderTarget()->getWidth();
    const UINT h = scene->getRenderTarget()->getHeight();
    EXPECT_EQ(argbAt(picture(), w, w / 2, h / 2), 0u);

    // No room: no vertex buffer, and a render that draws nothing.
    scene->root->camera = &camera;
    auto* empty = new TextureParticleSystem(0, nullptr);
    EXPECT_EQ(empty->vertexBuffer, nullptr);
    scene->root->removeChild(system);
    scene->root->addChild(empty);
    scene->render(2.0f);
    EXPECT_EQ(argbAt(picture(), w, w / 2, h / 2), 0u);
    delete empty;
}

// The fill locks the live particles' bytes (all of the buffer when none is live); what goes up
// to the GL buffer each frame follows the live particles, never the capacity.
TEST_F(ParticleSystemTest, EachFrameUploadsTheLiveParticlesOnly) {
    makeSystem(1000, quarteredTexture());
    std::vector<int> slots;
    float t = 0.0f;
    for (const int live : {0, 1000, 250, 0}) {
        SCOPED_TRACE(testing::Message() << live << " live");
        while (int(slots.size()) < live) {
            slots.push_back(system->allocParticle(new TextureParticle(0.1f, 1.0f, 0, 0, 10)));
        }
        while (int(slots.size()) > live) {
            system->freeParticle(slots.back());
            slots.pop_back();
        }
        const uint64_t before = port::testing::uploadedBytes(system->vertexBuffer);
        scene->render(t += 1.0f);
        EXPECT_EQ(port::testing::uploadedBytes(system->vertexBuffer) - before,
                  uint64_t(live) * 168u);
    }
}

// Where a sprite lands on the scene's picture: its centre in pixels and its half-extents.
struct Footprint {
    float cx, cy, hx, hy;
};

Footprint footprint(const velmo::TCamera& cam, const TextureParticle& p, UINT w, UINT h) {
    const D3DXMATRIX view = cam.getView();
    const D3DXMATRIX proj = cam.getProjection();
    D3DXVECTOR4 centre(p.x, p.y, p.z, 1.0f), viewPos, clip;
    D3DXVec4Transform(&viewPos, &centre, &view);
    D3DXVec4Transform(&clip, &viewPos, &proj);
    Footprint f;
    f.cx = (clip.x / clip.w + 1.0f) * 0.5f * float(w);
    f.cy = (1.0f - clip.y / clip.w) * 0.5f * float(h);
    // The sprite is size wide and high in view space, at the centre's depth.
    f.hx = p.size * 0.5f * proj._11 / clip.w * 0.5f * float(w);
    f.hy = p.size * 0.5f * proj._22 / clip.w * 0.5f * float(h);
    return f;
}

TEST_F(ParticleSystemTest, SpritesFaceTheCameraWhereItPutsThemWeightedByTheirAlpha) {
    makeSystem(8, quarteredTexture());
    // D has faded below alpha 0; E is freed, and F moved, after the first picture.
    TextureParticle* a = new TextureParticle(1.5f, 1.0f, -6.0f, 3.0f, 10.0f);
    TextureParticle* b = new TextureParticle(2.5f, 0.5f, 0.0f, 0.0f, 10.0f);
    TextureParticle* c = new TextureParticle(1.5f, 1.0f, 6.0f, -3.0f, 12.0f);
    TextureParticle* d = new TextureParticle(1.5f, -0.3f, -6.0f, -3.0f, 10.0f);
    TextureParticle* e = new TextureParticle(1.5f, 1.0f, 6.0f, 3.0f, 10.0f);
    TextureParticle* f = new TextureParticle(1.5f, 1.0f, 0.0f, 4.5f, 10.0f);
    for (TextureParticle* p : {a, e, b, c, d, f}) {
        ASSERT_GE(system->allocParticle(p), 0);
    }
    const TextureParticle eWas = *e, fWas = *f;

    struct View {
        const char* name;
        velmo::Vec3 position, target;
        float roll;
    };
    const View views[] = {
        {"ahead", {0, 0, 0}, {0, 0, 1}, 0.0f},
        {"oblique", {6, 4, -4}, {0, 0, 10}, 0.0f},
        {"rolled", {0, 0, 0}, {0, 0, 1}, 0.6f},
    };
    const UINT w = 640, h = 359;
    float t = 1.0f;
    for (const View& v : views) {
        SCOPED_TRACE(v.name);
        camera.position = v.position;
        camera.target = v.target;
        camera.roll = v.roll;
        if (t == 1.0f) {
            // The first picture holds E and F where they were; the later ones must not.
            scene->render(t);
            t += 1.0f;
            for (const TextureParticle* p : {e, f}) {
                const Footprint was = footprint(camera, *p, w, h);
                EXPECT_NE(argbAt(picture(), w, UINT(was.cx), UINT(was.cy)), 0u);
            }
            system->freeParticle(1);
            f->x = -1.0f;
            f->y = -4.5f;
            f->z = 12.0f;
        }
        scene->render(t);
        t += 1.0f;
        ASSERT_EQ(scene->getRenderTarget()->getWidth(), w);
        ASSERT_EQ(scene->getRenderTarget()->getHeight(), h);
        const std::vector<unsigned char> pixels = picture();
        savePicture(pixels, w, h, 1, std::string("particles_") + v.name + ".png");
        savePicture(pixels, w, h, 8, std::string("particles_") + v.name + "_x8.png");

        const TextureParticle* shown[] = {a, b, c, f};
        const TextureParticle* hidden[] = {d, &eWas, &fWas};
        std::vector<Footprint> prints;
        for (const TextureParticle* p : shown) {
            prints.push_back(footprint(camera, *p, w, h));
        }
        for (const TextureParticle* p : hidden) {
            prints.push_back(footprint(camera, *p, w, h));
        }
        // The layout keeps every footprint clear of the others and inside the picture.
        for (size_t i = 0; i < prints.size(); ++i) {
            const Footprint& p = prints[i];
            ASSERT_GT(p.hx, 4.0f);
            ASSERT_TRUE(p.cx - 1.3f * p.hx > 0 && p.cx + 1.3f * p.hx < w) << i;
            ASSERT_TRUE(p.cy - 1.3f * p.hy > 0 && p.cy + 1.3f * p.hy < h) << i;
            for (size_t j = 0; j < i; ++j) {
                const Footprint& q = prints[j];
                const bool apart = std::abs(p.cx - q.cx) > 1.3f * (p.hx + q.hx) ||
                                   std::abs(p.cy - q.cy) > 1.3f * (p.hy + q.hy);
                ASSERT_TRUE(apart) << i << " and " << j;
            }
        }
        const auto pixel = [&](float x, float y) {
            return argbAt(pixels, w, UINT(std::floor(x)), UINT(std::floor(y)));
        };

        for (size_t i = 0; i < std::size(shown); ++i) {
            SCOPED_TRACE(testing::Message() << "sprite " << i);
            const Footprint& p = prints[i];
            const float weight = std::clamp(shown[i]->alpha, 0.0f, 1.0f) * kEffectAlpha;
            // Each quarter of the texture in its quarter of the sprite, upright on the screen.
            for (int qy = 0; qy < 2; ++qy) {
                for (int qx = 0; qx < 2; ++qx) {
                    const DWORD got =
                        pixel(p.cx + (qx ? 0.5f : -0.5f) * p.hx, p.cy + (qy ? 0.5f : -0.5f) * p.hy);
                    const DWORD texel = kQuarters[qy][qx];
                    for (int shift : {0, 8, 16}) {
                        const float want = float((texel >> shift) & 0xff) * weight;
                        EXPECT_NEAR(float((got >> shift) & 0xff), want, 2.0f)
                            << "quarter " << qx << ", " << qy << " shift " << shift;
                    }
                    EXPECT_NEAR(float(got >> 24), 255.0f * weight, 2.0f);
                }
            }
            // Size wide and high: drawn just inside its edges, nothing just outside.
            for (float s : {-1.0f, 1.0f}) {
                EXPECT_NE(pixel(p.cx + s * 0.85f * p.hx, p.cy + 0.3f * p.hy), 0u);
                EXPECT_NE(pixel(p.cx + 0.3f * p.hx, p.cy + s * 0.85f * p.hy), 0u);
                EXPECT_EQ(pixel(p.cx + s * 1.15f * p.hx, p.cy), 0u);
                EXPECT_EQ(pixel(p.cx, p.cy + s * 1.15f * p.hy), 0u);
            }
        }
        // Negative alpha, a freed particle and a moved one's old place: nothing there.
        for (size_t i = std::size(shown); i < prints.size(); ++i) {
            const Footprint& p = prints[i];
            for (float dx : {-0.5f, 0.0f, 0.5f}) {
                for (float dy : {-0.5f, 0.0f, 0.5f}) {
                    EXPECT_EQ(pixel(p.cx + dx * p.hx, p.cy + dy * p.hy), 0u) << "hidden " << i;
                }
            }
        }
    }
}

} // namespace
