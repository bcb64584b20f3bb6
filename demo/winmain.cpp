// The whole life of the program: display defaults, start-up window, then the production's
// start-up (main window and device, music, loading, spectrum, tweakable values), the frame
// loop, and the shutdown, both from demo/production.h.
#include <windows.h>

#include "demo/data_folder.h"
#include "demo/production.h"
#include "engine/platform/engine.h"
#include "engine/platform/startup_dialog.h"

namespace {

// The sound-library objects and the spectrum live for the whole run and are left to process
// exit, as the shutdown order intends.
Production production;

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (!dataFolderFound()) {
        return 1;
    }
    auto* engine = new velmo::Engine;
    velmo::Window& window = *engine->window;
    setDisplayDefaults(window.settings);

    if (!velmo::runStartupDialog(instance)) {
        return 0;
    }
    if (!startProduction(*engine, production)) {
        return 0;
    }
    while (!window.quit) {
        runProductionFrame(*engine, production);
    }
    shutDownProduction(engine);
    return 0;
}
