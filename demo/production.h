// The production's start-up after the start-up window and its shutdown: the one
// sequence that WinMain and the test aids (aids/production_run) both go through. The aids
// substitute only the clock, the sound device and the message boxes, through the port's test
// hooks, before they call it; the start-up window's choice is the size they pass in the
// window's settings.
#pragma once

#include <chrono>
#include <functional>

#include <d3d9.h>
#include <fmod.hpp>

#include "demo/main_loop.h"
#include "demo/spectrum.h"
#include "engine/platform/display_settings.h"
#include "engine/platform/engine.h"

// What the run holds from start-up to shutdown. The program keeps it until the process ends;
// the shutdown frees none of it (the sound-library objects are left to process exit).
struct Production {
    FMOD::System* system = nullptr;
    FMOD::Sound* stream = nullptr;
    // Null when the music does not play (the demo time then stays 0).
    FMOD::Channel* music = nullptr;
    SpectrumData spectrum;
    // Where currentSpectrumRow points until the first frame picks a row; nothing reads it.
    float firstSpectrumRow[SpectrumData::binsPerRow] = {};
    IDirect3DDevice9* device = nullptr;
    LoopClock clock;
    // When loadDemo started and how long it took on the wall clock: the aids report these,
    // the program does not read them.
    std::chrono::steady_clock::time_point loadStart;
    double loadSeconds = 0.0;
};

// Fills settings with the engine's defaults (4/3, 640 x 480, 32 bits, windowed, "velmo 08")
// and then lets the demo change them (configureDisplaySettings).
void setDisplayDefaults(velmo::DisplaySettings& settings);

// Makes the main window and the device with the window's settings and gives false, with
// nothing more made, when either fails. Then opens the sound library and the music stream,
// points the spectrum at a silent first row, loads the demo (timed), reads the spectrum file,
// registers the eight tweakable values, starts the music and the loop clock; gives true.
// It reads the window's messages between its loading steps: a quit asked for meanwhile (Esc,
// closing the window, SIGTERM or SIGINT) stops it after the step in progress, with true and the
// quit flag set, so the loop is skipped and the shutdown follows.
bool startProduction(velmo::Engine& engine, Production& production);

// Test aid: called at each check for a quit while loading, before the check reads the window's
// messages, with the number of checks made before it (0: the check before the first loading
// step). A test delivers a quit there to have it arrive between two loading steps. The
// program sets none; an empty hook removes it.
using LoadingCheckHook = std::function<void(unsigned checksBefore)>;
void setLoadingCheckHook(LoadingCheckHook hook);

// One frame of the main loop (runFrame) with what the start-up made.
FrameReport runProductionFrame(velmo::Engine& engine, Production& production);

// After the last frame: removes the program's fonts, frees the house and intro scenes,
// deletes the effect cache, releases every tracked device object and the device, deletes the
// engine with its window and closes the log. What the production holds is left as it is.
void shutDownProduction(velmo::Engine* engine);
