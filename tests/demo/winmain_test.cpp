#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <port_testing.h>

#include "demo/production.h"
#include "engine/resources/device_state.h"
#include "engine/resources/file_cache.h"
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
    int status;
    const char* box;    // the box's text
    const char* stderr; // the one line said on standard error; null: nothing is said
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

class StartupFailure : public ::testing::TestWithParam<FailureCase> {};

// Each failure ends the program before the sound, the loading or the spectrum file, with
// the exit status and the one box of its case; a device that cannot be made is also said
// once on standard error, with the port's reason in both.
TEST_P(StartupFailure, EndsWithoutLoading) {
    const FailureCase c = GetParam();
    c.arrange();
    MessageBoxRecorder boxes;
    PressStart user;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL),
              c.status);
    const std::string said = saidToTheUser(::testing::internal::GetCapturedStderr());

    velmo::DeviceState* state = velmo::Device::instance()->state;
    EXPECT_EQ(state->device, nullptr);
    EXPECT_TRUE(state->textures.empty()); // the loading picture was never made
    EXPECT_TRUE(state->tweakables.empty());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, c.box);
    EXPECT_EQ(boxes.boxes()[0].caption, "error");
    EXPECT_EQ(said, c.stderr != nullptr ? std::string(c.stderr) + "\n" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupFailure,
    ::testing::Values(
        FailureCase{"NoDirect3D", [] { port::testing::setDirect3DCreateFails(true); }, 0,
                    "Direct3DCreate9 failed!", nullptr},
        FailureCase{"NoWindow", [] { port::testing::setWindowCreationFails(true); }, 0,
                    "Creating window failed.", nullptr},
        FailureCase{"NoDevice",
                    [] { port::testing::setDeviceFailure(port::testing::DeviceFailure::Both); }, 1,
                    "The graphics device could not be created:\na test made device creation fail",
                    "velmo 08: the graphics device could not be created: a test made device "
                    "creation fail"}),
    [](const auto& info) { return std::string(info.param.name); });

// What the working folder holds in place of the production's data folder (the test program's
// own folder has none).
struct NoDataCase {
    const char* name;
    void (*arrange)();
};

void PrintTo(const NoDataCase& c, std::ostream* out) {
    *out << c.name;
}

class NoDataFolder : public ::testing::TestWithParam<NoDataCase> {};

