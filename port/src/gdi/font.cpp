#include "gdi/font.h"

#include <array>
#include <cmath>

#include <fontconfig/fontconfig.h>
#include FT_OUTLINE_H
#include FT_ADVANCES_H
#include FT_TRUETYPE_TABLES_H

namespace port::gdi {

namespace {

// The height GDI gives a font requested with height 0, as a cell height.
constexpr int defaultHeight = 12;

} // namespace

char32_t ansiToUnicode(unsigned char c) {
    // Code page 1252 differs from Latin-1 only in 0x80..0x9F.
    static constexpr std::array<char16_t, 32> high = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    if (c >= 0x80 && c < 0xA0) {
        return high[c - 0x80];
    }
    return c;
}

std::unique_ptr<Font> Font::open(FT_Library library, const FontRequest& request) {
    addProgramFonts();
    FcPattern* wanted = FcPatternCreate();
    if (wanted == nullptr) {
        return nullptr;
    }
    if (!request.faceName.empty()) {
        FcPatternAddString(wanted, FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(request.faceName.c_str()));
    }
    if (request.weight > 0) {
        FcPatternAddInteger(wanted, FC_WEIGHT, FcWeightFromOpenType(request.weight));
    }
    FcPatternAddInteger(wanted, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    // Only outline faces can be measured at any size and turned into meshes.
    FcPatternAddBool(wanted, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, wanted, FcMatchPattern);
    FcDefaultSubstitute(wanted);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, wanted, &result);
    FcPatternDestroy(wanted);
    if (match == nullptr) {
        return nullptr;
    }

    std::unique_ptr<Font> font(new Font);
    font->request_ = request;
    FcChar8* text = nullptr;
    int index = 0;
    FcBool outline = FcFalse;
    bool usable = FcPatternGetString(match, FC_FILE, 0, &text) == FcResultMatch &&
                  FcPatternGetBool(match, FC_OUTLINE, 0, &outline) == FcResultMatch && outline;
    if (usable) {
        font->file_ = reinterpret_cast<const char*>(text);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) {
            index = 0;
        }
        if (FcPatternGetString(match, FC_FAMILY, 0, &text) == FcResultMatch) {
            font->family_ = reinterpret_cast<const char*>(text);
        }
        FcMatrix* matrix = nullptr;
        if (FcPatternGetMatrix(match, FC_MATRIX, 0, &matrix) == FcResultMatch &&
            (matrix->xy != 0 || matrix->yx != 0 || matrix->xx != 1 || matrix->yy != 1)) {
            font->slanted = true;
            font->slant = {FT_Fixed(std::lround(matrix->xx * 65536.0)),
                           FT_Fixed(std::lround(matrix->xy * 65536.0)),
                           FT_Fixed(std::lround(matrix->yx * 65536.0)),
                           FT_Fixed(std::lround(matrix->yy * 65536.0))};
        }
        FcBool embolden = FcFalse;
        FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
        if (embolden) {
            font->emboldenStrength = 1; // set once the face's size is known
        }
    }
    FcPatternDestroy(match);
    if (!usable || FT_New_Face(library, font->file_.c_str(), index, &font->face_) != 0) {
        return nullptr;
    }
    if (!FT_IS_SCALABLE(font->face_) || font->face_->units_per_EM == 0) {
        return nullptr;
    }
    if (font->face_->charmap == nullptr &&
        FT_Select_Charmap(font->face_, FT_ENCODING_MS_SYMBOL) == 0) {
        font->symbolCharmap = true;
    }
    if (font->emboldenStrength != 0) {
        // A weight step like FreeType's own synthetic bold: 1/24 em in total.
        font->emboldenStrength = font->face_->units_per_EM / 24;
    }
    return font;
}

Font::~Font() {
    if (face_ != nullptr) {
        FT_Done_Face(face_);
    }
}

FT_UInt Font::glyphIndex(unsigned char c) const {
    if (symbolCharmap) {
        // Symbol faces map the single-byte codes into the private range at U+F000.
        return FT_Get_Char_Index(face_, 0xF000u | c);
    }
    return FT_Get_Char_Index(face_, ansiToUnicode(c));
}

double Font::advance(FT_UInt glyph) const {
    FT_Fixed value = 0;
    if (FT_Get_Advance(face_, glyph, FT_LOAD_NO_SCALE, &value) != 0) {
        return 0.0;
    }
    return double(value + emboldenStrength);
}

double Font::logicalScale() const {
    if (request_.height < 0) {
        return -double(request_.height) / face_->units_per_EM;
    }
    // GDI measures the cell of a TrueType face by its Windows ascent and descent.
    double cell = double(face_->ascender) - double(face_->descender);
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        cell = double(os2->usWinAscent) + double(os2->usWinDescent);
    }
    if (cell <= 0) {
        cell = face_->units_per_EM;
    }
    const int height = request_.height == 0 ? defaultHeight : request_.height;
    return height / cell;
}

FT_Outline* Font::loadOutline(FT_UInt glyph) const {
    if (FT_Load_Glyph(face_, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) !=
            0 ||
        face_->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
        return nullptr;
    }
    FT_Outline* outline = &face_->glyph->outline;
    if (emboldenStrength != 0) {
        FT_Outline_Embolden(outline, emboldenStrength);
    }
    if (slanted) {
        FT_Outline_Transform(outline, &slant);
    }
    return outline;
}

} // namespace port::gdi
