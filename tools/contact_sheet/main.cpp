// velmo_contact_sheet: renders every model file of data/ through the model loader, with the
// loader flags its scene uses and the solid-object effect, each framed by a camera of its own
// and lit by one white point light beside that camera, plus a glyph of each production font,
// and saves them as one labelled picture: a test aid for looking at the data set.
//
//   velmo_contact_sheet OUT.png      (run from the build folder, beside data/)
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <d3dx9.h>
#include <windows.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#include <stb_easy_font.h>

#include "engine/mesh/mesh.h"
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
    velmo::Vec3 eye, target;
    float fovY;
};

// Cameras look at each model as it is loaded (root transform as in the file).
const Cell kCells[] = {
    {"block1.x", "data/block1.x", nullptr, true, false, {11, 7, -10}, {4.1f, 0, 0}, 0.8f},
    {"piippu.3ds", "data/piippu.3ds", nullptr, true, true, {9, 9, -15}, {0, 4.2f, 0}, 0.8f},
    {"lolo.x", "data/lolo.x", nullptr, true, false, {70, 55, -120}, {0, 0, 0}, 0.8f},
    {"harmonia.x", "data/harmonia.x", nullptr, true, false, {1.2f, 1.5f, -3.5f}, {0, 0, 0}, 0.8f},
    {"chain.x", "data/chain.x", nullptr, false, false, {9, 5, -15}, {0, 0, 0}, 0.8f},
    {"koriste.x", "data/koriste.x", nullptr, false, false, {9, 7, -13}, {0, 0, 0}, 0.8f},
    {"liberty.x", "data/liberty.x", nullptr, false, false, {75, 95, -195}, {0, 70, 0}, 0.8f},
    {"ShadowedBlackWide",
     nullptr,
     "ShadowedBlackWide",
     false,
     false,
     {1.5f, 1.2f, -3},
     {1.1f, 0.35f, 0},
     0.8f},
    {"ChopinScript",
     nullptr,
     "ChopinScript",
     false,
     false,
     {1.2f, 1.2f, -3.2f},
     {0.9f, 0.35f, 0},
     0.8f},
};

// The scene target's pixels as RGB, top row first.
std::vector<unsigned char> readTarget(IDirect3DDevice9* device, velmo::RenderTarget* target) {
    IDirect3DSurface9* surface = nullptr;
    target->getTexture()->GetSurfaceLevel(0, &surface);
    D3DSURFACE_DESC desc = {};
    surface->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                        &copy, nullptr);
    device->GetRenderTargetData(surface, copy);
    D3DLOCKED_RECT locked = {};
    copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    std::vector<unsigned char> rgb;
    for (UINT y = 0; y < desc.Height; ++y) {
        const auto* row = static_cast<const unsigned char*>(locked.pBits) + y * locked.Pitch;
        for (UINT x = 0; x < desc.Width; ++x) {
            // A8R8G8B8 in memory: B, G, R, A.
            rgb.insert(rgb.end(), {row[x * 4 + 2], row[x * 4 + 1], row[x * 4]});
        }
    }
    copy->UnlockRect();
    copy->Release();
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
        velmo::PerspectiveCamera camera(cell.fovY, 0.01f, 1000.0f);
        camera.position = cell.eye;
        camera.target = cell.target;
        scene.root->camera = &camera;
        velmo::MatrixStack::instance()->scene = &scene;
        const velmo::Vec3 away = cell.eye - cell.target;
        const float distance = D3DXVec3Length(&away);
        const velmo::Vec3 side = cell.eye + velmo::Vec3(-0.5f, 0.6f, 0) * distance;
        auto* light = new velmo::NodePointlight(side.x, side.y, side.z, 1.6f, 0, 0, 1, 1, 1, 1);
        scene.root->addChild(light);
        velmo::INode* model = nullptr;
        if (cell.file != nullptr) {
            loader.negateNormals = cell.negateNormals;
            model = loader.load(cell.file);
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
        if (model == nullptr) {
            std::fprintf(stderr, "velmo_contact_sheet: %s did not load\n", cell.label);
        } else {
            scene.root->addChild(model);
        }
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
