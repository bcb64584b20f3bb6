// Mesh fonts: one extruded glyph mesh per alphabet character with the GDI widths behind the
// advances, lines of text as groups of mesh instances placed along a direction, characters
// without a glyph, a face GDI does not know, a glyph of zero width and meshes that cannot be
// made.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <port_testing.h>

#include "engine/math/matrix.h"
#include "engine/mesh/mesh.h"
#include "engine/render/mesh_instance.h"
#include "engine/render/material.h"
#include "engine/render/mesh_font.h"
#include "engine/resources/device_state.h"
#include "engine/scene/node.h"
#include "support/engine_fixture.h"
#include "support/expect_math.h"
#include "support/scratch.h"

namespace {

using velmo::MeshFont;
using velmo::MeshInstance;
using velmo::Vec3;

constexpr const char* kAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ01234567890.!?,:&<:-";

// The widths GDI reports for the characters of a font made as a mesh font makes its own.
std::vector<float> gdiWidths(const MeshFont& meshFont, const std::string& chars) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontA(meshFont.height, 0, 0, 0, meshFont.weight, meshFont.italic, 0, 0, 1, 0,
                             0, 0, 0, meshFont.faceName);
    SelectObject(dc, font);
    std::vector<float> widths;
    for (unsigned char c : chars) {
        float width = -1.0f;
        EXPECT_TRUE(GetCharWidthFloatA(dc, c, c, &width)) << c;
        widths.push_back(width);
    }
    DeleteDC(dc);
    DeleteObject(font);
    return widths;
}

// The group and its instances belong to whoever asked for the text.
void deleteText(velmo::DummyNode* node) {
    for (velmo::INode* child : node->children) {
        delete child;
    }
    delete node;
}

std::vector<MeshInstance*> instancesOf(velmo::DummyNode* node) {
    std::vector<MeshInstance*> out;
    for (velmo::INode* child : node->children) {
        auto* instance = dynamic_cast<MeshInstance*>(child);
        EXPECT_NE(instance, nullptr);
        out.push_back(instance);
    }
    return out;
}

class MeshFontTest : public EngineTest {
protected:
    velmo::DeviceState* state() { return velmo::Device::instance()->state; }
};

TEST_F(MeshFontTest, GlyphsAreExtrudedMeshesWithTheGdiWidthsOfTheirFirstPosition) {
    MeshFont font("DejaVu Sans", 0.25f);
    EXPECT_EQ(font.height, 1);
    EXPECT_EQ(font.weight, 600);
    EXPECT_FALSE(font.italic);
    font.buildGlyphs();
    ASSERT_TRUE(font.built);
    EXPECT_EQ(font.alphabet, kAlphabet);
    ASSERT_EQ(font.widths.size(), 72u);

    // A glyph is made at each of the 72 positions, and the device state owns them all.
    EXPECT_EQ(state()->meshes.size(), 72u);
    EXPECT_EQ(font.glyphs.size(), 70u);
    const std::vector<float> gdi = gdiWidths(font, kAlphabet);
    for (size_t i = 0; i < 72; ++i) {
        const char c = kAlphabet[i];
        SCOPED_TRACE(std::string(1, c));
        velmo::Mesh* glyph = font.glyphMesh(c);
        ASSERT_NE(glyph, nullptr);
        EXPECT_EQ(state()->meshes.count(glyph), 1u);
        EXPECT_EQ(font.widths[i], gdi[i]);
        const size_t first = std::string(kAlphabet).find(c);
        EXPECT_FLOAT_EQ(font.glyphAdvance(c), gdi[first] * 10.0f);
        EXPECT_GT(font.glyphAdvance(c), 1.0f);
    }

    // The later of two glyphs for one character is the one kept: node ids follow creation.
    const auto id = [&](char c) { return font.glyphMesh(c)->id; };
    EXPECT_GT(id('0'), id('9'));
    EXPECT_LT(id('0'), id('.'));
    EXPECT_GT(id(':'), id('<'));
    EXPECT_LT(id(':'), id('-'));

    // The glyph is a solid of the font's extrusion, its front cap at z = 0 and its back at
    // z = -extrusion, about one font height tall.
    velmo::VertexList* vertices = font.glyphMesh('H')->vertices();
    ASSERT_FALSE(vertices->empty());
    float minZ = 1e9f, maxZ = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (velmo::Vertex* v : *vertices) {
        minZ = std::min(minZ, v->position.z);
        maxZ = std::max(maxZ, v->position.z);
        minY = std::min(minY, v->position.y);
        maxY = std::max(maxY, v->position.y);
    }
    EXPECT_NEAR(minZ, -0.25f, 1e-5f);
    EXPECT_NEAR(maxZ, 0.0f, 1e-5f);
    EXPECT_GT(maxY - minY, 0.3f);
    EXPECT_LT(maxY - minY, 1.5f);

    // Building again makes nothing new.
    velmo::Mesh* before = font.glyphMesh('a');
    font.buildGlyphs();
    EXPECT_EQ(state()->meshes.size(), 72u);
    EXPECT_EQ(font.glyphMesh('a'), before);
}

