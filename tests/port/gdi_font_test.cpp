// GDI fonts of the port: faces found through fontconfig, advance widths from the face's
// metrics, device contexts and handles, and font files added for the process.
#include <cmath>
#include <filesystem>
#include <string>

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <windows.h>

#include "gdi/objects.h"
#include "support/scratch.h"

namespace {

HFONT makeFont(const char* face, int height = 1, int weight = 600, bool italic = false) {
    return CreateFontA(height, 0, 0, 0, weight, italic, 0, 0, 1, 0, 0, 0, 0, face);
}

std::string fileOf(HFONT font) {
    const port::gdi::Font* resolved = port::gdi::fontFromHandle(font);
    return resolved == nullptr ? std::string() : resolved->file();
}

// A device context holding a font, released in the order a program releases them.
class FontDC : public ::testing::Test {
protected:
    void SetUp() override {
        dc = CreateCompatibleDC(nullptr);
        ASSERT_NE(dc, nullptr);
    }
    void TearDown() override {
        EXPECT_TRUE(DeleteDC(dc));
        for (HFONT font : fonts) {
            EXPECT_TRUE(DeleteObject(font));
        }
    }
    HFONT use(const char* face, int height = 1, int weight = 600) {
        HFONT font = makeFont(face, height, weight);
        EXPECT_NE(font, nullptr);
        fonts.push_back(font);
        SelectObject(dc, font);
        return font;
    }
    float width(char c) {
        FLOAT w = -1;
        EXPECT_TRUE(GetCharWidthFloatA(dc, UINT(static_cast<unsigned char>(c)),
                                       UINT(static_cast<unsigned char>(c)), &w));
        return w;
    }

    HDC dc = nullptr;
    std::vector<HFONT> fonts;
};

TEST(GdiFonts, KnownFacesResolveToTheirFilesWithTheRequestedWeightAndSlant) {
    struct Case {
        const char* face;
        int weight;
        bool italic;
        const char* file;
    };
    const Case cases[] = {
        {"DejaVu Sans", 400, false, "DejaVuSans.ttf"},
        {"DejaVu Sans", 700, false, "DejaVuSans-Bold.ttf"},
        {"DejaVu Sans", 400, true, "DejaVuSans-Oblique.ttf"},
        {"DejaVu Serif", 700, false, "DejaVuSerif-Bold.ttf"},
        {"DejaVu Sans Mono", 400, false, "DejaVuSansMono.ttf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.face) + " " + std::to_string(c.weight));
        HFONT font = makeFont(c.face, 1, c.weight, c.italic);
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(std::filesystem::path(fileOf(font)).filename(), c.file);
        EXPECT_EQ(port::gdi::fontFromHandle(font)->family(), std::string(c.face));
        EXPECT_TRUE(DeleteObject(font));
    }
}

TEST(GdiFonts, UnknownFacesFallBackToTheClosestInstalledFace) {
    for (const char* face :
         {"NoSuchFaceAnywhere", "Not A Face", "", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(face == nullptr ? "null" : face);
        HFONT font = makeFont(face);
        ASSERT_NE(font, nullptr);
        EXPECT_TRUE(std::filesystem::is_regular_file(fileOf(font)));
        EXPECT_FALSE(port::gdi::fontFromHandle(font)->family().empty());
        EXPECT_TRUE(DeleteObject(font));
    }
    EXPECT_EQ(makeFont("DejaVu Sans", 1, 1001), nullptr); // beyond the heaviest weight
}

TEST_F(FontDC, WidthsFollowTheGlyphsAndTheFontHeight) {
    use("DejaVu Sans");
    const float w = width('W'), i = width('i'), space = width(' ');
    EXPECT_GT(w, i);
    EXPECT_GT(space, 0.0f);
    // At cell height 1 every advance of a text face is a fraction of the cell or about one.
    EXPECT_LT(w, 1.2f);
    EXPECT_GT(i, 0.1f);

    // A range gives what single characters give.
    FLOAT range[3];
    ASSERT_TRUE(GetCharWidthFloatA(dc, 'W', 'Y', range));
    EXPECT_FLOAT_EQ(range[0], w);
    EXPECT_FLOAT_EQ(range[2], width('Y'));

    // Widths scale with the height; an em height of 2048 gives DejaVu Sans's font units.
    use("DejaVu Sans", 10);
    EXPECT_NEAR(width('W'), 10 * w, 1e-4);
    use("DejaVu Sans", -2048, 400);
    EXPECT_FLOAT_EQ(width('W'), 2025.0f);
    EXPECT_FLOAT_EQ(width('i'), 569.0f);
    // A positive height is the cell: winAscent + winDescent = 1901 + 483 font units.
    use("DejaVu Sans", 1, 400);
    EXPECT_NEAR(width('W'), 2025.0f / 2384.0f, 1e-6);
}

TEST_F(FontDC, WidthsOfCharactersTheFaceLacksAreThoseOfItsMissingGlyph) {
    use("DejaVu Sans");
    // 0x81 is undefined in the ANSI code page, 0x80 is the euro sign.
    EXPECT_GT(width('\x81'), 0.0f);
    EXPECT_NE(width('\x80'), width('\x81'));
}

TEST_F(FontDC, WidthQueriesCheckTheirArguments) {
    FLOAT w[2] = {};
    EXPECT_FALSE(GetCharWidthFloatA(dc, 'a', 'a', w)); // no font selected yet
    use("DejaVu Sans");
    EXPECT_FALSE(GetCharWidthFloatA(nullptr, 'a', 'a', w));
    EXPECT_FALSE(GetCharWidthFloatA(dc, 'b', 'a', w));
    EXPECT_FALSE(GetCharWidthFloatA(dc, 'a', 'a', nullptr));
    EXPECT_FALSE(GetCharWidthFloatA(dc, 0xFF, 0x100, w));
    EXPECT_FALSE(GetCharWidthFloatA(reinterpret_cast<HDC>(w), 'a', 'a', w));
}

TEST(GdiObjects, SelectionAndDeletionKeepHandlesValid) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    HDC second = CreateCompatibleDC(dc);
    ASSERT_NE(second, nullptr);
    HFONT a = makeFont("DejaVu Sans");
    HFONT b = makeFont("DejaVu Serif");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);

    EXPECT_EQ(SelectObject(dc, a), nullptr);
    EXPECT_EQ(SelectObject(dc, b), a);
    EXPECT_EQ(port::gdi::selectedFont(dc), port::gdi::fontFromHandle(b));
    EXPECT_EQ(SelectObject(dc, nullptr), nullptr);
    EXPECT_EQ(SelectObject(nullptr, a), nullptr);
    EXPECT_EQ(SelectObject(dc, dc), nullptr); // a device context is not selectable

    // A selected font is not deleted; once its context is gone it can be.
    EXPECT_FALSE(DeleteObject(b));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(CreateCompatibleDC(dc), nullptr);
    EXPECT_TRUE(DeleteObject(b));
    EXPECT_FALSE(DeleteObject(b));
    EXPECT_EQ(SelectObject(second, b), nullptr);
    EXPECT_EQ(port::gdi::selectedFont(second), nullptr);
    EXPECT_TRUE(DeleteObject(a));
    EXPECT_TRUE(DeleteDC(second));
}

// Whether fontconfig lists a face from this file.
bool fontconfigKnows(const std::string& file) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FILE, reinterpret_cast<const FcChar8*>(file.c_str()));
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    const bool known = set != nullptr && set->nfont > 0;
    if (set != nullptr) {
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return known;
}

