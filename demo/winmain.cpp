// The whole life of the program: display defaults, start-up window, then the production's
// start-up (main window and device, music, loading, spectrum, tweakable values), the frame
// loop, and the shutdown, both from demo/production.h.
#include <cstdio>
#include <string>

#include <windows.h>

#include "demo/data_folder.h"
#include "demo/production.h"
#include "engine/platform/engine.h"
#include "engine/platform/startup_dialog.h"

namespace {

// The sound-library objects and the spectrum live for the whole run and are left to process
// exit, as the shutdown order intends.
Production production;

// Says once, on standard error and in one box, that the device could not be made and why,
// and gives the run's failure status.
int deviceFailed() {
    const std::string reason = Direct3DDeviceFailure9();
    std::fprintf(stderr, "velmo 08: the graphics device could not be created: %s\n",
                 reason.c_str());
    std::fflush(stderr);
    const std::string text = "The graphics device could not be created:\n" + reason;
    MessageBoxA(nullptr, text.c_str(), "error", MB_OK | MB_ICONERROR);
    return 1;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (!dataFolderFound(programFolder())) {
        return 1;
    }
    auto* engine = new velmo::Engine;
    velmo::Window& window = *engine->window;
    setDisplayDefaults(window.settings);

    if (!velmo::runStartupDialog(instance)) {
        return 0;
    }
    if (!startProduction(*engine, production)) {
        // With the window and Direct3D there, it was the device that could not be made.
        return window.window != nullptr && window.direct3D != nullptr ? deviceFailed() : 0;
    }
    while (!window.quit) {
        runProductionFrame(*engine, production);
    }
    shutDownProduction(engine);
    return 0;
}
