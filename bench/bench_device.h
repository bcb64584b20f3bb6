// The engine and device a benchmark draws with: one 640 x 480 window on the offscreen video
// driver (unless SDL_VIDEODRIVER says otherwise), made on first use and kept for the whole run.
#pragma once

// Makes the engine and device on the first call; aborts when they cannot be made.
void ensureDevice();
