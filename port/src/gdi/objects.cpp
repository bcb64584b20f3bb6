// GDI32 device contexts and fonts: CreateCompatibleDC, DeleteDC, CreateFontA, SelectObject,
// DeleteObject and GetCharWidthFloatA.
#include "gdi/objects.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace port::gdi {

namespace {

struct DeviceContext {
    Font* font = nullptr;
};

// The live objects, keyed by the address their handle carries, and the FreeType library
// their faces come from. Objects still alive at exit are freed with the table.
class ObjectTable {
public:
    static ObjectTable& instance() {
        static ObjectTable table;
        return table;
    }

    ~ObjectTable() {
        contexts.clear();
        fonts.clear();
        if (library != nullptr) {
            FT_Done_FreeType(library);
        }
    }

    std::mutex mutex;
    std::map<const void*, std::unique_ptr<DeviceContext>> contexts;
    std::map<const void*, std::unique_ptr<Font>> fonts;

    DeviceContext* context(const void* handle) {
        const auto found = contexts.find(handle);
        return found == contexts.end() ? nullptr : found->second.get();
    }
    Font* font(const void* handle) {
        const auto found = fonts.find(handle);
        return found == fonts.end() ? nullptr : found->second.get();
    }
    bool selectedAnywhere(const Font* font) const {
        for (const auto& [handle, dc] : contexts) {
            if (dc->font == font) {
                return true;
            }
        }
        return false;
    }
    FT_Library freetype() {
        if (library == nullptr && FT_Init_FreeType(&library) != 0) {
            library = nullptr;
        }
        return library;
    }

private:
    ObjectTable() = default;
    FT_Library library = nullptr;
};

} // namespace

const Font* selectedFont(HDC dc) {
    ObjectTable& table = ObjectTable::instance();
    std::lock_guard lock(table.mutex);
    DeviceContext* context = table.context(dc);
    return context == nullptr ? nullptr : context->font;
}

const Font* fontFromHandle(HFONT font) {
    ObjectTable& table = ObjectTable::instance();
    std::lock_guard lock(table.mutex);
    return table.font(font);
}

} // namespace port::gdi

using port::gdi::ObjectTable;

HDC CreateCompatibleDC(HDC reference) {
    ObjectTable& table = ObjectTable::instance();
    std::lock_guard lock(table.mutex);
    if (reference != nullptr && table.context(reference) == nullptr) {
        return nullptr;
    }
    auto context = std::make_unique<port::gdi::DeviceContext>();
    const void* handle = context.get();
    table.contexts.emplace(handle, std::move(context));
    return static_cast<HDC>(const_cast<void*>(handle));
}

BOOL DeleteDC(HDC dc) {
    ObjectTable& table = ObjectTable::instance();
    std::lock_guard lock(table.mutex);
    return table.contexts.erase(dc) == 1 ? TRUE : FALSE;
}

HFONT CreateFontA(int height, int /*width*/, int /*escapement*/, int /*orientation*/, int weight,
                  DWORD italic, DWORD /*underline*/, DWORD /*strikeOut*/, DWORD /*charSet*/,
                  DWORD /*outPrecision*/, DWORD /*clipPrecision*/, DWORD /*quality*/,
                  DWORD /*pitchAndFamily*/, LPCSTR faceName) {
    if (weight < 0 || weight > 1000) {
        return nullptr;
    }
    port::gdi::FontRequest request;
    request.height = height;
    request.weight = weight;
    request.italic = italic != 0;
    if (faceName != nullptr) {
        // A logical font keeps at most 31 characters of the face name.
        request.faceName.assign(faceName, strnlen(faceName, 31));
    }
    ObjectTable& table = ObjectTable::instance();
    std::lock_guard lock(table.mutex);
    FT_Library library = table.freetype();
    if (library == nullptr) {
        return nullptr;
    }
    std::unique_ptr<port::gdi::Font> font = port::gdi::Font::open(library, request);
    if (font == nullptr) {
        return nullptr;
    }
    const void* handle = font.get();
    table.fonts.emplace(handle, std::move(font));
    return static_cast<HFONT>(const_cast<void*>(handle));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    ObjectTable& table = ObjectTable::instance();
    std::lock_guard lock(table.mutex);
    port::gdi::DeviceContext* context = table.context(dc);
    port::gdi::Font* font = table.font(object);
    if (context == nullptr || font == nullptr) {
        return nullptr;
    }
    port::gdi::Font* previous = context->font;
    context->font = font;
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
    ObjectTable& table = ObjectTable::instance();
    std::lock_guard lock(table.mutex);
    const port::gdi::Font* font = table.font(object);
    // An object selected into a device context stays until it is deselected.
    if (font == nullptr || table.selectedAnywhere(font)) {
        return FALSE;
    }
    table.fonts.erase(object);
    return TRUE;
}

BOOL GetCharWidthFloatA(HDC dc, UINT first, UINT last, FLOAT* widths) {
    ObjectTable& table = ObjectTable::instance();
    std::lock_guard lock(table.mutex);
    port::gdi::DeviceContext* context = table.context(dc);
    if (context == nullptr || context->font == nullptr || widths == nullptr || first > last ||
        last > 0xFF) {
        return FALSE;
    }
    const port::gdi::Font& font = *context->font;
    const double scale = font.logicalScale();
    for (UINT c = first; c <= last; ++c) {
        const FT_UInt glyph = font.glyphIndex(static_cast<unsigned char>(c));
        widths[c - first] = static_cast<FLOAT>(font.advance(glyph) * scale);
    }
    return TRUE;
}
