// velmo_contact_sheet: renders every model file of data/ through the model loader, with the
// loader flags its scene uses and the solid-object effect, each framed by a camera of its own
// (fitted to its bounding sphere) and lit by one white point light beside that camera, plus a glyph
// of each production font, and saves them as one labelled picture: a test aid for looking at the
// data set.
//
//   velmo_contact_sheet OUT.png      (run from the build folder, beside data/)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <d3dx9.h>
#include <port_testing.h>
#include <windows.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#include <stb_easy_font.h>

#include "engine/mesh/mesh.h"
#include "engine/math/matrix.h"
#include "engine/mesh/mesh_loader.h"
#include "engine/mesh/modifiers.h"
#include "engine/platform/engine.h"
#include "engine/render/mesh_instance.h"
#include "engine/resources/device_state.h"
#include "engine/resources/render_target.h"
#include "engine/scene/camera.h"
#include "engine/scene/matrix_stack.h"
#include "engine/scene/node.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"

namespace {

constexpr int kCellWidth = 400, kCellHeight = 300, kColumns = 4;

struct Cell {
    const char* label;
    const char* file;   // a model under data/, or null for a font glyph
    const char* face;   // the font of a glyph cell
    bool negateNormals; // the scene's loader flag
    bool invertFaces;   // the scene turns the loaded mesh's faces (the .3ds pipe)
    velmo::Vec3 view;   // from the model's centre toward the camera
    bool inside;        // an enclosure: the camera stands at its centre looking against view
    // The root transform the scene gives the loaded model (null: kept as loaded).
    velmo::Matrix (*place)(const velmo::Matrix& loaded);
    float light = 1.6f; // the point light's intensity
};

using velmo::makeTranslation;
using velmo::multiplyMatrix;
// The engine's rotationX/Y, transposed from D3DX's (engine/math/matrix.h), as the scenes use
// them: every rotationX and rotationY below is the engine's.
using velmo::rotationX;
using velmo::rotationY;

velmo::Matrix scaling(float x, float y, float z) {
    velmo::Matrix m;
    D3DXMatrixScaling(&m, x, y, z);
    return m;
}

// The scenes' placements of their models (A, B, ...: A acts first), with the engine's
// rotationX/Y (transposed from D3DX's).
velmo::Matrix chain(std::initializer_list<velmo::Matrix> steps) {
    velmo::Matrix m = velmo::identityMatrix();
    for (const velmo::Matrix& step : steps) {
        m = multiplyMatrix(m, step);
    }
    return m;
}
velmo::Matrix placeHouse(const velmo::Matrix& loaded) {
    return chain({scaling(1, 1, 0.8f), rotationX(1.5707964f), makeTranslation(0, -15, 0), loaded});
}
velmo::Matrix placeSky(const velmo::Matrix&) {
    return chain({rotationX(1.57f), rotationY(1.57f), scaling(50.1f, 50.1f, 50.1f),
                  makeTranslation(0, -60, 0)});
}
velmo::Matrix placeLogo(const velmo::Matrix& loaded) {
    return chain(
        {scaling(1.5f, 1.5f, 1.5f), rotationX(3.1415f), makeTranslation(30, 90, 30), loaded});
}
velmo::Matrix placeMobile(const velmo::Matrix& loaded) {
    return chain({makeTranslation(0, 0, 32), rotationX(-0.5f), rotationY(0.7f), scaling(9, 9, 9),
                  makeTranslation(0, -60, 0), rotationY(-1.57f), rotationX(1.5707964f),
                  makeTranslation(10, 0, 0), loaded});
}
velmo::Matrix placeTown(const velmo::Matrix& loaded) {
    return chain({scaling(2, 2, 2), rotationY(-0.95f), rotationX(1.2707963f), loaded});
}
// The lights get a copy of the town's root transform.
velmo::Matrix placeLights(const velmo::Matrix&) {
    velmo::MeshLoader town;
    velmo::INode* root = town.load("data/town.x");
    return placeTown(root == nullptr ? velmo::identityMatrix() : root->transform);
}

// Each model placed as its scene places it, framed by a camera that fits its bounding sphere,
// from roughly the side its scene sees it from.
const Cell kCells[] = {
    {"block1.x", "data/block1.x", nullptr, true, false, {0.8f, 0.5f, -1}, false, nullptr},
    {"piippu.3ds", "data/piippu.3ds", nullptr, true, true, {0.5f, 0.5f, -1}, false, nullptr},
    {"lolo.x", "data/lolo.x", nullptr, true, false, {0.6f, 0.5f, -1}, false, nullptr},
    {"harmonia.x", "data/harmonia.x", nullptr, true, false, {0.3f, 0.4f, -1}, false, nullptr},
    {"chain.x", "data/chain.x", nullptr, false, false, {0.6f, 0.3f, -1}, false, nullptr},
    {"koriste.x", "data/koriste.x", nullptr, false, false, {0.6f, 0.5f, -1}, false, nullptr},
    {"liberty.x", "data/liberty.x", nullptr, false, false, {0.4f, 0.3f, -1}, false, nullptr},
    {"talo.x", "data/talo.x", nullptr, true, false, {0.4f, 0.25f, -1}, false, placeHouse},
    {"talomaa.x", "data/talomaa.x", nullptr, true, false, {0.3f, 1, -0.6f}, false, placeHouse},
    {"rattais.x", "data/rattais.x", nullptr, true, false, {0.3f, 0.6f, -1}, false, nullptr},
    {"SkyTeaPot.x", "data/SkyTeaPot.x", nullptr, true, false, {-0.2f, -0.4f, -1}, true, placeSky},
    {"quellan2.x", "data/quellan2.x", nullptr, false, false, {-0.2f, -0.6f, -1}, false, placeLogo},
    {"quelmobile2.x",
     "data/quelmobile2.x",
     nullptr,
     false,
     false,
     {-0.2f, 0.3f, -1},
     false,
     placeMobile},
    {"town.x", "data/town.x", nullptr, false, false, {-0.3f, 0.5f, -1}, false, placeTown, 0.25f},
    {"valot.x", "data/valot.x", nullptr, false, false, {-0.3f, 0.5f, -1}, false, placeLights},
    {"ShadowedBlackWide",
     nullptr,
     "ShadowedBlackWide",
     false,
     false,
     {0.3f, 0.3f, -1},
     false,
     nullptr},
    {"ChopinScript", nullptr, "ChopinScript", false, false, {0.3f, 0.3f, -1}, false, nullptr},
};

// Grows the box by the world positions of every mesh under node.
void addBounds(velmo::INode* node, const velmo::Matrix& parent, velmo::Vec3& lo, velmo::Vec3& hi) {
    const velmo::Matrix world = velmo::multiplyMatrix(node->transform, parent);
    if (auto* mesh = dynamic_cast<velmo::Mesh*>(node)) {
        for (velmo::Vertex* v : *mesh->vertices()) {
            velmo::Vec3 p;
            D3DXVec3TransformCoord(&p, v->getPosition(), &world);
            lo = velmo::Vec3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
            hi = velmo::Vec3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
        }
    }
    for (velmo::INode* child : node->children) {
        addBounds(child, world, lo, hi);
    }
}

// The scene target's pixels as RGB, top row first.
std::vector<unsigned char> readTarget(IDirect3DDevice9* device, velmo::RenderTarget* target) {
    IDirect3DSurface9* surface = nullptr;
    target->getTexture()->GetSurfaceLevel(0, &surface);
    std::vector<unsigned char> rgb = port::testing::surfaceRgb(device, surface);
    surface->Release();
    return rgb;
}

// A mesh of the text in the font, as the demo's glyphs are made.
velmo::Mesh* glyphMesh(IDirect3DDevice9* device, const char* face, const char* text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontA(1, 0, 0, 0, 600, FALSE, 0, 0, 1, 0, 0, 0, 0, face);
    HGDIOBJ before = SelectObject(dc, font);
    ID3DXMesh* text3d = nullptr;
    D3DXCreateTextA(device, dc, text, 0.001f, 0.2f, &text3d, nullptr, nullptr);
    SelectObject(dc, before);
    DeleteObject(font);
    DeleteDC(dc);
    if (text3d == nullptr) {
        return nullptr;
    }
    velmo::Mesh* mesh = velmo::Device::instance()->state->createMesh();
    mesh->loadFromD3DXMesh(text3d);
    text3d->Release();
    return mesh;
}

void label(std::vector<unsigned char>& sheet, int sheetWidth, int x0, int y0, const char* text) {
    static char buffer[60000];
    const int quads =
        stb_easy_font_print(0, 0, const_cast<char*>(text), nullptr, buffer, sizeof buffer);
    const float scale = 2;
    for (int q = 0; q < quads; ++q) {
        const float* v = reinterpret_cast<const float*>(buffer + q * 4 * 16);
        const int xa = x0 + int(v[0] * scale), ya = y0 + int(v[1] * scale);
        const int xb = x0 + int(v[8] * scale), yb = y0 + int(v[9] * scale);
        for (int y = ya; y < yb; ++y) {
            for (int x = xa; x < xb; ++x) {
                std::memset(&sheet[(size_t(y) * sheetWidth + x) * 3], 255, 3);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmo_contact_sheet OUT.png\n");
        return 2;
    }
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    velmo::Engine engine;
    velmo::DisplaySettings settings{kCellWidth, kCellHeight, 32, false, "velmo 08", 4.0f / 3.0f};
    if (!engine.init(settings)) {
        std::fprintf(stderr, "velmo_contact_sheet: no window or device\n");
        return 1;
    }
    IDirect3DDevice9* device = velmo::Device::instance()->state->device;

    const int count = int(std::size(kCells));
    const int rows = (count + kColumns - 1) / kColumns;
    const int sheetWidth = kCellWidth * kColumns, sheetHeight = kCellHeight * rows;
    std::vector<unsigned char> sheet(size_t(sheetWidth) * sheetHeight * 3, 0);
    velmo::MeshLoader loader;
    loader.singleTextureSet = true;
    for (int i = 0; i < count; ++i) {
        const Cell& cell = kCells[i];
        velmo::Scene scene;
        velmo::MatrixStack::instance()->scene = &scene;

        velmo::INode* model = nullptr;
        if (cell.file != nullptr) {
            loader.negateNormals = cell.negateNormals;
            model = loader.load(cell.file);
            if (model != nullptr && cell.place != nullptr) {
                model->transform = cell.place(model->transform);
            }
            if (model != nullptr && cell.invertFaces) {
                model->rewindChildren();
                velmo::INode* part = model->nextChild();
                part->rewindChildren();
                if (auto* mesh = dynamic_cast<velmo::Mesh*>(part->nextChild())) {
                    // As the scene prepares it: normals computed again from the turned faces.
                    mesh->data->normalsLocked = false;
                    velmo::meshmodify::InvertFaces().apply(mesh);
                }
            }
        } else if (velmo::Mesh* mesh = glyphMesh(device, cell.face, "Ag2")) {
            auto* instance = new velmo::MeshInstance(mesh);
            instance->material.ambient = D3DXVECTOR4(0.2f, 0.2f, 0.2f, 1);
            instance->material.diffuse = D3DXVECTOR4(0.9f, 0.8f, 0.5f, 1);
            model = instance;
        }
        velmo::Vec3 lo(1e30f, 1e30f, 1e30f), hi(-1e30f, -1e30f, -1e30f);
        if (model == nullptr) {
            std::fprintf(stderr, "velmo_contact_sheet: %s did not load\n", cell.label);
            lo = hi = velmo::Vec3(0, 0, 0);
        } else {
            scene.root->addChild(model);
            velmo::Matrix identity;
            D3DXMatrixIdentity(&identity);
            addBounds(model, identity, lo, hi);
        }
        const velmo::Vec3 centre = (lo + hi) * 0.5f, half = (hi - lo) * 0.5f;
        const float radius = std::max(D3DXVec3Length(&half), 1e-3f);
        velmo::Vec3 view;
        D3DXVec3Normalize(&view, &cell.view);
        const float fovY = 0.8f;
        velmo::PerspectiveCamera camera(fovY, radius * 0.01f, radius * 10);
        camera.position =
            cell.inside ? centre : centre + view * (1.1f * radius / std::sin(fovY / 2));
        camera.target = cell.inside ? centre - view : centre;
        scene.root->camera = &camera;
        const velmo::Vec3 side = camera.position + velmo::Vec3(-0.5f, 0.6f, 0) * radius * 2;
        scene.root->addChild(
            new velmo::NodePointlight(side.x, side.y, side.z, cell.light, 0, 0, 1, 1, 1, 1));
        scene.update(0);
        scene.render(0);
        const std::vector<unsigned char> rgb = readTarget(device, scene.getRenderTarget());
        const int x0 = (i % kColumns) * kCellWidth, y0 = (i / kColumns) * kCellHeight;
        for (int y = 0; y < kCellHeight; ++y) {
            std::memcpy(&sheet[(size_t(y0 + y) * sheetWidth + x0) * 3],
                        &rgb[size_t(y) * kCellWidth * 3], size_t(kCellWidth) * 3);
        }
        label(sheet, sheetWidth, x0 + 8, y0 + 8, cell.label);
    }
    velmo::Device::instance()->state->releaseAll();
    if (!stbi_write_png(argv[1], sheetWidth, sheetHeight, 3, sheet.data(), sheetWidth * 3)) {
        std::fprintf(stderr, "velmo_contact_sheet: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
