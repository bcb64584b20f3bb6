// The text overlay: its line table, the scene it builds, the line it shows for an index, and
// its camera, which jumps when the bass passes the mode's threshold, backs away with the
// bass and rolls only in mode 1.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "demo/random.h"
#include "demo/shared_assets.h"
#include "demo/spectrum.h"
#include "demo/text_overlay.h"
#include "demo/timeline.h"
#include "engine/math/matrix.h"
#include "engine/render/mesh_instance.h"
#include "engine/render/material.h"
#include "engine/render/mesh_font.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_root.h"
#include "support/engine_fixture.h"
#include "support/expect_math.h"

namespace {

using velmo::Vec3;

constexpr const char* glyphAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ01234567890.!?,:&<:-";

TEST(TextOverlayLines, HoldThirtySixDistinctLinesThenRepeatTheAddressAndTheTag) {
    std::set<std::string> distinct(TextOverlayLines, TextOverlayLines + 36);
    EXPECT_EQ(distinct.size(), 36u);
    EXPECT_EQ(std::strlen(TextOverlayLines[35]), 2u);
    EXPECT_EQ(std::string(TextOverlayLines[23]).find('/'), std::string::npos);
    for (int i = 36; i < textOverlayLineCount; ++i) {
        EXPECT_STREQ(TextOverlayLines[i], TextOverlayLines[i % 2 == 0 ? 23 : 35]) << i;
    }
    const std::string allowed = std::string(glyphAlphabet) + " ";
    for (int i = 0; i < 36; ++i) {
        const std::string line = TextOverlayLines[i];
        EXPECT_FALSE(line.empty()) << i;
        EXPECT_EQ(line.find_first_not_of(allowed), std::string::npos) << i << ": " << line;
    }
}

class TextOverlay : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        scriptFont = new velmo::MeshFont("ChopinScript", 10.1f);
        scriptFont->buildGlyphs();
        prepareGlyphs(*scriptFont, 110.0f);
        textMaterial = new velmo::Material;
        const float black[4] = {0, 0, 0, 0}, white[4] = {1, 1, 1, 1};
        textMaterial->setAmbient(black);
        textMaterial->setDiffuse(white);
        textMaterial->setSpecular(white);
        buildTextOverlay();
        std::fill(std::begin(row), std::end(row), 0.0f);
        currentSpectrumRow = row;
        demoTime = 44.0f;
    }

    // A spectrum row whose bass (bins 0 to 24) sums to exactly b; the bins above it are loud
    // and must not count.
    void setBass(float b) {
        std::fill(std::begin(row), std::end(row), 5.0f);
        std::fill(row, row + 25, 0.0f);
        row[0] = b;
    }

    // How many draws a render takes from the generator.
    int drawsOfRender(int line, int mode) {
        demoSrand(777);
        renderTextOverlay(line, mode);
        const int next = demoRand();
        demoSrand(777);
        for (int n = 0; n < 20; ++n) {
            if (demoRand() == next) {
                return n;
            }
        }
        return -1;
    }

    // The line whose glyphs are visible; -1 when none or several are, or when a line's hidden
    // flag does not match its glyphs.
    static int visibleLine() {
        int shown = -1;
        for (int i = 0; i < textOverlayLineCount; ++i) {
            const bool hidden = overlayTextNodes[i]->hidden;
            for (velmo::INode* child : overlayTextNodes[i]->children) {
                const bool visible = static_cast<velmo::MeshInstance*>(child)->visible;
                if (visible == hidden) {
                    return -1;
                }
                if (visible) {
                    if (shown >= 0 && shown != i) {
                        return -1;
                    }
                    shown = i;
                }
            }
        }
        return shown;
    }

    float halfWidth(int line) { return scriptFont->textWidth(TextOverlayLines[line]) * 17.5f; }

    float row[SpectrumData::binsPerRow];
};

TEST_F(TextOverlay, BuildsOneTextNodePerLineInTheScriptFontAndOneLight) {
    velmo::SceneRoot* root = overlayScene->root;
    ASSERT_EQ(root->children.size(), size_t(textOverlayLineCount) + 1);
    auto child = root->children.begin();
    for (int i = 0; i < textOverlayLineCount; ++i, ++child) {
        SCOPED_TRACE(i);
        ASSERT_EQ(*child, overlayTextNodes[i]);
        EXPECT_EQ(overlayTextNodes[i]->name, TextOverlayLines[i]);
        const velmo::Matrix& m = overlayTextNodes[i]->transform;
        EXPECT_FLOAT_EQ(m._41, -scriptFont->textWidth(TextOverlayLines[i]) * 17.5f);
        EXPECT_EQ(m._33, 0.01f);
        EXPECT_EQ(m._11, 1.0f);
        EXPECT_EQ(m._22, 1.0f);
    }
    EXPECT_EQ(*child, overlayLight);
    EXPECT_EQ(root->lights, std::vector<velmo::NodePointlight*>{overlayLight});
    EXPECT_EQ(overlayLight->intensity, 100000.0f);
    EXPECT_EQ(overlayLight->power, 2.0f);
    EXPECT_EQ(root->camera, overlayCamera);
    EXPECT_EQ(overlayCamera->fovY, 2.0f);
    EXPECT_EQ(overlayCamera->zFar, 5000.0f);
    EXPECT_TRUE(root->blurMapEnabled);
    EXPECT_NE(root->blurMapTarget, nullptr);
    EXPECT_EQ(overlayScene->velocityScale, 0.1f);
}

