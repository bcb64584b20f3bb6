#include "demo/shared_assets.h"

// The scene is built by its own module; these are its entry points.
void loadSharedAssets() {}
