#include "win32/text_painter.h"

#include <algorithm>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace port::win32 {

namespace {

constexpr int pixelSize = 12;

// The file and face index of the closest match to a fontconfig pattern, e.g. "sans".
bool findFace(const char* pattern, std::string& file, int& index) {
    FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    if (wanted == nullptr) {
        return false;
    }
    FcConfigSubstitute(nullptr, wanted, FcMatchPattern);
    FcDefaultSubstitute(wanted);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, wanted, &result);
    bool found = false;
    if (match != nullptr) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
            file = reinterpret_cast<const char*>(path);
            if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) {
                index = 0;
            }
            found = true;
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(wanted);
    return found;
}

} // namespace

struct TextPainter::Library {
    FT_Library freetype = nullptr;
    FT_Face face = nullptr;
};

TextPainter& TextPainter::instance() {
    static TextPainter painter;
    return painter;
}

TextPainter::TextPainter() {
    std::string file;
    int index = 0;
    if (!findFace("sans", file, index)) {
        SDL_Log("no sans-serif face found: control texts stay blank");
        return;
    }
    auto* lib = new Library;
    if (FT_Init_FreeType(&lib->freetype) != 0) {
        delete lib;
        return;
    }
    if (FT_New_Face(lib->freetype, file.c_str(), index, &lib->face) != 0 ||
        FT_Set_Pixel_Sizes(lib->face, 0, pixelSize) != 0) {
        SDL_Log("the face %s could not be loaded", file.c_str());
        if (lib->face != nullptr) {
            FT_Done_Face(lib->face);
        }
        FT_Done_FreeType(lib->freetype);
        delete lib;
        return;
    }
    library = lib;
    ascent = static_cast<int>(lib->face->size->metrics.ascender >> 6);
    descent = static_cast<int>(-(lib->face->size->metrics.descender >> 6));
}

TextPainter::~TextPainter() {
    if (library != nullptr) {
        FT_Done_Face(library->face);
        FT_Done_FreeType(library->freetype);
        delete library;
    }
}

int TextPainter::width(const std::string& text) {
    if (library == nullptr) {
        return 0;
    }
    long advance = 0;
    for (unsigned char c : text) {
        if (FT_Load_Char(library->face, c, FT_LOAD_DEFAULT) == 0) {
            advance += library->face->glyph->advance.x;
        }
    }
    return static_cast<int>(advance >> 6);
}

void TextPainter::draw(SDL_Renderer* renderer, const std::string& text, int x, int y,
                       SDL_Color colour, const SDL_Rect& clip) {
    const int w = width(text);
    const int h = lineHeight();
    if (library == nullptr || w <= 0 || h <= 0) {
        return;
    }
    // Coverage of the whole line as the alpha of white pixels; the colour comes from the
    // texture's colour modulation.
    std::vector<Uint32> pixels(static_cast<size_t>(w) * h, 0x00ffffffu);
    int penX = 0;
    FT_Face face = library->face;
    for (unsigned char c : text) {
        if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) {
            continue;
        }
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        const int left = penX + face->glyph->bitmap_left;
        const int top = ascent - face->glyph->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const int py = top + static_cast<int>(row);
            if (py < 0 || py >= h) {
                continue;
            }
            for (unsigned col = 0; col < bitmap.width; ++col) {
                const int px = left + static_cast<int>(col);
                if (px < 0 || px >= w) {
                    continue;
                }
                const Uint32 coverage = bitmap.buffer[row * bitmap.pitch + col];
                Uint32& pixel = pixels[static_cast<size_t>(py) * w + px];
                pixel = std::max(pixel, (coverage << 24) | 0x00ffffffu);
            }
        }
        penX += static_cast<int>(face->glyph->advance.x >> 6);
    }

    SDL_Texture* texture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, w, h);
    if (texture == nullptr) {
        return;
    }
    SDL_UpdateTexture(texture, nullptr, pixels.data(), w * static_cast<int>(sizeof(Uint32)));
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    SDL_SetTextureColorMod(texture, colour.r, colour.g, colour.b);
    const SDL_Rect target = {x, y, w, h};
    SDL_Rect visible;
    if (SDL_IntersectRect(&target, &clip, &visible)) {
        const SDL_Rect source = {visible.x - x, visible.y - y, visible.w, visible.h};
        SDL_RenderCopy(renderer, texture, &source, &visible);
    }
    SDL_DestroyTexture(texture);
}

} // namespace port::win32
