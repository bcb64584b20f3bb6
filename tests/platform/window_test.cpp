#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <port_testing.h>

#include "engine/platform/engine.h"
#include "support/engine_fixture.h"
#include "support/message_boxes.h"

namespace {

struct LetterboxCase {
    uint32_t width, height;
    float aspect;
    DWORD x, y, w, h;
};

class Letterbox : public ::testing::TestWithParam<LetterboxCase> {};

TEST_P(Letterbox, IsTheLargestCentredRectangleOfTheAspect) {
    const LetterboxCase c = GetParam();
    velmo::Window window;
    window.settings.width = c.width;
    window.settings.height = c.height;
    window.settings.aspectRatio = c.aspect;
    const D3DVIEWPORT9 vp = window.letterboxViewport();
    EXPECT_EQ(vp.X, c.x);
    EXPECT_EQ(vp.Y, c.y);
    EXPECT_EQ(vp.Width, c.w);
    EXPECT_EQ(vp.Height, c.h);
    EXPECT_EQ(vp.MinZ, 0.0f);
    EXPECT_EQ(vp.MaxZ, 10.0f);
}

// The single-precision aspect truncates: 640 / 1.7777778 is just below 360.
INSTANTIATE_TEST_SUITE_P(
    Cases, Letterbox,
    ::testing::Values(LetterboxCase{640, 480, 16.0f / 9.0f, 0, 60, 640, 359},
                      LetterboxCase{1280, 1024, 16.0f / 9.0f, 0, 152, 1280, 719},
                      LetterboxCase{2560, 1080, 16.0f / 9.0f, 320, 0, 1920, 1080},
                      LetterboxCase{640, 480, 4.0f / 3.0f, 0, 0, 640, 479},
                      LetterboxCase{480, 640, 0.75f, 0, 0, 480, 640}));

using MainWindow = EngineTest;

TEST_F(MainWindow, InitOpensAShownWindowWithAWindowedDevice) {
    velmo::Window& w = *engine->window;
    ASSERT_TRUE(IsWindow(w.window));
    EXPECT_FALSE(w.quit);
    EXPECT_EQ(reinterpret_cast<velmo::Window*>(GetWindowLongA(w.window, GWL_USERDATA)), &w);
    EXPECT_EQ(port::testing::deviceBehaviorFlags(device),
              DWORD(D3DCREATE_HARDWARE_VERTEXPROCESSING));
    const D3DPRESENT_PARAMETERS pp = port::testing::devicePresentParameters(device);
    EXPECT_EQ(pp.BackBufferWidth, 640u);
    EXPECT_EQ(pp.BackBufferHeight, 480u);
    EXPECT_TRUE(pp.Windowed);
    EXPECT_TRUE(pp.EnableAutoDepthStencil);
    EXPECT_EQ(pp.AutoDepthStencilFormat, D3DFMT_D24S8);
}

TEST_F(MainWindow, EscapeQuitsAndMinimisesOnceAndASecondEscapeChangesNothing) {
    velmo::Window& w = *engine->window;
    port::testing::pressKey(w.window, VK_ESCAPE);
    pumpMessages();
    EXPECT_TRUE(w.quit);
    EXPECT_TRUE(port::testing::isMinimised(w.window));
    EXPECT_TRUE(IsWindow(w.window)); // Esc minimises; it does not destroy

    port::testing::pressKey(w.window, VK_ESCAPE);
    pumpMessages();
    EXPECT_TRUE(w.quit);
    EXPECT_TRUE(IsWindow(w.window));
}

TEST_F(MainWindow, OtherKeysDoNotQuit) {
    port::testing::pressKey(engine->window->window, VK_SPACE);
    pumpMessages();
    EXPECT_FALSE(engine->window->quit);
}

TEST_F(MainWindow, ClosingQuitsAndTheDeviceStillPresentsSafely) {
    velmo::Window& w = *engine->window;
    port::testing::clickClose(w.window);
    pumpMessages();
    EXPECT_TRUE(w.quit);
    EXPECT_FALSE(IsWindow(w.window)); // the default procedure destroyed it

    // The frame in flight still draws and presents: the present fails, nothing crashes.
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    EXPECT_TRUE(FAILED(device->Present(nullptr, nullptr, nullptr, nullptr)));
    EXPECT_FALSE(CloseWindow(w.window));
}

TEST_F(MainWindow, ScreenSaverAndMonitorPowerOffAreRefused) {
    HWND h = engine->window->window;
    EXPECT_EQ(velmo::Window::windowProc(h, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(velmo::Window::windowProc(h, WM_SYSCOMMAND, SC_MONITORPOWER, 0), 0);
    EXPECT_FALSE(engine->window->quit);
}

TEST_F(MainWindow, PopViewportFallsBackToTheLetterbox) {
    velmo::Window& w = *engine->window;
    w.viewportStack.push_back({0, 0, 100, 50, 0.0f, 10.0f});
    w.viewportStack.push_back({0, 0, 200, 80, 0.0f, 10.0f});
    w.popViewport();
    D3DVIEWPORT9 vp;
    device->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 100u);
    w.popViewport();
    device->GetViewport(&vp);
    EXPECT_EQ(vp.Y, 60u);
    EXPECT_EQ(vp.Height, 359u);
    EXPECT_EQ(vp.MaxZ, 10.0f); // stored as given, even though the depth range is clamped
}

TEST(MainWindowCreation, FullScreenModeTheDisplayLacksFallsBackToWindowed) {
    MessageBoxRecorder boxes;
    velmo::Engine engine;
    velmo::DisplaySettings s{12345, 678, 32, true, "velmo 08", 16.0f / 9.0f};
    ASSERT_TRUE(engine.init(s));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Couldn't change display-settings, fallback to windowed.");
    EXPECT_EQ(boxes.boxes()[0].caption, "warning");
    EXPECT_FALSE(engine.window->settings.fullscreen);
    EXPECT_FALSE(port::testing::isFullscreen(engine.window->window));
    IDirect3DDevice9* device = velmo::Device::instance()->state->device;
    EXPECT_TRUE(port::testing::devicePresentParameters(device).Windowed);
    velmo::Device::instance()->state->releaseAll();
}

// A system whose OpenGL is older than the port needs (Mesa told to offer 3.0, as an old GPU or
// a virtual machine does): no device, and the port says which version it needs and which it
// found. A device that is made leaves no reason behind.
TEST(MainWindowCreation, WithoutOpenGL33TheDeviceFailsNamingBothVersions) {
    setenv("MESA_GL_VERSION_OVERRIDE", "3.0", 1); // read when the GL driver loads
    velmo::Engine engine;
    velmo::DisplaySettings s{640, 480, 32, false, "velmo 08", 4.0f / 3.0f};
    EXPECT_FALSE(engine.init(s));
    EXPECT_EQ(velmo::Device::instance()->state->device, nullptr);
    const std::string reason = Direct3DDeviceFailure9();
    EXPECT_EQ(reason.find("OpenGL 3.3 (core profile) is needed; the system offers OpenGL 3.0 "), 0u)
        << reason;
}

TEST(MainWindowCreation, AMadeDeviceLeavesNoFailure) {
    velmo::Engine engine;
    velmo::DisplaySettings s{640, 480, 32, false, "velmo 08", 4.0f / 3.0f};
    ASSERT_TRUE(engine.init(s));
    EXPECT_STREQ(Direct3DDeviceFailure9(), "");
    velmo::Device::instance()->state->releaseAll();
}

TEST(MainWindowCreation, HardwareVertexProcessingFailureFallsBackToSoftware) {
    port::testing::setDeviceFailure(port::testing::DeviceFailure::HardwareVertexProcessing);
    velmo::Engine engine;
    velmo::DisplaySettings s{640, 480, 32, false, "velmo 08", 16.0f / 9.0f};
    ASSERT_TRUE(engine.init(s));
    IDirect3DDevice9* device = velmo::Device::instance()->state->device;
    EXPECT_EQ(port::testing::deviceBehaviorFlags(device),
              DWORD(D3DCREATE_SOFTWARE_VERTEXPROCESSING));
    velmo::Device::instance()->state->releaseAll();
}

} // namespace
