#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <port_testing.h>

#include "engine/platform/engine.h"
#include "engine/platform/startup_dialog.h"
#include "support/message_boxes.h"

namespace {

struct LineCase {
    UINT width, height, refresh;
    const char* line;
};
void PrintTo(const LineCase& c, std::ostream* out) {
    *out << c.line;
}

class ModeLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ModeLine, ShowsSizeAspectAndRefreshRate) {
    const LineCase c = GetParam();
    EXPECT_EQ(velmo::modeLine(c.width, c.height, c.refresh), c.line);
}

// The aspect divisor stays below half the height, so 640 x 320 keeps 8:4.
INSTANTIATE_TEST_SUITE_P(Cases, ModeLine,
                         ::testing::Values(LineCase{1280, 720, 60, "1280x720  [16:9] 60hz"},
                                           LineCase{1280, 1024, 60, "1280x1024  [5:4] 60hz"},
                                           LineCase{1680, 1050, 60, "1680x1050  [8:5] 60hz"},
                                           LineCase{1366, 768, 75, "1366x768  [683:384] 75hz"},
                                           LineCase{640, 320, 60, "640x320  [8:4] 60hz"},
                                           LineCase{640, 480, 60, "640x480  [4:3] 60hz"},
                                           LineCase{3, 1, 0, "3x1  [3:1] 0hz"}));

const std::vector<D3DDISPLAYMODE> testModes = {
    {1280, 720, 60, D3DFMT_X8R8G8B8},
    {800, 600, 75, D3DFMT_X8R8G8B8},
    {1680, 1050, 60, D3DFMT_X8R8G8B8},
    {800, 600, 75, D3DFMT_X8R8G8B8}, // the adapter's duplicates stay
};

// Control ids and client-area points of the start-up window's controls.
constexpr int startId = 1001, quitId = 1002, listId = 1003, fullscreenId = 1004;
constexpr POINT startButton = {25, 10}, quitButton = {25, 30}, checkBox = {57, 27};
POINT listLine(int line) {
    return {60, 40 + 16 * line + 8};
}

// One action of the user at the start-up window.
using Step = std::function<void(HWND)>;
Step click(POINT p) {
    return [p](HWND w) { port::testing::click(w, p.x, p.y); };
}
Step key(WPARAM vk) {
    return [vk](HWND w) { port::testing::pressKey(w, vk); };
}

// A user at the start-up window: each step runs when the dialog's loop waits for input. The
// window is closed if the steps run out, so a test that fails never hangs.
class StartupDialog : public ::testing::Test {
protected:
    void SetUp() override {
        engine = new velmo::Engine;
        velmo::DisplaySettings& s = engine->window->settings;
        s.width = 640;
        s.height = 480;
        s.bitsPerPixel = 32;
        s.fullscreen = false;
        port::testing::setAdapterModes(testModes);
    }

    void TearDown() override {
        port::testing::setWaitHandler({});
        port::testing::setAdapterModes({});
        delete engine;
    }

    bool run(std::vector<Step> steps) {
        size_t next = 0;
        port::testing::setWaitHandler([&](HWND window) {
            if (next < steps.size()) {
                steps[next++](window);
            } else if (next++ == steps.size()) {
                ADD_FAILURE() << "the start-up window was still open after the last step";
                port::testing::clickClose(window);
            }
        });
        const bool result = velmo::runStartupDialog(GetModuleHandleA(nullptr));
        port::testing::setWaitHandler({});
        return result;
    }

    const velmo::DisplaySettings& settings() const { return engine->window->settings; }

    velmo::Engine* engine = nullptr;
    MessageBoxRecorder boxes;
};

