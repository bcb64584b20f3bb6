// The real production, run on a substituted clock for pictures and timings: the program's own
// start-up and shutdown (demo/production.h) at a chosen size in place of the start-up window's,
// with the clock, the sound device (none, so the music position follows the clock) and the
// message boxes substituted through the port's test hooks, and then frames through the main
// loop's own runFrame at demo times the caller chooses. The fixed 50 ms updates follow from
// the clock steps, so the same steps give the same frames on every run.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <port_testing.h>

#include "demo/production.h"
#include "engine/platform/engine.h"

class ProductionRun {
public:
    // Sets the offscreen video driver unless one is chosen and runs the program's start-up with
    // the window and device at width x height (vsync as asked from the first frame on).
    // Message boxes go to `boxes`, or else to standard error, instead of waiting for a user.
    ProductionRun(unsigned width, unsigned height, bool vsync,
                  port::testing::MessageBoxHandler boxes = {});
    ~ProductionRun();
    ProductionRun(const ProductionRun&) = delete;
    ProductionRun& operator=(const ProductionRun&) = delete;

    // Whether the device exists and the music plays (without music the demo time stays 0).
    bool ready() const { return started; }
    bool musicPlays() const { return production.music != nullptr; }
    const std::string& problem() const { return failure; }

    // Wall-clock seconds that loadDemo took, and when it started.
    double loadSeconds() const { return production.loadSeconds; }
    std::chrono::steady_clock::time_point loadStarted() const { return production.loadStart; }

    // Continues from demo time ms without catching up: the next frame runs no update for the
    // time skipped. The first frame of a run starts at 0 unless this moves it.
    void skipTo(unsigned ms);
    // Continues from demo time ms as a run drawing a frame every stepMs would: each skipped
    // frame's clock step and fixed updates, without drawing but for the last one, so the scenes
    // advance in steps of stepMs rather than in one long step at the next frame, and the motion
    // the next frame shows is one step's.
    void catchUpTo(unsigned ms, unsigned stepMs);
    // Runs one frame with the clock and the music at demo time ms (never earlier than the
    // previous frame): the updates due since the previous frame, the render and the present.
    FrameReport frameAt(unsigned ms);
    // Whether the run is over (its length reached, or the window closed).
    bool over() const;

    // The back buffer as 8-bit RGB, top row first.
    std::vector<unsigned char> backBufferRgb(unsigned& width, unsigned& height) const;
    bool saveBackBuffer(const std::string& pngPath) const;

private:
    DWORD now = 0;
    velmo::Engine* engine = nullptr;
    Production production;
    bool started = false;
    std::string failure;
};

// Parses "WxH" into width and height; false when it is not two positive numbers.
bool parseSize(const std::string& text, unsigned& width, unsigned& height);
