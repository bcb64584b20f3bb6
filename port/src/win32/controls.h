// The built-in controls: push buttons, the default push button, auto check boxes, static text
// and list boxes. They are child windows whose state lives here; the port routes mouse input
// to them, moves the keyboard focus between them and draws them into their top-level window.
#pragma once

#include <string>
#include <vector>

#include "win32/window_table.h"

namespace port::win32 {

enum class ControlKind { PushButton, DefaultPushButton, CheckBox, Static, ListBox };

struct ControlState {
    ControlKind kind = ControlKind::Static;
    bool checked = false;           // check box
    bool pressed = false;           // button held down by the mouse
    std::vector<std::string> items; // list box lines, in the order they were added
    int selection = -1;             // list box: the selected line, -1 for none
    int topLine = 0;                // list box: the first visible line
    int thumbGrab = -1;             // list box: where the thumb was grabbed, -1 when not dragged
    bool redraw = true;             // WM_SETREDRAW
};

// Geometry of a list box in its own coordinates: the lines and, when the lines do not all fit,
// the vertical scroll bar with its two arrow buttons and the thumb.
struct ListLayout {
    static constexpr int lineHeight = 16;
    static constexpr int barWidth = 16;
    SDL_Rect lines = {};
    int visibleLines = 0;
    int maxTopLine = 0;
    bool scrollBar = false;
    SDL_Rect upArrow = {}, downArrow = {}, track = {}, thumb = {};
};
ListLayout listLayout(const WindowRecord& list);

// The window procedure of a built-in control class ("BUTTON", "STATIC", "LISTBOX", in any
// case), or null for any other class name.
WNDPROC builtInControlProc(const std::string& className);

// Queues a mouse message of a top-level window, at client coordinates, for the control under
// the point (or the control holding the mouse since a button went down), in its coordinates.
// Static text is transparent to the mouse, as it is on Windows.
void postMouse(WindowRecord& topLevel, UINT message, WPARAM wParam, int x, int y);

// The keyboard navigation of IsDialogMessageA: Tab moves the focus, Enter presses the focused
// push button (or the default one), Space presses the focused button, the arrow keys move the
// list box selection. True when the key was used.
bool dialogKey(HWND dialog, WPARAM virtualKey);

// Draws a top-level window's background and controls into its renderer (made on first use);
// false when the window cannot be drawn.
bool drawWindow(WindowRecord& topLevel);
// Draws a top-level window as drawWindow does and shows the result.
void paintWindow(WindowRecord& topLevel);

// A window's top-level ancestor (itself for a top-level window).
WindowRecord* topLevelOf(HWND window);

} // namespace port::win32