TEST_F(StartupDialog, ShowsEveryModeInTheAdapterOrderWithTheFirstSelected) {
    std::vector<std::string> lines;
    LRESULT selection = LB_ERR;
    HWND focus = nullptr, start = nullptr;
    EXPECT_FALSE(run({[&](HWND w) {
        const LRESULT count = SendDlgItemMessageA(w, listId, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char text[64] = {};
            SendDlgItemMessageA(w, listId, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            lines.emplace_back(text);
        }
        selection = SendDlgItemMessageA(w, listId, LB_GETCURSEL, 0, 0);
        focus = GetFocus();
        start = GetDlgItem(w, startId);
        port::testing::pressKey(w, VK_ESCAPE);
    }}));
    EXPECT_EQ(lines, (std::vector<std::string>{"1280x720  [16:9] 60hz", "800x600  [4:3] 75hz",
                                               "1680x1050  [8:5] 60hz", "800x600  [4:3] 75hz"}));
    EXPECT_EQ(selection, 0);
    EXPECT_NE(start, nullptr);
    EXPECT_EQ(focus, start);
}

struct ChoiceCase {
    const char* name;
    std::vector<Step> (*steps)();
    bool started;
    uint32_t width, height;
    bool fullscreen;
};
void PrintTo(const ChoiceCase& c, std::ostream* out) {
    *out << c.name;
}

class StartupChoice : public StartupDialog, public ::testing::WithParamInterface<ChoiceCase> {};

// Every way a user ends the window: "start" takes the selected mode and the check box, every
// other way leaves the settings as they were.
TEST_P(StartupChoice, EndsWithTheUsersChoice) {
    const ChoiceCase& c = GetParam();
    EXPECT_EQ(run(c.steps()), c.started);
    EXPECT_EQ(settings().width, c.width);
    EXPECT_EQ(settings().height, c.height);
    EXPECT_EQ(settings().fullscreen, c.fullscreen);
    EXPECT_EQ(settings().bitsPerPixel, 32u);
    EXPECT_TRUE(boxes.boxes().empty());
}

using Steps = std::vector<Step>;

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupChoice,
    ::testing::Values(
        ChoiceCase{"StartTakesTheFirstModeWindowed", [] { return Steps{click(startButton)}; }, true,
                   1280, 720, false},
        ChoiceCase{"TickedBoxAsksForFullScreen",
                   [] {
                       return Steps{click(checkBox), click(startButton)};
                   },
                   true, 1280, 720, true},
        ChoiceCase{"BoxTickedTwiceIsWindowed",
                   [] {
                       return Steps{click(checkBox), click(checkBox), click(startButton)};
                   },
                   true, 1280, 720, false},
        ChoiceCase{"ClickedLineIsTaken",
                   [] {
                       return Steps{click(listLine(2)), click(startButton)};
                   },
                   true, 1680, 1050, false},
        ChoiceCase{"EnterPressesStart", [] { return Steps{key(VK_RETURN)}; }, true, 1280, 720,
                   false},
        ChoiceCase{"KeyboardOnly",
                   [] {
                       // Tab to the check box, tick it, Tab to the list, two lines down, Enter.
                       return Steps{key(VK_TAB),  key(VK_TAB),  key(VK_SPACE), key(VK_TAB),
                                    key(VK_DOWN), key(VK_DOWN), key(VK_RETURN)};
                   },
                   true, 1680, 1050, true},
        ChoiceCase{"QuitClicked",
                   [] {
                       return Steps{click(checkBox), click(quitButton)};
                   },
                   false, 640, 480, false},
        ChoiceCase{"QuitByKeyboard",
                   [] {
                       return Steps{key(VK_TAB), key(VK_SPACE)};
                   },
                   false, 640, 480, false},
        ChoiceCase{"Escape",
                   [] {
                       return Steps{click(listLine(1)), key(VK_ESCAPE)};
                   },
                   false, 640, 480, false},
        ChoiceCase{"Closed", [] { return Steps{[](HWND w) { port::testing::clickClose(w); }}; },
                   false, 640, 480, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupDialog, StartWithAnEmptyListKeepsTheSizeAndTakesTheBox) {
    port::testing::setAdapterModes(std::vector<D3DDISPLAYMODE>{});
    LRESULT selection = 0;
    EXPECT_TRUE(run({click(checkBox), [&](HWND w) {
                         selection = SendDlgItemMessageA(w, listId, LB_GETCURSEL, 0, 0);
                         port::testing::click(w, startButton.x, startButton.y);
                     }}));
    EXPECT_EQ(selection, LB_ERR);
    EXPECT_EQ(settings().width, 640u);
    EXPECT_EQ(settings().height, 480u);
    EXPECT_TRUE(settings().fullscreen);
}

TEST_F(StartupDialog, StartWithNoSelectionKeepsTheSize) {
    EXPECT_TRUE(run({[](HWND w) {
        SendDlgItemMessageA(w, listId, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        port::testing::click(w, startButton.x, startButton.y);
    }}));
    EXPECT_EQ(settings().width, 640u);
    EXPECT_EQ(settings().height, 480u);
}

// The check box and its label share an id; the look-up must find the box, which is created
// first, and its state is what "start" reads.
TEST_F(StartupDialog, TheSharedIdFindsTheCheckBox) {
    HWND found = nullptr;
    EXPECT_TRUE(run({[&](HWND w) {
        found = GetDlgItem(w, fullscreenId);
        SendMessageA(found, BM_SETCHECK, BST_CHECKED, 0);
        EXPECT_EQ(SendMessageA(found, BM_GETCHECK, 0, 0), BST_CHECKED);
        velmo::readStartupChoice(w);
        EXPECT_TRUE(settings().fullscreen);
        SendMessageA(found, BM_SETCHECK, BST_UNCHECKED, 0);
        velmo::readStartupChoice(w);
        EXPECT_FALSE(settings().fullscreen);
        SendMessageA(found, BM_SETCHECK, BST_CHECKED, 0);
        port::testing::pressKey(w, VK_RETURN);
    }}));
    EXPECT_TRUE(settings().fullscreen);
}

// The window's end posts a quit message; the dialog's loop takes it, so nothing waits in the
// queue to end a later loop, and reading the gone window does not block.
TEST_F(StartupDialog, LeavesNoQuitMessageBehind) {
    HWND dialog = nullptr;
    EXPECT_FALSE(run({[&](HWND w) {
        dialog = w;
        port::testing::click(w, quitButton.x, quitButton.y);
    }}));
    EXPECT_FALSE(IsWindow(dialog));
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        EXPECT_NE(msg.message, UINT(WM_QUIT));
    }
    EXPECT_EQ(GetMessageA(&msg, dialog, 0, 0xFFFF), -1);
    MessageBoxA(nullptr, "later", "box", MB_OK);
    ASSERT_EQ(boxes.boxes().size(), 1u);
}

// A second run (its class already registered) works as the first.
TEST_F(StartupDialog, RunsAgainAfterQuit) {
    EXPECT_FALSE(run({key(VK_ESCAPE)}));
    EXPECT_TRUE(run({click(listLine(3)), key(VK_RETURN)}));
    EXPECT_EQ(settings().width, 800u);
    EXPECT_EQ(settings().height, 600u);
}

} // namespace
