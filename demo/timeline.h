#pragma once

#include <functional>

#include "engine/platform/display_settings.h"

// The demo time t (seconds of music) of the current frame, stored by renderDemo.
extern float demoTime;
// Whether the block-and-house scene is in one of its full-energy spans.
extern bool houseSceneIntense;
// How far the harmonia scene has progressed: 0 at its start, about 2.62 at its end.
extern float harmoniaProgress;

enum class DemoPart { Intro, House, Harmonia, Finale };

// What one frame shows: an overlay text line (none when line < 0) drawn in the given mode,
// and the scene laid over it.
struct FramePlan {
    int overlayLine;
    int overlayMode;
    DemoPart scene;
};

// The scene whose fixed update runs at time t.
DemoPart updatePartAt(float t);
// The overlay line and scene drawn at time t.
FramePlan framePlanAt(float t);

void configureDisplaySettings(velmo::DisplaySettings& settings);
// Shows the loading picture and builds every scene. Between its steps it asks goOn whether
// loading is still wanted and stops when it is not; false when it stopped before the end.
bool loadDemo(const std::function<bool()>& goOn);
void updateDemo(float t);
void renderDemo(float t);
