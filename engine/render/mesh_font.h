// Extruded 3D text: a GDI font face turned into one extruded glyph mesh per character of a
// fixed alphabet, and lines of text built as a group node holding one mesh instance per
// character, placed one after the other along a direction.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <windows.h>

#include "engine/math/vector.h"

namespace velmo {

class DummyNode;
class Material;
class Mesh;

class MeshFont {
public:
    // Keeps the face name (not copied: it must outlive the font) and the extrusion depth; the
    // font is made with height 1, weight 600, not italic, unless those are changed before
    // buildGlyphs.
    MeshFont(const char* faceName, float extrusion);

    // Creates the font in a memory device context and makes a glyph mesh for each alphabet
    // character through the device state, which owns them. Runs once; later calls do nothing.
    // A character whose mesh cannot be made gets no glyph.
    void buildGlyphs();

    // The glyph mesh of c; null for a character without a glyph (and for all before
    // buildGlyphs).
    Mesh* glyphMesh(char c) const;
    // GDI width of c (at its first alphabet position) x 10; 0.0 for a character without a
    // glyph.
    float glyphAdvance(char c) const;
    // The summed advances of the text, 1.0 for each character without a glyph; 0.0 for an
    // empty (or null) text.
    float textWidth(const char* text) const;
    // A new group node named with the text, holding a new mesh instance per character with a
    // glyph, translated to the pen position; the pen starts at the origin and moves by the
    // character's advance along direction, or by 2.0 along it for a character without a
    // glyph. Each instance gets a copy of material, or keeps the default one when it is null.
    // The caller owns the group and its instances (not the glyph meshes).
    DummyNode* createTextNode(const char* text, const Vec3& direction,
                              const Material* material) const;

    int height = 1;
    int weight = 600;
    float extrusion;
    bool italic = false;
    const char* faceName;
    std::string alphabet;
    std::vector<float> widths;
    bool built = false;
    HDC deviceContext = nullptr;
    HFONT font = nullptr;
    std::map<char, Mesh*> glyphs;

private:
    // The first alphabet position of c, or std::string::npos.
    size_t position(char c) const;
};

} // namespace velmo
