#include "demo/text_overlay.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "demo/random.h"
#include "demo/shared_assets.h"
#include "demo/spectrum.h"
#include "demo/timeline.h"
#include "engine/math/matrix.h"
#include "engine/render/mesh_instance.h"
#include "engine/render/mesh_font.h"
#include "engine/render/post_effects.h"
#include "engine/render/screen_quad.h"
#include "engine/resources/device_state.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"

namespace {

constexpr const char* webAddress = "www.tidemark-gathering.org";
constexpr const char* tag = "<3";

} // namespace

// clang-format off
const char* const TextOverlayLines[textOverlayLineCount] = {
    "Tidemark Gathering",
    "2008",
    "where the night learns new tricks",
    "August 15 - 17 at the old harbour hall",
    "art is the noise we make together",
    "special guest: Captain Orrin Vale",
    "live: The Paper Lanterns",
    "live: Moss & Copper",
    "live: Quiet Engines",
    "live: Juno Rook Trio",
    "dj Lumen",
    "dj Halvard Frost",
    "dj Saffi K",
    "dj Nine Oaks",
    "hosted by the Harbour Light Society",
    "bar: cold cider and warm stories",
    "cafe: cinnamon buns all night long",
    "competitions: music, graphics, short films",
    "real-time machine competition",
    "costume contest: come as a sea creature",
    "workshops for invited guests",
    "sauna evening for invited guests",
    "midnight boat trip for invited guests",
    webAddress,
    "bring your friends",
    "bring your machines",
    "stay until sunrise",
    "see you at the harbour!",
    "greetings to every crew on the coast",
    "code, music and models: the lantern crew",
    "for everyone who keeps the lights on",
    "salt in the air",
    "sparks over water",
    "tides and voltages",
    "lighthouses never sleep",
    tag,
    webAddress, tag, webAddress, tag, webAddress, tag, webAddress, tag, webAddress, tag, // 36-45
    webAddress, tag, webAddress, tag, webAddress, tag, webAddress, tag, webAddress, tag, // 46-55
    webAddress, tag, webAddress, tag, webAddress, tag, webAddress, tag, webAddress, tag, // 56-65
    webAddress, tag, webAddress, tag, webAddress, tag, webAddress, tag, webAddress, tag, // 66-75
    webAddress, tag, webAddress, tag, webAddress, tag, webAddress, tag, webAddress, tag, // 76-85
    webAddress, tag, webAddress, tag, webAddress, tag, webAddress, tag, webAddress, tag, // 86-95
    webAddress, tag, webAddress, tag, webAddress, tag, webAddress,                       // 96-102
};
// clang-format on

velmo::Scene* overlayScene = nullptr;
velmo::PerspectiveCamera* overlayCamera = nullptr;
velmo::NodePointlight* overlayLight = nullptr;
velmo::INode* overlayTextNodes[textOverlayLineCount] = {};

namespace {

// Glyphs advance 32 units per unit of font width; a line is shifted left by 17.5 units per
// unit of its width and flattened to a hundredth of its depth.
const velmo::Vec3 advanceDirection(32.0f, 0.0f, 0.0f);
constexpr float halfWidthScale = 0.5f * 35.0f;

float bass(const float* spectrum) {
    float sum = 0.0f;
    for (int i = 0; i <= 24; ++i) {
        sum += spectrum[i];
    }
    return sum;
}

// Shows the glyph instances of the chosen line and hides every other line's. A hidden line is
// hidden as a whole too, so that the scene's walks pass it by; a line whose state does not
// change keeps its glyphs' flags.
void showOnly(int line) {
    for (int i = 0; i < textOverlayLineCount; ++i) {
        velmo::INode* node = overlayTextNodes[i];
        const bool hide = i != line;
        if (node->hidden == hide) {
            continue;
        }
        overlayScene->root->setChildHidden(node, hide);
        node->rewindChildren();
        while (auto* glyph = dynamic_cast<velmo::MeshInstance*>(node->nextChild())) {
            glyph->visible = !hide;
        }
    }
}

} // namespace