// Without the production's data folder the program says so once, on standard error and in one
// box, and ends with a failure status before its windows open, with nothing loaded. A folder
// named data that holds none of the production's files is not taken for it.
TEST_P(NoDataFolder, EndsAtOnceWithOneBox) {
    ScratchDir dir;
    std::filesystem::current_path(dir.path());
    GetParam().arrange();
    // A run that went on would take its 217 s on this clock, not the wall's.
    DWORD now = 5000;
    port::testing::setClock([&now] { return now += 1000; });
    MessageBoxRecorder boxes;
    PressStart user;
    ::testing::internal::CaptureStderr();

    EXPECT_NE(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL), 0);

    port::testing::setClock({});
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("no data folder"), std::string::npos) << said;
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "error");
    EXPECT_NE(boxes.boxes()[0].text.find("data folder was not found"), std::string::npos);
    velmo::DeviceState* state = velmo::Device::instance()->state;
    EXPECT_EQ(state->device, nullptr);
    EXPECT_TRUE(state->textures.empty());
    EXPECT_TRUE(state->tweakables.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoDataFolder,
    ::testing::Values(
        NoDataCase{"AFileNamedData", [] { writeFile("data", "a file, not a folder", 20); }},
        NoDataCase{"AnEmptyDataFolder", [] { std::filesystem::create_directory("data"); }},
        NoDataCase{"AnotherProgramsDataFolder",
                   [] {
                       std::filesystem::create_directories("data/saves");
                       writeFile("data/settings.ini", "[a]", 3);
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

// Without music or spectrum (a data folder that holds only the loading picture's name, and
// that empty) the program still runs, showing t = 0, and ends when 217 s of wall clock have
// passed; shutdown releases the device.
TEST(Run, WithoutDataEndsAfterTheRunLength) {
    ScratchDir dir;
    std::filesystem::current_path(dir.path());
    std::filesystem::create_directory("data");
    writeFile("data/loading.jpg", "", 0);
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
    // The terminal the program was started from closed.
    {"SIGHUP", [](HWND) { std::raise(SIGHUP); }},
};

// Where a quit arrives while the production loads: at one of the checks between loading
// steps. Check 0 comes before the first step, checks 1 to 6 before each of the six scene
// builds, checks 7 to 16 before each of the ten warm-up draws.
struct QuitPoint {
    const char* name;
    unsigned check;
    bool loadedBefore; // the loading picture and the first step's textures are made by then
};

const QuitPoint quitPoints[] = {
    {"BeforeLoading", 0, false},
    {"AfterTheFirstStep", 2, true},
    {"InTheWarmUp", 8, true},
};

// Test names show the cases by name, not as bytes.
void PrintTo(const QuitCase& quit, std::ostream* out) {
    *out << quit.name;
}
void PrintTo(const QuitPoint& point, std::ostream* out) {
    *out << point.name;
}

// The names of the files the run has read so far; the file cache keeps them to the end.
std::vector<std::string> filesRead() {
    std::vector<std::string> names;
    for (const velmo::FileCacheEntry& entry : velmo::FileCache::instance()->entries) {
        names.push_back(entry.name);
    }
    return names;
}

// Asks for the quit once, at the given check between loading steps, and notes what loading had
// made by then and how many checks came after it.
struct QuitAtCheck {
    HWND window = nullptr;
    bool asked = false;
    IDirect3DDevice9* device = nullptr;
    size_t textures = 0;
    std::vector<std::string> files;
    uint64_t draws = 0;
    unsigned checksAfter = 0;

    QuitAtCheck(const QuitCase& quit, unsigned at) {
        // A mode of a real display: the headless display's first mode has no size, and
        // loading draws at the size the start-up window takes from the list.
        port::testing::setAdapterModes(
            std::vector<D3DDISPLAYMODE>{{640, 480, 60, D3DFMT_X8R8G8B8}});
        port::testing::setShowHandler([this](HWND shown, const std::string& title) {
            if (title == "velmo 08") {
                window = shown;
            }
        });
        setLoadingCheckHook([this, &quit, at](unsigned check) {
            if (asked) {
                ++checksAfter;
            } else if (check == at) {
                asked = true;
                velmo::DeviceState* state = velmo::Device::instance()->state;
                // Held until the test has read what it drew after the quit.
                device = state->device;
                device->AddRef();
                draws = port::testing::drawStats(device).draws;
                textures = state->textures.size();
                files = filesRead();
                quit.ask(window);
            }
        });
    }
    ~QuitAtCheck() {
        setLoadingCheckHook({});
        port::testing::setShowHandler({});
        port::testing::setAdapterModes({});
    }
};

class QuitWhileLoading : public ::testing::TestWithParam<std::tuple<QuitCase, QuitPoint>> {};

// A quit asked for while the production loads ends the program with status 0 after the step
// in progress, without its later loading steps, start-up steps or a frame, through the
// shutdown that releases the device and what was loaded.
TEST_P(QuitWhileLoading, EndsAfterTheStepInProgress) {
    const auto& [quitCase, point] = GetParam();
    MessageBoxRecorder boxes;
    PressStart user;
    QuitAtCheck quit(quitCase, point.check);
    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL), 0);

    ASSERT_TRUE(quit.asked) << "loading never reached check " << point.check;
    EXPECT_EQ(quit.checksAfter, 0u) << "loading went on past the quit";
    EXPECT_EQ(filesRead(), quit.files) << "files were read after the quit";
    EXPECT_EQ(port::testing::drawStats(quit.device).draws, quit.draws) << "drawn after the quit";
    EXPECT_EQ(quit.device->Release(), 0u);
    if (point.loadedBefore) {
        EXPECT_GT(quit.textures, 0u);
    }
    velmo::DeviceState* state = velmo::Device::instance()->state;
    EXPECT_EQ(state->device, nullptr);
    EXPECT_TRUE(state->textures.empty());
    EXPECT_TRUE(state->tweakables.empty()) << "start-up went on past loading";
    for (const auto& box : boxes.boxes()) {
        ADD_FAILURE() << "box: " << box.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, QuitWhileLoading,
                         ::testing::Combine(::testing::ValuesIn(quitCases),
                                            ::testing::ValuesIn(quitPoints)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    std::get<1>(info.param).name;
                         });

} // namespace
