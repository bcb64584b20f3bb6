#include "engine/render/mesh_font.h"

#include <d3dx9.h>

#include "engine/math/matrix.h"
#include "engine/mesh/mesh.h"
#include "engine/render/mesh_instance.h"
#include "engine/render/material.h"
#include "engine/resources/device_state.h"
#include "engine/scene/node.h"

namespace velmo {

namespace {

// The characters that get glyphs. '0' and ':' occur twice; lookups use the first position.
constexpr const char* kAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ01234567890.!?,:&<:-";
constexpr DWORD kDefaultCharset = 1;
// Greatest distance of the flattened glyph outlines from the true curves.
constexpr float kDeviation = 0.001f;
// GDI widths are in units of the font height; glyph advances are ten times larger.
constexpr float kAdvanceScale = 10.0f;
// A character whose GDI width is exactly zero still moves the pen a little.
constexpr float kZeroWidth = 0.1f;
// How far the pen moves for a character without a glyph in a text node, and what it counts
// for in a text's width.
constexpr float kMissingNodeAdvance = 2.0f;
constexpr float kMissingWidth = 1.0f;

} // namespace

MeshFont::MeshFont(const char* faceName, float extrusion)
    : extrusion(extrusion), faceName(faceName) {}

void MeshFont::buildGlyphs() {
    if (built) {
        return;
    }
    built = true;
    alphabet = kAlphabet;
    widths.assign(alphabet.size(), 0.0f);

    deviceContext = CreateCompatibleDC(nullptr);
    font =
        CreateFontA(height, 0, 0, 0, weight, italic, 0, 0, kDefaultCharset, 0, 0, 0, 0, faceName);
    SelectObject(deviceContext, font);

    DeviceState* state = Device::instance()->state;
    for (size_t i = 0; i < alphabet.size(); ++i) {
        const char c = alphabet[i];
        // A failed query leaves the width at zero, which is treated like a zero width.
        GetCharWidthFloatA(deviceContext, static_cast<unsigned char>(c),
                           static_cast<unsigned char>(c), &widths[i]);
        if (widths[i] == 0.0f) {
            widths[i] = kZeroWidth;
        }

        const char text[2] = {c, '\0'};
        ID3DXMesh* textMesh = nullptr;
        if (FAILED(D3DXCreateTextA(state->device, deviceContext, text, kDeviation, extrusion,
                                   &textMesh, nullptr, nullptr)) ||
            textMesh == nullptr) {
            // No shape for this character: it is left without a glyph.
            continue;
        }
        Mesh* glyph = state->createMesh();
        glyph->loadFromD3DXMesh(textMesh);
        textMesh->Release();
        // For a character that occurs twice the later glyph replaces the earlier one; the
        // device state keeps and frees both.
        glyphs[c] = glyph;
    }
}

size_t MeshFont::position(char c) const {
    return alphabet.find(c);
}

Mesh* MeshFont::glyphMesh(char c) const {
    if (position(c) == std::string::npos) {
        return nullptr;
    }
    const auto found = glyphs.find(c);
    return found == glyphs.end() ? nullptr : found->second;
}

float MeshFont::glyphAdvance(char c) const {
    const size_t i = position(c);
    if (i == std::string::npos || glyphMesh(c) == nullptr) {
        return 0.0f;
    }
    return widths[i] * kAdvanceScale;
}

float MeshFont::textWidth(const char* text) const {
    float total = 0.0f;
    for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
        total += glyphMesh(*p) != nullptr ? glyphAdvance(*p) : kMissingWidth;
    }
    return total;
}

DummyNode* MeshFont::createTextNode(const char* text, const Vec3& direction,
                                    const Material* material) const {
    auto* node = new DummyNode;
    node->setName(text != nullptr ? text : "");
    Vec3 pen(0.0f, 0.0f, 0.0f);
    for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
        Mesh* glyph = glyphMesh(*p);
        if (glyph == nullptr) {
            pen += direction * kMissingNodeAdvance;
            continue;
        }
        auto* instance = new MeshInstance(glyph);
        node->addChild(instance);
        makeTranslation(instance->transform, pen.x, pen.y, pen.z);
        if (material != nullptr) {
            instance->material = *material;
        }
        pen += direction * glyphAdvance(*p);
    }
    return node;
}

} // namespace velmo
