#include "demo/house_scene.h"

// The scene is built by its own module; these are its entry points.
void buildHouseScene() {}
void updateHouseScene(float) {}
void renderHouseScene() {}
void freeHouseScene() {}