TEST(GdiFontResources, AddedFilesAreKnownUntilRemovedAsOftenAsAdded) {
    ScratchDir scratch;
    const std::string installed = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    const std::string copy = scratch.file("Extra.ttf");
    std::filesystem::copy_file(installed, copy);
    ASSERT_FALSE(fontconfigKnows(copy));

    EXPECT_EQ(AddFontResourceA(copy.c_str()), 1);
    EXPECT_TRUE(fontconfigKnows(copy));
    EXPECT_EQ(AddFontResourceA(copy.c_str()), 1);
    EXPECT_TRUE(RemoveFontResourceA(copy.c_str()));
    EXPECT_TRUE(fontconfigKnows(copy));
    EXPECT_TRUE(RemoveFontResourceA(copy.c_str()));
    EXPECT_FALSE(fontconfigKnows(copy));
    EXPECT_FALSE(RemoveFontResourceA(copy.c_str()));
    // Installed faces stay available after an added file goes.
    EXPECT_TRUE(fontconfigKnows(installed));
}

TEST(GdiFontResources, FilesThatAreNoFontsAreNotAddedAndUnknownOnesNotRemoved) {
    ScratchDir scratch;
    const std::string text = scratch.file("notes.ttf");
    writeFile(text, "not a font", 10);
    EXPECT_EQ(AddFontResourceA(text.c_str()), 0);
    EXPECT_EQ(AddFontResourceA(scratch.file("missing.ttf").c_str()), 0);
    EXPECT_EQ(AddFontResourceA(nullptr), 0);
    EXPECT_FALSE(RemoveFontResourceA(text.c_str()));
    EXPECT_FALSE(RemoveFontResourceA("ShadowedBlackWide.ttf"));
    EXPECT_FALSE(RemoveFontResourceA(nullptr));
}

} // namespace
