// The text overlay: one line of the event's text at a time as extruded 3D text in the script
// face, in a scene of its own laid under the current part's picture. Its camera jumps to a
// random place along the line whenever the bass passes a threshold, backs away from the text
// as the bass grows and, in mode 1, rolls.
#pragma once

namespace velmo {
class INode;
class NodePointlight;
class PerspectiveCamera;
class Scene;
} // namespace velmo

constexpr int textOverlayLineCount = 103;
// Lines 0 to 35 are distinct; from 36 on, even entries repeat line 23 and odd ones line 35.
extern const char* const TextOverlayLines[textOverlayLineCount];

// Built once by buildTextOverlay and never freed.
extern velmo::Scene* overlayScene;
extern velmo::PerspectiveCamera* overlayCamera;
extern velmo::NodePointlight* overlayLight;
// Entry i is the text node of line i.
extern velmo::INode* overlayTextNodes[textOverlayLineCount];

// Builds the overlay's scene from the shared script font and text material, one text node per
// line, all kept in the scene; only the requested line's glyphs are shown.
void buildTextOverlay();
// Draws line `line` (clamped to the table) for the current demo time and spectrum row, over
// the back buffer: mode 0 adds it, mode 1 blends it by its own colour.
void renderTextOverlay(int line, int mode);
// Draws the scene once as at 42 s, with its stages in both modes, over the current target,
// leaving every state of the scene as it was (velmo::Scene::warm) and drawing nothing from
// the generator.
void warmTextOverlay();
