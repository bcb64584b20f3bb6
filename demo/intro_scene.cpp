#include "demo/intro_scene.h"

// The scene is built by its own module; these are its entry points.
void buildIntroScene() {}
void updateIntroScene(float, float) {}
void renderIntroScene(float) {}
void freeIntroScene() {}
