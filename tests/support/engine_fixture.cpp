#include "support/engine_fixture.h"

void EngineTest::SetUp() {
    engine = new velmo::Engine;
    velmo::DisplaySettings settings;
    settings.width = 640;
    settings.height = 480;
    settings.bitsPerPixel = 32;
    settings.fullscreen = false;
    settings.title = "velmo 08";
    settings.aspectRatio = 16.0f / 9.0f;
    ASSERT_TRUE(engine->init(settings));
    device = velmo::Device::instance()->state->device;
    ASSERT_NE(device, nullptr);
}

void EngineTest::TearDown() {
    velmo::Device::instance()->state->releaseAll();
    delete engine;
}

void EngineTest::pumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
