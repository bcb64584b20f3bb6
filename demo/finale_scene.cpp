#include "demo/finale_scene.h"

// The scene is built by its own module; these are its entry points.
void buildFinaleScene() {}
void updateFinaleScene(float, float) {}
void renderFinaleScene(float) {}
