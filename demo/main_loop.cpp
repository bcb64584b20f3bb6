#include "demo/main_loop.h"

#include "demo/timeline.h"
#include "engine/platform/log.h"

using velmo::lookUp;

float demoTimeAt(unsigned positionMs) {
    return static_cast<float>(static_cast<double>(positionMs) * static_cast<double>(0.001f));
}

unsigned musicPosition(FMOD::Channel* music, LoopClock& clock, DWORD now) {
    unsigned position = 0;
    if (music != nullptr && music->getPosition(&position, FMOD_TIMEUNIT_MS) == FMOD_OK) {
        clock.musicGavePosition = true;
        clock.lastMusicPosition = position;
        clock.lastMusicPositionAt = now;
        return position;
    }
    if (!clock.musicGavePosition) {
        return 0;
    }
    return clock.lastMusicPosition + (now - clock.lastMusicPositionAt);
}

float advanceClock(velmo::Window& window, FMOD::Channel* music, LoopClock& clock,
                   SpectrumData& spectrum) {
    const DWORD now = timeGetTime();
    const DWORD delta = now - clock.previousFrame;
    const DWORD elapsed = now - clock.start;
    clock.previousFrame = now;

    const unsigned position = musicPosition(music, clock, now);
    clock.accumulator += delta;
    currentSpectrumRow = spectrum.row(position);

    if (elapsed >= runLengthMs) {
        CloseWindow(window.window);
        window.quit = true;
    }
    return demoTimeAt(position);
}

unsigned runDueUpdates(LoopClock& clock, float t) {
    const DWORD n = clock.accumulator / 50;
    for (DWORD i = 0; i < n; ++i) {
        updateDemo(t);
        clock.accumulator -= 50;
    }
    return n;
}

void pumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

FrameReport runFrame(velmo::Window& window, IDirect3DDevice9* device, FMOD::Channel* music,
                     LoopClock& clock, SpectrumData& spectrum) {
    const D3DVIEWPORT9 whole = {0, 0, window.settings.width, window.settings.height, 0.0f, 10.0f};
    device->SetViewport(&whole);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0, 0.0f, 0);

    const D3DVIEWPORT9 letterbox = window.letterboxViewport();
    lookUp(device->SetViewport(&letterbox));

    FrameReport report = {0, advanceClock(window, music, clock, spectrum)};
    lookUp(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
    report.updates = runDueUpdates(clock, report.t);
    renderDemo(report.t);
    lookUp(device->Present(nullptr, nullptr, nullptr, nullptr));
    pumpMessages();
    return report;
}
