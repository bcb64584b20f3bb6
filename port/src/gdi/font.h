// A GDI font: the face that fontconfig finds closest to the requested face name, weight and
// slant, opened with FreeType. Sizes follow GDI: a positive height is the cell height (ascent
// plus descent), a negative one the em height, both in logical units.
#pragma once

#include <memory>
#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace port::gdi {

// What CreateFontA asks for, as far as the port uses it.
struct FontRequest {
    int height = 0;
    int weight = 0; // 0: the default weight
    bool italic = false;
    std::string faceName;
};

// The Unicode code point of a byte of an ANSI string (Windows code page 1252). The five bytes
// that page leaves undefined keep their own value, which no text face maps to a glyph.
char32_t ansiToUnicode(unsigned char c);

// Makes the font files in the program's data/ folder (relative to the working folder)
// available to CreateFontA as installed fonts are, once per process; each counts as added once,
// so RemoveFontResourceA of such a file takes it away again. Font::open calls it first.
void addProgramFonts();

class Font {
public:
    // The closest outline face to the request; null when fontconfig finds no outline face or
    // FreeType cannot open it.
    static std::unique_ptr<Font> open(FT_Library library, const FontRequest& request);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const std::string& file() const { return file_; }
    const std::string& family() const { return family_; }
    const FontRequest& request() const { return request_; }
    FT_Face face() const { return face_; }
    int unitsPerEm() const { return face_->units_per_EM; }

    // The glyph of an ANSI character; 0 (the face's missing-glyph shape) for one it lacks.
    FT_UInt glyphIndex(unsigned char c) const;
    // Advance width of a glyph in font units, including synthetic emboldening.
    double advance(FT_UInt glyph) const;
    // Logical units of this font's height per font unit.
    double logicalScale() const;
    // Loads the glyph's unhinted outline in font units, with the slant and emboldening that
    // fontconfig asks for when the face lacks them; null when the glyph cannot be loaded.
    FT_Outline* loadOutline(FT_UInt glyph) const;

private:
    Font() = default;

    FontRequest request_;
    std::string file_;
    std::string family_;
    FT_Face face_ = nullptr;
    bool symbolCharmap = false;
    bool slanted = false;
    FT_Matrix slant{};
    FT_Pos emboldenStrength = 0; // font units; 0 when the face's own weight is used
};

} // namespace port::gdi
