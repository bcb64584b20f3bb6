#pragma once

#include <d3d9.h>
#include <fmod.hpp>

#include "demo/spectrum.h"
#include "engine/platform/window.h"

// The wall-clock state of the main loop, all in wrapping 32-bit milliseconds.
struct LoopClock {
    DWORD start = 0;
    DWORD previousFrame = 0;
    DWORD accumulator = 0;
};

// How long the production runs after the music starts.
constexpr DWORD runLengthMs = 217000;

// What one frame did: how many fixed updates ran, and the demo time it showed.
struct FrameReport {
    unsigned updates;
    float t;
};

// The demo time for a music position: position * 0.001, multiplied in double precision.
float demoTimeAt(unsigned positionMs);

// Runs one frame: viewports and clears, clocks, spectrum row, fixed updates, render, present,
// message pump. Sets the window's quit flag when the run is over.
FrameReport runFrame(velmo::Window& window, IDirect3DDevice9* device, FMOD::Channel* music,
                     LoopClock& clock, SpectrumData& spectrum);