// An index past the table shows its last line; a negative one (which the timeline never
// passes) shows the first instead of reading before the table.
TEST_F(TextOverlay, ShowsExactlyTheRequestedLineClampedToTheTableBothWays) {
    const struct {
        int index;
        int shown;
    } cases[] = {{0, 0}, {7, 7}, {102, 102}, {103, 102}, {5000, 102}, {-1, 0}, {-40, 0}, {3, 3}};
    for (const auto& c : cases) {
        renderTextOverlay(c.index, 1);
        EXPECT_EQ(visibleLine(), c.shown) << "index " << c.index;
    }
}

// Only a bass strictly above the threshold jumps: a render then takes two more draws (mode
// 0) or three (mode 1, for the roll) than the light's three.
TEST_F(TextOverlay, TheCameraJumpsOnlyWhenTheBassIsAboveTheModesThreshold) {
    const struct {
        int mode;
        float bass;
        int draws;
    } cases[] = {{0, 0.75f, 3}, {0, 0.76f, 5}, {0, 0.0f, 3}, {1, 1.5f, 3},
                 {1, 1.51f, 6}, {1, 0.76f, 3}, {0, 1.5f, 5}};
    for (const auto& c : cases) {
        setBass(c.bass);
        EXPECT_EQ(drawsOfRender(4, c.mode), c.draws) << "mode " << c.mode << ", bass " << c.bass;
    }
}

TEST_F(TextOverlay, BeforeTheFirstJumpTheCameraBacksAwayFromTheOriginWithTheBass) {
    for (float b : {0.0f, 0.5f, 0.75f}) {
        setBass(b);
        renderTextOverlay(0, 0);
        expectVecNear(overlayCamera->position, Vec3(0, 50, 100) * (1.0f + 0.2f * b), 1e-4f);
        expectVecNear(overlayCamera->target, Vec3(0, 0, 0));
        expectVecNear(overlayCamera->up, Vec3(0, 1, 0));
        EXPECT_EQ(overlayCamera->roll, 0.0f);
    }
}

TEST_F(TextOverlay, AJumpMovesTheCameraInFrontOfARandomPlaceOnTheLineAndTheLightNearIt) {
    const int line = 17;
    const float w = halfWidth(line);
    setBass(2.0f);
    demoSrand(4242);
    const float r1 = demoRandomDraw(), r2 = demoRandomDraw(), r3 = demoRandomDraw();
    const float r4 = demoRandomDraw(), r5 = demoRandomDraw(), r6 = demoRandomDraw();
    demoSrand(4242);
    renderTextOverlay(line, 1);

    const float x = r1 * w, z = -150.0f * (std::fabs(r2) + 0.5f);
    expectVecNear(overlayCamera->target, Vec3(x, 0, 0), 1e-3f);
    expectVecNear(overlayCamera->position, Vec3(x, 0, z * (1.0f + 0.2f * 2.0f)), 1e-3f);
    EXPECT_FLOAT_EQ(overlayCamera->roll, 0.2f * r3);
    expectVecNear(velmo::getTranslation(overlayLight->transform),
                  Vec3(r4 * w, 100.0f * r5, 100.0f * r6), 1e-3f);
}

// The roll set by a jump in mode 1 stays until the next jump; a jump in mode 0 sets it to 0.
TEST_F(TextOverlay, TheRollIsKeptWithoutAJumpAndResetByAJumpInMode0) {
    demoSrand(99);
    setBass(2.0f);
    renderTextOverlay(5, 1);
    const float rolled = overlayCamera->roll;
    ASSERT_NE(rolled, 0.0f);
    const struct {
        int mode;
        float bass;
        bool rollKept;
    } steps[] = {{1, 1.0f, true}, {0, 0.5f, true}, {0, 0.9f, false}, {1, 0.2f, false}};
    for (const auto& s : steps) {
        setBass(s.bass);
        renderTextOverlay(5, s.mode);
        EXPECT_EQ(overlayCamera->roll, s.rollKept ? rolled : 0.0f)
            << "mode " << s.mode << ", bass " << s.bass;
    }
}

// Mode 0 adds the overlay's picture to a black back buffer: after a jump, the letters of line 0
// around the place jumped to show, lit from the camera's side.
TEST_F(TextOverlay, TheLineShowsOnTheBackBuffer) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    setBass(1.0f);
    demoSrand(2133); // a jump near the line's middle, the light in front of the text
    renderTextOverlay(0, 0);
    // A second picture from the same place, with the light where it was: the first one is
    // smeared by the motion blur, every path moving from the identity.
    setBass(0.2f);
    demoTime = 44.05f;
    demoSrand(2133);
    demoRand();
    demoRand();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    renderTextOverlay(0, 0);
    const std::vector<DWORD> pixels = readTarget();
    const size_t lit = std::count_if(pixels.begin(), pixels.end(), [](DWORD p) {
        return ((p >> 16) & 0xFF) > 64 || ((p >> 8) & 0xFF) > 64 || (p & 0xFF) > 64;
    });
    EXPECT_GT(lit, pixels.size() / 400) << "a few letters, a few hundred pixels each";
}

} // namespace
