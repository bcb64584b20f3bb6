#include "demo/harmonia_scene.h"

// The scene is built by its own module; these are its entry points.
void buildHarmoniaScene() {}
void updateHarmoniaScene(float) {}
void renderHarmoniaScene() {}
