// A generated, subdivided box drawn through the GL backend with the test effect: it appears
// where the camera puts it, and culling removes the faces turned away from the camera.
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include <d3dx9.h>
#include <gtest/gtest.h>

#include "support/engine_fixture.h"

#include "engine/mesh/generators.h"
#include "engine/mesh/mesh.h"
#include "engine/mesh/subdivide.h"

namespace {

constexpr UINT kSize = 64;
constexpr DWORD kBackground = 0xff000000;
constexpr DWORD kMagenta = 0xffff00ff; // the flat pass's colour

class MeshRender : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        std::ifstream in("data/TestEffect.fxo", std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        ASSERT_FALSE(bytes.empty());
        ASSERT_EQ(D3DXCreateEffect(device, bytes.data(), UINT(bytes.size()), nullptr, nullptr, 0,
                                   nullptr, &effect, nullptr),
                  D3D_OK);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(device->CreateTexture(kSize, kSize, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                        D3DPOOL_DEFAULT, &texture, nullptr),
                  D3D_OK);
        texture->GetSurfaceLevel(0, &target);
        texture->Release();
    }

    void TearDown() override {
        if (target != nullptr) {
            target->Release();
        }
        if (effect != nullptr) {
            effect->Release();
        }
        EngineTest::TearDown();
    }

    // A box of half size 1, split once, with its world placement; optionally without the side
    // that faces the camera, so that one looks into it.
    static velmo::Mesh* subdividedBox(bool open) {
        velmo::Mesh* mesh = velmo::Device::instance()->state->createMesh();
        velmo::meshgen::Cube(velmo::Vec3(1, 1, 1)).generate(mesh);
        if (open) {
            velmo::FaceList* faces = nullptr;
            mesh->editGeometry(nullptr, nullptr, &faces);
            delete (*faces)[3]; // the z = -1 side
            faces->erase(faces->begin() + 3);
        }
        velmo::meshmodify::Subdivide(1, 1).apply(mesh);
        return mesh;
    }

    // Draws the mesh moved by (dx, dy), seen from (0, 0, -5) looking along +z, into the target.
    std::vector<unsigned char> draw(velmo::Mesh* mesh, float dx, float dy, DWORD cull) {
        device->SetRenderTarget(0, target);
        device->SetDepthStencilSurface(nullptr);
        D3DVIEWPORT9 vp = {0, 0, kSize, kSize, 0.0f, 1.0f};
        device->SetViewport(&vp);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.0f, 0);
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, cull);

        D3DXMATRIX world, view, projection = {}, wvp;
        D3DXMatrixTranslation(&world, dx, dy, 0);
        D3DXMatrixTranslation(&view, 0, 0, 5);
        const float f = 1.7320508f, zn = 1, zf = 100, q = zf / (zf - zn); // 60 degrees
        projection._11 = f;
        projection._22 = f;
        projection._33 = q;
        projection._34 = 1;
        projection._43 = -zn * q;
        D3DXMatrixMultiply(&wvp, &world, &view);
        D3DXMatrixMultiply(&wvp, &wvp, &projection);
        effect->SetMatrix("worldViewProjection", &wvp);
        effect->SetTechnique("Textured");
        UINT passes = 0;
        device->BeginScene();
        effect->Begin(&passes, 0);
        effect->BeginPass(1); // transform + flat colour
        effect->CommitChanges();
        mesh->draw();
        effect->EndPass();
        effect->End();
        device->EndScene();

        return readBack(target);
    }

    static DWORD at(const std::vector<unsigned char>& pixels, UINT x, UINT y) {
        DWORD v;
        std::memcpy(&v, &pixels[(size_t(y) * kSize + x) * 4], 4);
        return v;
    }

    ID3DXEffect* effect = nullptr;
    IDirect3DSurface9* target = nullptr;
};

TEST_F(MeshRender, TheBoxAppearsWhereTheCameraPutsIt) {
    velmo::Mesh* box = subdividedBox(false);
    // Moved left and up by 1.5: its front side spans x from -2.5 to -0.5 at depth 4, which
    // the projection maps to columns 5 to 28, and rows 5 to 28 from the top.
    const std::vector<unsigned char> pixels = draw(box, -1.5f, 1.5f, D3DCULL_CCW);
    EXPECT_EQ(at(pixels, 16, 16), kMagenta);
    EXPECT_EQ(at(pixels, 48, 16), kBackground);
    EXPECT_EQ(at(pixels, 16, 48), kBackground);
    EXPECT_EQ(box->data->syncState, velmo::MeshData::kBothCurrent);
}

TEST_F(MeshRender, CullingRemovesTheFacesTurnedAway) {
    // Looking into the open box, the centre shows only the inside of the far side: a face
    // turned away from the camera, which appears counter-clockwise.
    velmo::Mesh* box = subdividedBox(true);
    struct Case {
        DWORD cull;
        DWORD centre;
    };
    for (const Case c : {Case{D3DCULL_NONE, kMagenta}, Case{D3DCULL_CCW, kBackground},
                         Case{D3DCULL_CW, kMagenta}}) {
        SCOPED_TRACE(c.cull);
        EXPECT_EQ(at(draw(box, 0, 0, c.cull), 32, 32), c.centre);
    }
    // The closed box's outside appears clockwise: culling clockwise faces leaves only the
    // inside of the far sides, within the same outline.
    velmo::Mesh* closed = subdividedBox(false);
    EXPECT_EQ(at(draw(closed, 0, 0, D3DCULL_CW), 32, 32), kMagenta);
}

} // namespace
