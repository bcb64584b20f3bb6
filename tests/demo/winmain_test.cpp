#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>
#include <port_testing.h>

#include "engine/resources/device_state.h"
#include "support/message_boxes.h"
#include "support/scratch.h"

namespace {

// Presses Enter on the start-up window as soon as it waits for the user: "start" has the focus.
struct PressStart {
    PressStart() {
        port::testing::setWaitHandler([](HWND w) { port::testing::pressKey(w, VK_RETURN); });
    }
    ~PressStart() { port::testing::setWaitHandler({}); }
};

struct FailureCase {
    const char* name;
    void (*arrange)();
    const char* box; // null: no box
};

class StartupFailure : public ::testing::TestWithParam<FailureCase> {};

// Each failure ends the program before the sound, the loading or the spectrum file, with
// exit code 0 and the message of its case.
TEST_P(StartupFailure, EndsWithoutLoading) {
    const FailureCase c = GetParam();
    c.arrange();
    MessageBoxRecorder boxes;
    PressStart user;
    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL), 0);

    velmo::DeviceState* state = velmo::Device::instance()->state;
    EXPECT_EQ(state->device, nullptr);
    EXPECT_TRUE(state->textures.empty()); // the loading picture was never made
    EXPECT_TRUE(state->tweakables.empty());
    if (c.box == nullptr) {
        EXPECT_TRUE(boxes.boxes().empty());
    } else {
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, c.box);
        EXPECT_EQ(boxes.boxes()[0].caption, "error");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupFailure,
    ::testing::Values(
        FailureCase{"NoDirect3D", [] { port::testing::setDirect3DCreateFails(true); },
                    "Direct3DCreate9 failed!"},
        FailureCase{"NoWindow", [] { port::testing::setWindowCreationFails(true); },
                    "Creating window failed."},
        FailureCase{"NoDevice",
                    [] { port::testing::setDeviceFailure(port::testing::DeviceFailure::Both); },
                    nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// Without a data folder the program says so once, on standard error and in one box, and ends
// with a failure status before its windows open, with nothing loaded.
TEST(Run, WithoutTheDataFolderEndsAtOnceWithOneBox) {
    ScratchDir dir;
    std::filesystem::current_path(dir.path());
    writeFile("data", "a file, not a folder", 20);
    MessageBoxRecorder boxes;
    PressStart user;
    ::testing::internal::CaptureStderr();

    EXPECT_NE(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL), 0);

    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("no data folder"), std::string::npos) << said;
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "error");
    EXPECT_NE(boxes.boxes()[0].text.find("data folder was not found"), std::string::npos);
    velmo::DeviceState* state = velmo::Device::instance()->state;
    EXPECT_EQ(state->device, nullptr);
    EXPECT_TRUE(state->textures.empty());
    EXPECT_TRUE(state->tweakables.empty());
}

// Without music or spectrum (an empty data folder) the program still runs, showing t = 0, and
// ends when 217 s of wall clock have passed; shutdown releases the device.
TEST(Run, WithoutDataEndsAfterTheRunLength) {
    ScratchDir dir;
    std::filesystem::current_path(dir.path());
    std::filesystem::create_directory("data");
    DWORD now = 5000;
    port::testing::setClock([&now] { return now += 1000; });
    MessageBoxRecorder boxes;
    PressStart user;

    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL), 0);

    EXPECT_EQ(velmo::Device::instance()->state->device, nullptr);
    EXPECT_EQ(velmo::Device::instance()->state->tweakables.size(), 8u);
    // Each frame reads the clock once; start-up reads it a few times more.
    EXPECT_GE(now, 5000u + 217000u);
    EXPECT_LE(now, 5000u + 230000u);
    port::testing::setClock({});
}

// The ways a user asks to quit, done to the main window as its input would arrive.
struct QuitCase {
    const char* name;
    void (*ask)(HWND window);
};

const QuitCase quitCases[] = {
    {"Escape", [](HWND window) { port::testing::pressKey(window, VK_ESCAPE); }},
    {"Close", [](HWND window) { port::testing::clickClose(window); }},
    // The port turns the signals into a quit, as a closed window.
    {"SIGTERM", [](HWND) { std::raise(SIGTERM); }},
    {"SIGINT", [](HWND) { std::raise(SIGINT); }},
};

// Asks for the quit once, as soon as the main window shows, before loading begins.
struct QuitWhenShown {
    bool asked = false;

    explicit QuitWhenShown(const QuitCase& quit) {
        port::testing::setShowHandler([this, &quit](HWND window, const std::string& title) {
            if (!asked && title == "velmo 08") {
                asked = true;
                quit.ask(window);
            }
        });
    }
    ~QuitWhenShown() { port::testing::setShowHandler({}); }
};

class QuitWhileLoading : public ::testing::TestWithParam<QuitCase> {};

// A quit asked for while the production loads ends the program with status 0 without its
// later start-up steps or a frame, through the shutdown that releases the device and what
// was loaded.
TEST_P(QuitWhileLoading, EndsWithoutTheRun) {
    MessageBoxRecorder boxes;
    PressStart user;
    QuitWhenShown quit(GetParam());
    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL), 0);

    EXPECT_TRUE(quit.asked) << "the main window never showed";
    velmo::DeviceState* state = velmo::Device::instance()->state;
    EXPECT_EQ(state->device, nullptr);
    EXPECT_TRUE(state->textures.empty());
    EXPECT_TRUE(state->tweakables.empty()) << "start-up went on past loading";
    EXPECT_TRUE(boxes.boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, QuitWhileLoading, ::testing::ValuesIn(quitCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
