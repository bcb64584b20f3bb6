// The generated fonts, as the build leaves them in data/: through the port, CreateFontA finds
// each face by its family name in the program's data/ folder without the program adding it,
// RemoveFontResourceA of the file name the program uses at exit takes it away again, and both
// faces have an outline for every character of the glyph alphabet, so a D3DX text mesh of each
// character has triangles.
#include <cmath>
#include <filesystem>
#include <map>
#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_FONT_FORMATS_H
#include <d3dx9.h>
#include <gtest/gtest.h>
#include <port_testing.h>
#include <windows.h>

#include "support/engine_fixture.h"

namespace {

// Every character the production's texts draw with glyphs.
const std::string kAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.!?,:&<-";

const struct {
    const char* face;
    const char* file;
    float extrusion;
} kFonts[] = {{"ShadowedBlackWide", "Shadowed Black Wide.ttf", 0.1f},
              {"ChopinScript", "CHOPS___.TTF", 10.1f}};

HFONT makeFont(const char* face) {
    return CreateFontA(1, 0, 0, 0, 600, FALSE, 0, 0, 1, 0, 0, 0, 0, face);
}

TEST(DataFonts, FacesResolveToTheFilesInDataUntilRemoved) {
    for (const auto& f : kFonts) {
        SCOPED_TRACE(f.face);
        HFONT font = makeFont(f.face);
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(std::filesystem::path(port::testing::fontFile(font)),
                  std::filesystem::absolute(std::string("data/") + f.file));
        EXPECT_EQ(port::testing::fontFamily(font), f.face);
        EXPECT_TRUE(DeleteObject(font));
    }
    for (const auto& f : kFonts) {
        SCOPED_TRACE(f.face);
        EXPECT_TRUE(RemoveFontResourceA((std::string("data/") + f.file).c_str()));
        HFONT font = makeFont(f.face);
        ASSERT_NE(font, nullptr); // another face stands in
        EXPECT_NE(std::filesystem::path(port::testing::fontFile(font)).filename(), f.file);
        EXPECT_TRUE(DeleteObject(font));
    }
}

TEST(DataFonts, EveryAlphabetCharacterHasAnOutline) {
    FT_Library library = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    for (const auto& f : kFonts) {
        SCOPED_TRACE(f.face);
        FT_Face face = nullptr;
        ASSERT_EQ(FT_New_Face(library, (std::string("data/") + f.file).c_str(), 0, &face), 0);
        EXPECT_EQ(std::string(face->family_name), f.face);
        EXPECT_STREQ(FT_Get_Font_Format(face), "TrueType"); // quadratic glyf outlines
        for (char ch : kAlphabet) {
            FT_UInt glyph = FT_Get_Char_Index(face, static_cast<unsigned char>(ch));
            ASSERT_NE(glyph, 0u) << ch;
            ASSERT_EQ(FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE), 0) << ch;
            EXPECT_EQ(face->glyph->format, FT_GLYPH_FORMAT_OUTLINE) << ch;
            EXPECT_GT(face->glyph->outline.n_contours, 0) << ch;
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
}

// The area that FreeType's rasteriser fills for a character, in em squared (the text mesh's
// unit), from a 512-pixel-per-em rendering.
std::map<char, double> rasterAreas(const char* file) {
    std::map<char, double> areas;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0 ||
        FT_New_Face(library, (std::string("data/") + file).c_str(), 0, &face) != 0) {
        ADD_FAILURE() << file;
        return areas;
    }
    const int ppem = 512;
    FT_Set_Pixel_Sizes(face, 0, ppem);
    for (char ch : kAlphabet) {
        FT_Load_Char(face, static_cast<unsigned char>(ch), FT_LOAD_RENDER | FT_LOAD_NO_HINTING);
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        double covered = 0;
        for (unsigned y = 0; y < bitmap.rows; ++y)
            for (unsigned x = 0; x < bitmap.width; ++x)
                covered += bitmap.buffer[y * bitmap.pitch + x] / 255.0;
        areas[ch] = covered / (double(ppem) * ppem);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return areas;
}

// The area of a text mesh's front cap: its triangles that face the viewer (normal -z).
double frontArea(ID3DXMesh* mesh) {
    struct Vertex {
        float x, y, z, nx, ny, nz;
    };
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    mesh->GetVertexBuffer(&vb);
    mesh->GetIndexBuffer(&ib);
    void* vertexData = nullptr;
    void* indexData = nullptr;
    vb->Lock(0, 0, &vertexData, D3DLOCK_READONLY);
    ib->Lock(0, 0, &indexData, D3DLOCK_READONLY);
    const auto* vertices = static_cast<const Vertex*>(vertexData);
    const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
    auto index = [&](DWORD i) -> DWORD {
        return wide ? static_cast<const DWORD*>(indexData)[i]
                    : static_cast<const WORD*>(indexData)[i];
    };
    double area = 0;
    for (DWORD f = 0; f < mesh->GetNumFaces(); ++f) {
        const Vertex& a = vertices[index(3 * f)];
        const Vertex& b = vertices[index(3 * f + 1)];
        const Vertex& c = vertices[index(3 * f + 2)];
        if (a.nz < -0.99f && b.nz < -0.99f && c.nz < -0.99f)
            area += std::abs((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y)) / 2;
    }
    ib->Unlock();
    vb->Unlock();
    ib->Release();
    vb->Release();
    return area;
}

class DataFontMeshes : public EngineTest {};

TEST_F(DataFontMeshes, EveryAlphabetCharacterMakesATextMesh) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    for (const auto& f : kFonts) {
        SCOPED_TRACE(f.face);
        std::map<char, double> areas = rasterAreas(f.file);
        HFONT font = makeFont(f.face);
        HGDIOBJ before = SelectObject(dc, font);
        for (char ch : kAlphabet) {
            const char text[2] = {ch, 0};
            ID3DXMesh* mesh = nullptr;
            ASSERT_EQ(
                D3DXCreateTextA(device, dc, text, 0.001f, f.extrusion, &mesh, nullptr, nullptr),
                S_OK)
                << ch;
            EXPECT_GT(mesh->GetNumFaces(), 4u) << ch;
            // The front covers what the rasteriser fills: no counter filled in, no overlap of
            // strokes left open or covered twice.
            EXPECT_NEAR(frontArea(mesh), areas[ch], 0.02 * areas[ch] + 1e-4) << ch;
            mesh->Release();
        }
        SelectObject(dc, before);
        DeleteObject(font);
    }
    DeleteDC(dc);
}

} // namespace