TEST_F(MeshFontTest, LinesPlaceOneInstancePerGlyphAtTheSummedAdvances) {
    MeshFont font("DejaVu Serif", 0.1f);
    font.buildGlyphs();
    const Vec3 direction(0.5f, -0.25f, 1.0f);
    // Characters without a glyph: the space, ';', '/', a control byte, accented letters.
    const struct {
        const char* text;
        size_t glyphCount;
    } cases[] = {
        {"a b", 2}, {"velmo 08", 7}, {"Hi;0/\xe9:", 4}, {"\t\xc4\xd6 ", 0}, {"::00", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        velmo::DummyNode* node = font.createTextNode(c.text, direction, nullptr);
        EXPECT_EQ(node->name, c.text);
        const std::vector<MeshInstance*> instances = instancesOf(node);
        ASSERT_EQ(instances.size(), c.glyphCount);

        Vec3 pen(0, 0, 0);
        float width = 0.0f;
        size_t next = 0;
        for (const char* p = c.text; *p != '\0'; ++p) {
            if (font.glyphMesh(*p) == nullptr) {
                EXPECT_EQ(font.glyphAdvance(*p), 0.0f);
                pen += direction * 2.0f;
                width += 1.0f;
                continue;
            }
            MeshInstance* instance = instances[next++];
            ASSERT_EQ(instance->children.size(), 1u);
            EXPECT_EQ(instance->children.front(), font.glyphMesh(*p));
            EXPECT_TRUE(instance->name.empty());
            expectMatrixNear(instance->transform, velmo::makeTranslation(pen.x, pen.y, pen.z));
            pen += direction * font.glyphAdvance(*p);
            width += font.glyphAdvance(*p);
        }
        EXPECT_FLOAT_EQ(font.textWidth(c.text), width);
        deleteText(node);
    }

    // "a b" in words: the space moves the pen by 2.0 but counts 1.0 in the width.
    velmo::DummyNode* node = font.createTextNode("a b", direction, nullptr);
    const std::vector<MeshInstance*> ab = instancesOf(node);
    ASSERT_EQ(ab.size(), 2u);
    expectVecNear(velmo::getTranslation(ab[0]->transform), Vec3(0, 0, 0));
    expectVecNear(velmo::getTranslation(ab[1]->transform),
                  direction * (font.glyphAdvance('a') + 2.0f));
    EXPECT_FLOAT_EQ(font.textWidth("a b"), font.glyphAdvance('a') + 1.0f + font.glyphAdvance('b'));
    deleteText(node);
}

TEST_F(MeshFontTest, InstancesCopyTheMaterialAndShareOnlyTheGlyphMesh) {
    MeshFont font("DejaVu Sans", 0.1f);
    font.buildGlyphs();
    const velmo::Material defaults;

    velmo::DummyNode* plain = font.createTextNode("ab", Vec3(1, 0, 0), nullptr);
    for (MeshInstance* instance : instancesOf(plain)) {
        EXPECT_EQ(instance->material.diffuse, defaults.diffuse);
        EXPECT_EQ(instance->material.specularPower, defaults.specularPower);
        EXPECT_EQ(instance->material.techniqueName, defaults.techniqueName);
        EXPECT_TRUE(instance->visible);
    }
    deleteText(plain);

    velmo::Material gold;
    const float diffuse[4] = {1.0f, 0.8f, 0.2f, 1.0f};
    gold.setDiffuse(diffuse);
    gold.setTechnique("Gold");
    gold.blendMode = 2;
    velmo::DummyNode* node = font.createTextNode("aa", Vec3(1, 0, 0), &gold);
    const std::vector<MeshInstance*> instances = instancesOf(node);
    ASSERT_EQ(instances.size(), 2u);
    for (MeshInstance* instance : instances) {
        EXPECT_EQ(instance->material.diffuse, gold.diffuse);
        EXPECT_EQ(instance->material.techniqueName, "Gold");
        EXPECT_EQ(instance->material.blendMode, 2);
    }
    EXPECT_EQ(instances[0]->children.front(), instances[1]->children.front());
    instances[0]->material.blendMode = 1;
    instances[0]->visible = false;
    EXPECT_EQ(instances[1]->material.blendMode, 2);
    EXPECT_TRUE(instances[1]->visible);
    EXPECT_EQ(gold.blendMode, 2);
    deleteText(node);
}

TEST_F(MeshFontTest, EmptyTextsAndUnbuiltFontsGiveEmptyGroups) {
    MeshFont font("DejaVu Sans", 0.1f);
    // Before the glyphs are built no character has one.
    EXPECT_EQ(font.glyphMesh('a'), nullptr);
    EXPECT_EQ(font.glyphAdvance('a'), 0.0f);
    EXPECT_FLOAT_EQ(font.textWidth("abc"), 3.0f);
    velmo::DummyNode* unbuilt = font.createTextNode("abc", Vec3(1, 0, 0), nullptr);
    EXPECT_EQ(unbuilt->name, "abc");
    EXPECT_TRUE(unbuilt->children.empty());
    deleteText(unbuilt);
    EXPECT_TRUE(state()->meshes.empty());

    font.buildGlyphs();
    for (const char* text : {"", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(font.textWidth(text), 0.0f);
        velmo::DummyNode* node = font.createTextNode(text, Vec3(1, 0, 0), nullptr);
        EXPECT_TRUE(node->name.empty());
        EXPECT_TRUE(node->children.empty());
        deleteText(node);
    }
    EXPECT_EQ(font.glyphMesh('\0'), nullptr);
}

TEST_F(MeshFontTest, AnUnknownFaceFallsBackToAnInstalledOne) {
    MeshFont font("No Such Face At All", 0.1f);
    font.buildGlyphs();
    EXPECT_FALSE(port::testing::fontFile(font.font).empty());
    EXPECT_EQ(font.glyphs.size(), 70u);
    const std::vector<float> gdi = gdiWidths(font, "aW0");
    EXPECT_FLOAT_EQ(font.glyphAdvance('a'), gdi[0] * 10.0f);
    EXPECT_FLOAT_EQ(font.glyphAdvance('W'), gdi[1] * 10.0f);
    EXPECT_FLOAT_EQ(font.glyphAdvance('0'), gdi[2] * 10.0f);
    EXPECT_GT(font.glyphAdvance('W'), font.glyphAdvance('a'));
}

// A copy of an installed face under a family name of its own, with the advance of 'a' set to
// zero in its horizontal metrics.
std::string writeZeroWidthFace(const ScratchDir& scratch) {
    const std::string installed = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    std::ifstream in(installed, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty());
    // Rename the family in the name table, in both its 8-bit and its UTF-16BE records.
    const auto replaceAll = [&](const std::string& from, const std::string& to) {
        auto it = bytes.begin();
        while ((it = std::search(it, bytes.end(), from.begin(), from.end())) != bytes.end()) {
            it = std::copy(to.begin(), to.end(), it);
        }
    };
    const auto utf16 = [](const std::string& s) {
        std::string out;
        for (char c : s) {
            out += '\0';
            out += c;
        }
        return out;
    };
    replaceAll("DejaVu", "Zerowd");
    replaceAll(utf16("DejaVu"), utf16("Zerowd"));

    const auto u16 = [&](size_t at) { return unsigned(bytes[at] << 8 | bytes[at + 1]); };
    const auto u32 = [&](size_t at) { return uint32_t(u16(at)) << 16 | u16(at + 2); };
    size_t hhea = 0, hmtx = 0;
    for (size_t t = 0, n = u16(4); t < n; ++t) {
        const size_t record = 12 + 16 * t;
        if (std::memcmp(&bytes[record], "hhea", 4) == 0) {
            hhea = u32(record + 8);
        }
        if (std::memcmp(&bytes[record], "hmtx", 4) == 0) {
            hmtx = u32(record + 8);
        }
    }
    EXPECT_NE(hhea, 0u);
    EXPECT_NE(hmtx, 0u);
    HFONT probe = CreateFontA(1, 0, 0, 0, 400, 0, 0, 0, 1, 0, 0, 0, 0, "DejaVu Sans");
    const unsigned glyph = port::testing::fontGlyphIndex(probe, 'a');
    DeleteObject(probe);
    EXPECT_LT(glyph, u16(hhea + 34)); // a full metric record, not a shared advance
    bytes[hmtx + 4 * glyph] = 0;
    bytes[hmtx + 4 * glyph + 1] = 0;

    const std::string path = scratch.file("ZerowdSans.ttf");
    writeFile(path, bytes.data(), bytes.size());
    return path;
}

TEST_F(MeshFontTest, AGlyphOfZeroWidthAdvancesByOne) {
    ScratchDir scratch;
    const std::string path = writeZeroWidthFace(scratch);
    ASSERT_EQ(AddFontResourceA(path.c_str()), 1);

    MeshFont font("Zerowd Sans", 0.1f);
    font.weight = 400;
    font.buildGlyphs();
    ASSERT_EQ(port::testing::fontFile(font.font), path);
    EXPECT_EQ(font.widths[0], 0.1f);
    EXPECT_FLOAT_EQ(font.glyphAdvance('a'), 1.0f);
    EXPECT_GT(font.glyphAdvance('b'), 1.0f);

    velmo::DummyNode* node = font.createTextNode("ab", Vec3(0, 1, 0), nullptr);
    const std::vector<MeshInstance*> instances = instancesOf(node);
    ASSERT_EQ(instances.size(), 2u);
    expectVecNear(velmo::getTranslation(instances[1]->transform), Vec3(0, 1, 0));
    EXPECT_FLOAT_EQ(font.textWidth("ab"), 1.0f + font.glyphAdvance('b'));
    deleteText(node);
    EXPECT_TRUE(RemoveFontResourceA(path.c_str()));
}

TEST_F(MeshFontTest, CharactersWhoseMeshCannotBeMadeHaveNoGlyph) {
    // Without a device no glyph mesh can be made: every character is then one without a
    // glyph, and no empty mesh is left behind.
    IDirect3DDevice9* live = state()->device;
    state()->device = nullptr;
    MeshFont font("DejaVu Sans", 0.1f);
    font.buildGlyphs();
    state()->device = live;

    EXPECT_TRUE(font.glyphs.empty());
    EXPECT_TRUE(state()->meshes.empty());
    EXPECT_EQ(font.glyphMesh('a'), nullptr);
    EXPECT_EQ(font.glyphAdvance('a'), 0.0f);
    EXPECT_FLOAT_EQ(font.textWidth("ab"), 2.0f);
    velmo::DummyNode* node = font.createTextNode("ab", Vec3(1, 0, 0), nullptr);
    EXPECT_TRUE(node->children.empty());
    deleteText(node);
}

} // namespace
