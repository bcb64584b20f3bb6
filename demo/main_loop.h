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
    // The last position the music gave and the wall-clock time of that frame; once the music
    // gives none (its stream has ended), the position goes on from there with the wall clock.
    bool musicGavePosition = false;
    unsigned lastMusicPosition = 0;
    DWORD lastMusicPositionAt = 0;
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

// The music position in milliseconds for the frame at wall-clock time now: the channel's while
// it gives one; after it has given one and stops (the stream has played to its end), the last
// one plus the wall-clock time since, so the demo time neither stops nor falls back; 0 while it
// has never given one (no music).
unsigned musicPosition(FMOD::Channel* music, LoopClock& clock, DWORD now);

// The clock step of a frame: takes the wall-clock time since the previous frame into the
// update accumulator, sets the spectrum row for the music position, sets the window's quit
// flag once the run is over, and returns the demo time the frame shows.
float advanceClock(velmo::Window& window, FMOD::Channel* music, LoopClock& clock,
                   SpectrumData& spectrum);

// Runs the fixed 50 ms updates the accumulator holds, each at demo time t; returns how many.
unsigned runDueUpdates(LoopClock& clock, float t);

// Reads every window message waiting (keys and closing reach the window procedure, which may
// set the quit flag).
void pumpMessages();

// Runs one frame: viewports and clears, clocks, spectrum row, fixed updates, render, present,
// message pump. Sets the window's quit flag when the run is over.
FrameReport runFrame(velmo::Window& window, IDirect3DDevice9* device, FMOD::Channel* music,
                     LoopClock& clock, SpectrumData& spectrum);
