#include "demo/text_overlay.h"

// The scene is built by its own module; these are its entry points.
void buildTextOverlay() {}
void renderTextOverlay(int, int) {}
