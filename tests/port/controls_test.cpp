#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <port_testing.h>

namespace {

// What the parent window's procedure was sent.
struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received> received;

LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message == WM_KEYDOWN || message == WM_DESTROY) {
        received.push_back({message, wParam, lParam});
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

constexpr int startId = 1001, quitId = 1002, listId = 1003, boxId = 1004;
constexpr DWORD child = WS_CHILD | WS_VISIBLE;

// A window with the controls of a small dialog, laid out as the program's start-up window.
class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        received.clear();
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &parentProc;
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = "controls";
        RegisterClassExA(&wc);
        dialog = CreateWindowExA(0, "controls", "controls", WS_VISIBLE | WS_CAPTION, 100, 100, 200,
                                 380, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(dialog, nullptr);
        start = make("BUTTON", "start", BS_DEFPUSHBUTTON, 0, 0, 50, 20, startId);
        quit = make("BUTTON", "quit", BS_PUSHBUTTON, 0, 20, 50, 20, quitId);
        box = make("BUTTON", "box", BS_AUTOCHECKBOX, 52, 22, 10, 10, boxId);
        label = make("STATIC", "label", 0, 62, 18, 130, 20, boxId);
        list = make("LISTBOX", "list", WS_VSCROLL, 0, 40, 194, 200, listId);
        SetFocus(start);
        pump();
        received.clear();
    }

    void TearDown() override { DestroyWindow(dialog); }

    HWND make(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
        return CreateWindowExA(0, cls, text, child | style, x, y, w, h, dialog,
                               reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr,
                               nullptr);
    }

    // Reads the queue as a dialog's loop does.
    void pump() {
        MSG msg;
        while (PeekMessageA(&msg, dialog, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageA(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }

    void click(int x, int y) {
        port::testing::click(dialog, x, y);
        pump();
    }
    void key(WPARAM vk) {
        port::testing::pressKey(dialog, vk);
        pump();
    }
    void addLines(int count) {
        for (int i = 0; i < count; ++i) {
            const std::string line = "line " + std::to_string(i);
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        }
    }
    LRESULT listSays(UINT message, WPARAM wParam = 0) {
        return SendMessageA(list, message, wParam, 0);
    }
    // The ids of the buttons whose clicks the parent heard of, in order.
    static std::vector<int> clicked() {
        std::vector<int> ids;
        for (const Received& r : received) {
            if (r.message == WM_COMMAND && HIWORD(r.wParam) == BN_CLICKED) {
                ids.push_back(LOWORD(r.wParam));
            }
        }
        return ids;
    }

    HWND dialog = nullptr, start = nullptr, quit = nullptr, box = nullptr, label = nullptr,
         list = nullptr;
};

struct ClickCase {
    const char* name;
    int x, y;
    std::vector<int> clicked;
    LRESULT checked;
};
void PrintTo(const ClickCase& c, std::ostream* out) {
    *out << c.name;
}

class ControlClick : public Controls, public ::testing::WithParamInterface<ClickCase> {};

// A click tells the parent which button it hit; the label and the bare face are not buttons.
TEST_P(ControlClick, NotifiesTheParentOfTheButtonHit) {
    const ClickCase& c = GetParam();
    click(c.x, c.y);
    EXPECT_EQ(clicked(), c.clicked);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), c.checked);
    for (const Received& r : received) {
        if (r.message == WM_COMMAND) {
            EXPECT_EQ(reinterpret_cast<HWND>(r.lParam), GetDlgItem(dialog, LOWORD(r.wParam)));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ControlClick,
                         ::testing::Values(ClickCase{"Start", 25, 10, {startId}, BST_UNCHECKED},
                                           ClickCase{"QuitCorner", 49, 39, {quitId}, BST_UNCHECKED},
                                           ClickCase{"CheckBox", 57, 27, {boxId}, BST_CHECKED},
                                           ClickCase{"Label", 100, 25, {}, BST_UNCHECKED},
                                           ClickCase{"Face", 150, 300, {}, BST_UNCHECKED},
                                           ClickCase{"List", 50, 60, {}, BST_UNCHECKED}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Controls, CheckBoxTogglesOnEveryClickAndFollowsSetCheck) {
    click(57, 27);
    click(57, 27);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageA(box, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(clicked(), (std::vector<int>{boxId, boxId})); // BM_SETCHECK notifies nobody
}

// Tab visits the buttons, the check box and the list (not the label), then starts again.
TEST_F(Controls, TabMovesTheFocusThroughTheControls) {
    std::vector<HWND> visited;
    for (int i = 0; i < 5; ++i) {
        key(VK_TAB);
        visited.push_back(GetFocus());
    }
    EXPECT_EQ(visited, (std::vector<HWND>{quit, box, list, start, quit}));
    EXPECT_TRUE(clicked().empty());
}

struct KeyCase {
    const char* name;
    int tabs; // from the start button
    WPARAM key;
    std::vector<int> clicked;
};
void PrintTo(const KeyCase& c, std::ostream* out) {
    *out << c.name;
}

class ControlKey : public Controls, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ControlKey, PressesTheRightButton) {
    const KeyCase& c = GetParam();
    for (int i = 0; i < c.tabs; ++i) {
        key(VK_TAB);
    }
    key(c.key);
    EXPECT_EQ(clicked(), c.clicked);
}

// Enter presses the focused push button, else the default one; Space the focused button.
INSTANTIATE_TEST_SUITE_P(Cases, ControlKey,
                         ::testing::Values(KeyCase{"EnterOnStart", 0, VK_RETURN, {startId}},
                                           KeyCase{"EnterOnQuit", 1, VK_RETURN, {quitId}},
                                           KeyCase{"EnterOnCheckBox", 2, VK_RETURN, {startId}},
                                           KeyCase{"EnterOnList", 3, VK_RETURN, {startId}},
                                           KeyCase{"SpaceOnStart", 0, VK_SPACE, {startId}},
                                           KeyCase{"SpaceOnQuit", 1, VK_SPACE, {quitId}},
                                           KeyCase{"SpaceOnCheckBox", 2, VK_SPACE, {boxId}},
                                           KeyCase{"SpaceOnList", 3, VK_SPACE, {}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Escape is not a dialog key: it reaches the window procedure.
TEST_F(Controls, EscapeReachesTheWindowProcedure) {
    key(VK_ESCAPE);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, UINT(WM_KEYDOWN));
    EXPECT_EQ(received[0].wParam, WPARAM(VK_ESCAPE));
}

TEST_F(Controls, ListKeepsItsLinesAndSelection) {
    EXPECT_EQ(listSays(LB_GETCURSEL), LB_ERR);
    EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("b")), 0);
    EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a")), 1); // unsorted
    char text[8] = {};
    EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(text)), 1);
    EXPECT_STREQ(text, "a");
    EXPECT_EQ(listSays(LB_SETCURSEL, 1), 1);
    EXPECT_EQ(listSays(LB_SETCURSEL, 2), LB_ERR); // past the end: the selection stays
    EXPECT_EQ(listSays(LB_GETCURSEL), 1);
    EXPECT_EQ(listSays(LB_SETCURSEL, static_cast<WPARAM>(-1)), LB_ERR);
    EXPECT_EQ(listSays(LB_GETCURSEL), LB_ERR);
}

TEST_F(Controls, ClickSelectsTheLineUnderThePointer) {
    addLines(3);
    click(50, 40 + 2 * 16 + 3);
    EXPECT_EQ(listSays(LB_GETCURSEL), 2);
    EXPECT_EQ(GetFocus(), list);
    click(50, 40 + 5 * 16 + 3); // below the last line
    EXPECT_EQ(listSays(LB_GETCURSEL), 2);
}

// 30 lines, 12 visible: the wheel, the scroll bar's arrows, track and thumb scroll the list,
// and the arrow keys move the selection and keep it in view.
TEST_F(Controls, LongListScrolls) {
    addLines(30);
    pump();
    port::testing::turnWheel(dialog, 50, 100, -1); // one notch towards the user
    pump();
    EXPECT_EQ(listSays(LB_GETTOPINDEX), 3);
    port::testing::turnWheel(dialog, 50, 100, 5);
    pump();
    EXPECT_EQ(listSays(LB_GETTOPINDEX), 0);

    click(186, 40 + 200 - 8); // the down arrow
    EXPECT_EQ(listSays(LB_GETTOPINDEX), 1);
    click(186, 40 + 16 + 4); // the track above the thumb: a page up
    EXPECT_EQ(listSays(LB_GETTOPINDEX), 0);
    click(186, 40 + 200 - 24); // the track below the thumb: a page down
    EXPECT_EQ(listSays(LB_GETTOPINDEX), 12);

    // Dragging the thumb to the bottom shows the last lines.
    PostMessageA(list, WM_LBUTTONDOWN, 0, MAKEWPARAM(186, 100));
    PostMessageA(list, WM_MOUSEMOVE, 0, MAKEWPARAM(186, 400));
    PostMessageA(list, WM_LBUTTONUP, 0, MAKEWPARAM(186, 400));
    pump();
    EXPECT_EQ(listSays(LB_GETTOPINDEX), 18);

    listSays(LB_SETCURSEL, 0);
    EXPECT_EQ(listSays(LB_GETTOPINDEX), 0);
    SetFocus(list);
    for (int i = 0; i < 12; ++i) {
        key(VK_DOWN);
    }
    EXPECT_EQ(listSays(LB_GETCURSEL), 12);
    EXPECT_EQ(listSays(LB_GETTOPINDEX), 1);
    key(VK_UP);
    EXPECT_EQ(listSays(LB_GETCURSEL), 11);
    for (int i = 0; i < 40; ++i) {
        key(VK_DOWN);
    }
    EXPECT_EQ(listSays(LB_GETCURSEL), 29);
    EXPECT_EQ(listSays(LB_GETTOPINDEX), 18);
}

// The window is painted once when something changed, not for each change, and not at all for
// a list whose redrawing is switched off.
TEST_F(Controls, ChangesMakeOnePaintDue) {
    auto paints = [this] {
        int count = 0;
        MSG msg;
        while (PeekMessageA(&msg, dialog, 0, 0, PM_REMOVE)) {
            count += msg.message == WM_PAINT && msg.hwnd == dialog;
            DispatchMessageA(&msg);
        }
        return count;
    };
    EXPECT_EQ(paints(), 0);
    addLines(3);
    listSays(LB_SETCURSEL, 1);
    EXPECT_EQ(paints(), 1);
    listSays(WM_SETREDRAW, FALSE);
    addLines(2);
    EXPECT_EQ(paints(), 0);
    listSays(WM_SETREDRAW, TRUE);
    EXPECT_EQ(paints(), 1);
    SendMessageA(box, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(paints(), 1);
    key(VK_TAB);
    EXPECT_EQ(paints(), 0); // the key's pump already painted the moved focus mark
}

// What the user sees: the face colour, dark text on the buttons, the selected line
// highlighted and following the arrow keys, the tick in a checked box.
TEST_F(Controls, DrawsWhatChanged) {
    addLines(3);
    listSays(LB_SETCURSEL, 0);
    int w = 0, h = 0;
    auto pixels = [&] { return port::testing::windowPixels(dialog, w, h); };
    auto at = [&](const std::vector<uint32_t>& p, int x, int y) { return p[y * w + x] & 0xffffff; };
    auto darkIn = [&](const std::vector<uint32_t>& p, int x0, int y0, int x1, int y1) {
        int dark = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                const uint32_t c = at(p, x, y);
                dark += ((c >> 16) & 0xff) + ((c >> 8) & 0xff) + (c & 0xff) < 3 * 90;
            }
        }
        return dark;
    };

    std::vector<uint32_t> before = pixels();
    ASSERT_EQ(w, 200);
    ASSERT_EQ(h, 380);
    const uint32_t face = at(before, 150, 300);
    EXPECT_EQ(face, at(before, 190, 5));
    EXPECT_GT(darkIn(before, 8, 4, 42, 16), 10);    // "start"
    EXPECT_GT(darkIn(before, 8, 24, 42, 36), 10);   // "quit"
    EXPECT_GT(darkIn(before, 64, 18, 192, 34), 20); // the label
    const uint32_t selected = at(before, 150, 40 + 2);
    const uint32_t plain = at(before, 150, 40 + 16 + 2);
    EXPECT_NE(selected, plain);
    EXPECT_EQ(darkIn(before, 54, 24, 60, 30), 0); // an empty box

    SetFocus(list);
    key(VK_DOWN);
    SendMessageA(box, BM_SETCHECK, BST_CHECKED, 0);
    const std::vector<uint32_t> after = pixels();
    EXPECT_EQ(at(after, 150, 40 + 2), plain);
    EXPECT_EQ(at(after, 150, 40 + 16 + 2), selected);
    EXPECT_GT(darkIn(after, 54, 24, 60, 30), 4); // the tick
}

TEST_F(Controls, DestroyingTheParentEndsItsChildrenAndItsReaders) {
    EXPECT_EQ(GetDlgItem(dialog, boxId), box); // the first of the two with that id
    EXPECT_EQ(SendDlgItemMessageA(dialog, boxId, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    DestroyWindow(dialog);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, UINT(WM_DESTROY));
    for (HWND w : {dialog, start, quit, box, label, list}) {
        EXPECT_FALSE(IsWindow(w));
    }
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, dialog, 0, 0xFFFF), -1);
    PostQuitMessage(3);
    EXPECT_EQ(GetMessageA(&msg, dialog, 0, 0xFFFF), 0);
    EXPECT_EQ(msg.wParam, 3u);
}

} // namespace
