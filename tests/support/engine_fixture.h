// A running engine for tests: the main window (offscreen) and its device, with the demo's
// display settings, torn down in the program's shutdown order.
#pragma once

#include <gtest/gtest.h>

#include "engine/platform/engine.h"
#include "engine/resources/device_state.h"

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Reads and dispatches every queued message, as the main loop's pump does.
    static void pumpMessages();

    velmo::Engine* engine = nullptr;
    IDirect3DDevice9* device = nullptr;
};
