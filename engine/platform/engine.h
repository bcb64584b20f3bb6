#pragma once

#include "engine/platform/display_settings.h"
#include "engine/platform/window.h"

namespace velmo {

// The process's one engine: it owns the window object and is reachable from everywhere
// through instance() once constructed.
class Engine {
public:
    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Opens the main window, then the device; true when both exist.
    bool init(const DisplaySettings& settings);

    static Engine* instance();

    Window* window = nullptr;
};

} // namespace velmo