void buildTextOverlay() {
    overlayScene = new velmo::Scene;
    overlayCamera = new velmo::PerspectiveCamera(2.0f, 1.0f, 5000.0f);
    overlayLight = new velmo::NodePointlight(0, 0, 0, /*intensity=*/100000, /*power=*/2,
                                             /*range=*/1000, 1, 1, 1, 1);

    velmo::SceneRoot* root = overlayScene->root;
    for (int i = 0; i < textOverlayLineCount; ++i) {
        velmo::INode* node =
            scriptFont->createTextNode(TextOverlayLines[i], advanceDirection, textMaterial);
        overlayTextNodes[i] = node;
        const float width = scriptFont->textWidth(TextOverlayLines[i]);
        velmo::Matrix& m = node->transform;
        m = velmo::makeTranslation(width * 0.5f * -35.0f, 0.0f, 0.0f);
        m._33 = 0.01f;
        root->addChild(node);
        root->registerLights(node);
    }

    root->blurMapEnabled = true;
    root->blurMapTarget = velmo::Device::instance()->state->acquireRenderTarget(D3DFMT_A8R8G8B8);
    // The motion blur reads the blur map and the depth; nothing reads the colour target.
    root->colorTargetRead = false;
    overlayScene->velocityScale = 0.1f;
    root->camera = overlayCamera;
    root->addChild(overlayLight);
    root->registerLights(overlayLight);
}

namespace {

// The picture stages over the rendered scene, laid over the current target in the mode's
// blend.
void drawOverlayStages(float t, int mode);

} // namespace

void renderTextOverlay(int line, int mode) {
    // Where the camera looks from and at, and its roll: kept from call to call until the next
    // jump.
    static velmo::Vec3 eye(0.0f, 50.0f, 100.0f);
    static velmo::Vec3 lookAt(0.0f, 0.0f, 0.0f);
    static float roll = 0.0f;

    const float t = demoTime;
    const float b = bass(currentSpectrumRow);
    overlayScene->ambientScale = {100.0f, 100.0f, 100.0f, 100.0f};
    overlayScene->diffuseScale = {0.87f, 0.6f, 0.39f, 1.0f};

    line = std::clamp(line, 0, textOverlayLineCount - 1);
    showOnly(line);
    const float w = scriptFont->textWidth(TextOverlayLines[line]) * halfWidthScale;

    const float threshold = mode != 0 ? 1.5f : 0.75f;
    if (b > threshold) {
        const float x = demoRandomDraw() * w;
        const float z = -150.0f * (std::fabs(demoRandomDraw()) + 0.5f);
        eye = velmo::Vec3(x, 0.0f, z);
        lookAt = velmo::Vec3(x, 0.0f, 0.0f);
        roll = mode != 0 ? 0.2f * demoRandomDraw() : 0.0f;
    }
    overlayCamera->roll = roll;

    const float lightX = demoRandomDraw() * w;
    const float lightY = 100.0f * demoRandomDraw();
    const float lightZ = 100.0f * demoRandomDraw();
    overlayLight->transform = velmo::makeTranslation(lightX, lightY, lightZ);

    const float k = 0.2f * b;
    overlayCamera->position = eye + k * (eye - lookAt);
    overlayCamera->target = lookAt;
    overlayCamera->up = velmo::Vec3(0.0f, 1.0f, 0.0f);

    overlayScene->render(t);
    drawOverlayStages(t, mode);
}

void warmTextOverlay() {
    if (overlayScene == nullptr) {
        return;
    }
    // One line's glyphs meet every drawing state the others do: the rest are hidden for the
    // draw and shown again after, as they were.
    std::vector<std::pair<velmo::INode*, bool>> hiddenLines;
    std::vector<std::pair<velmo::MeshInstance*, bool>> shown;
    for (velmo::INode* node : overlayTextNodes) {
        hiddenLines.emplace_back(node, node->hidden);
        node->rewindChildren();
        while (auto* glyph = dynamic_cast<velmo::MeshInstance*>(node->nextChild())) {
            shown.emplace_back(glyph, glyph->visible);
        }
    }
    showOnly(0);
    overlayScene->warm(42.0f);
    for (const auto& [node, hidden] : hiddenLines) {
        overlayScene->root->setChildHidden(node, hidden);
    }
    for (const auto& [glyph, visible] : shown) {
        glyph->visible = visible;
    }
    for (int mode : {0, 1}) {
        drawOverlayStages(42.0f, mode);
    }
}

namespace {

void drawOverlayStages(float t, int mode) {
    velmo::MotionblurEffect blur(overlayScene->getRenderTarget(), overlayScene->extraTarget(),
                                 overlayScene->floatTarget(), 0.4f);
    blur.render(t);
    velmo::HSVEffect hsv(&blur, 0.0f, 5.0f, 5.0f);
    hsv.render(t);
    if (mode != 0) {
        velmo::drawScreenQuad(hsv.getRenderTarget(), 1.0f, 0.0f, D3DBLEND_INVSRCALPHA,
                              D3DBLEND_SRCCOLOR);
    } else {
        velmo::drawScreenQuad(hsv.getRenderTarget(), 1.0f, 0.0f, D3DBLEND_ONE, D3DBLEND_SRCALPHA);
    }
}

} // namespace
