// The built-in controls' window procedures, the routing of mouse input to them and the
// keyboard navigation between them. Their drawing is in control_painting.cpp.
#include "win32/controls.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <strings.h>

#include "trace.h"

namespace port::win32 {

namespace {

// The control that holds the mouse from a button press until its release.
HWND& mouseCapture() {
    static HWND captured = nullptr;
    return captured;
}

ControlState* controlOf(HWND window) {
    WindowRecord* record = findWindow(window);
    return record != nullptr ? record->control.get() : nullptr;
}

bool isButton(const ControlState& c) {
    return c.kind == ControlKind::PushButton || c.kind == ControlKind::DefaultPushButton ||
           c.kind == ControlKind::CheckBox;
}

bool isPushButton(const ControlState& c) {
    return c.kind == ControlKind::PushButton || c.kind == ControlKind::DefaultPushButton;
}

void invalidate(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
}

bool contains(const SDL_Rect& r, int x, int y) {
    return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
}

int pointX(LPARAM lParam) {
    return static_cast<short>(LOWORD(lParam));
}
int pointY(LPARAM lParam) {
    return static_cast<short>(HIWORD(lParam));
}

// A click on a button: an auto check box toggles, then the parent hears of it. The parent may
// destroy the button (and itself) while handling the notification.
void clickButton(HWND button) {
    WindowRecord* record = findWindow(button);
    if (record == nullptr || record->control == nullptr) {
        return;
    }
    if (record->control->kind == ControlKind::CheckBox) {
        record->control->checked = !record->control->checked;
        invalidate(button);
    }
    SendMessageA(record->parent, WM_COMMAND, MAKEWPARAM(record->id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void scrollList(HWND list, int topLine) {
    WindowRecord* record = findWindow(list);
    ControlState& c = *record->control;
    const int top = std::clamp(topLine, 0, listLayout(*record).maxTopLine);
    if (top != c.topLine) {
        c.topLine = top;
        invalidate(list);
    }
}

void selectLine(HWND list, int line) {
    WindowRecord* record = findWindow(list);
    ControlState& c = *record->control;
    c.selection = line;
    const int visible = listLayout(*record).visibleLines;
    if (line >= 0 && line < c.topLine) {
        c.topLine = line;
    } else if (line >= c.topLine + visible) {
        c.topLine = line - visible + 1;
    }
    invalidate(list);
}

LRESULT buttonMessage(HWND window, ControlState& c, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case BM_GETCHECK:
        return c.checked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
        c.checked = wParam == BST_CHECKED;
        invalidate(window);
        return 0;
    case WM_LBUTTONDOWN:
        SetFocus(window);
        c.pressed = true;
        invalidate(window);
        return 0;
    case WM_MOUSEMOVE: {
        if (mouseCapture() != window) {
            return 0;
        }
        const RECT& r = findWindow(window)->rect;
        const SDL_Rect own = {0, 0, r.right - r.left, r.bottom - r.top};
        const bool inside = contains(own, pointX(lParam), pointY(lParam));
        if (inside != c.pressed) {
            c.pressed = inside;
            invalidate(window);
        }
        return 0;
    }
    case WM_LBUTTONUP:
        if (c.pressed) {
            c.pressed = false;
            invalidate(window);
            clickButton(window);
        }
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT listMessage(HWND window, ControlState& c, UINT message, WPARAM wParam, LPARAM lParam) {
    const int count = static_cast<int>(c.items.size());
    switch (message) {
    case LB_ADDSTRING: {
        if (lParam == 0) {
            return LB_ERR;
        }
        c.items.emplace_back(reinterpret_cast<const char*>(lParam));
        trace("listbox line %s", c.items.back().c_str());
        invalidate(window);
        return count;
    }
    case LB_SETCURSEL: {
        const int line = static_cast<int>(static_cast<intptr_t>(wParam));
        if (line == -1) {
            c.selection = -1;
            invalidate(window);
            return LB_ERR;
        }
        if (line < 0 || line >= count) {
            return LB_ERR;
        }
        selectLine(window, line);
        return line;
    }
    case LB_GETCURSEL:
        return c.selection >= 0 ? c.selection : LB_ERR;
    case LB_GETCOUNT:
        return count;
    case LB_GETTOPINDEX:
        return c.topLine;
    case LB_GETTEXTLEN:
    case LB_GETTEXT: {
        if (wParam >= c.items.size()) {
            return LB_ERR;
        }
        const std::string& text = c.items[wParam];
        if (message == LB_GETTEXT && lParam != 0) {
            std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
        }
        return static_cast<LRESULT>(text.size());
    }
    case WM_SETREDRAW:
        c.redraw = wParam != 0;
        invalidate(window);
        return 0;
    case WM_LBUTTONDOWN: {
        SetFocus(window);
        const ListLayout layout = listLayout(*findWindow(window));
        const int x = pointX(lParam), y = pointY(lParam);
        if (layout.scrollBar && contains(layout.upArrow, x, y)) {
            scrollList(window, c.topLine - 1);
        } else if (layout.scrollBar && contains(layout.downArrow, x, y)) {
            scrollList(window, c.topLine + 1);
        } else if (layout.scrollBar && contains(layout.thumb, x, y)) {
            c.thumbGrab = y - layout.thumb.y;
        } else if (layout.scrollBar && contains(layout.track, x, y)) {
            const int page = layout.visibleLines;
            scrollList(window, y < layout.thumb.y ? c.topLine - page : c.topLine + page);
        } else if (contains(layout.lines, x, y)) {
            const int line = c.topLine + (y - layout.lines.y) / ListLayout::lineHeight;
            if (line < count) {
                selectLine(window, line);
            }
        }
        return 0;
    }
    case WM_MOUSEMOVE: {
        if (c.thumbGrab < 0) {
            return 0;
        }
        const ListLayout layout = listLayout(*findWindow(window));
        const int range = layout.track.h - layout.thumb.h;
        if (range > 0) {
            const int offset = pointY(lParam) - c.thumbGrab - layout.track.y;
            scrollList(window, (offset * layout.maxTopLine + range / 2) / range);
        }
        return 0;
    }
    case WM_LBUTTONUP:
        c.thumbGrab = -1;
        return 0;
    case WM_MOUSEWHEEL: {
        // Three lines per notch, as the desktop's default.
        const int notches = static_cast<short>(HIWORD(wParam)) / 120;
        scrollList(window, c.topLine - 3 * notches);
        return 0;
    }
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK controlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr) {
        return 0;
    }
    if (message == WM_CREATE) {
        auto state = std::make_shared<ControlState>();
        if (strcasecmp(record->className.c_str(), "LISTBOX") == 0) {
            state->kind = ControlKind::ListBox;
        } else if (strcasecmp(record->className.c_str(), "STATIC") == 0) {
            state->kind = ControlKind::Static;
        } else {
            switch (record->style & 0xf) {
            case BS_DEFPUSHBUTTON:
                state->kind = ControlKind::DefaultPushButton;
                break;
            case BS_AUTOCHECKBOX:
                state->kind = ControlKind::CheckBox;
                break;
            default:
                state->kind = ControlKind::PushButton;
                break;
            }
        }
        record->control = std::move(state);
        invalidate(window);
        return 0;
    }
    if (record->control == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    // Hold the state: the procedure may destroy its own window.
    const std::shared_ptr<ControlState> state = record->control;
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
        invalidate(window);
        return 0;
    }
    if (isButton(*state)) {
        return buttonMessage(window, *state, message, wParam, lParam);
    }
    if (state->kind == ControlKind::ListBox) {
        return listMessage(window, *state, message, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The next control after the focused one (in creation order) that takes the focus.
HWND nextFocus(const WindowRecord& dialog, HWND focus) {
    std::vector<HWND> focusable;
    for (HWND child : dialog.children) {
        const WindowRecord* c = findWindow(child);
        if (c != nullptr && c->control && c->control->kind != ControlKind::Static &&
            (c->style & WS_VISIBLE) != 0) {
            focusable.push_back(child);
        }
    }
    if (focusable.empty()) {
        return nullptr;
    }
    auto it = std::find(focusable.begin(), focusable.end(), focus);
    if (it == focusable.end() || ++it == focusable.end()) {
        return focusable.front();
    }
    return *it;
}

HWND defaultButton(const WindowRecord& dialog) {
    for (HWND child : dialog.children) {
        const ControlState* c = controlOf(child);
        if (c != nullptr && c->kind == ControlKind::DefaultPushButton) {
            return child;
        }
    }
    return nullptr;
}

} // namespace

ListLayout listLayout(const WindowRecord& list) {
    ListLayout l;
    const int w = list.rect.right - list.rect.left;
    const int h = list.rect.bottom - list.rect.top;
    const int count = list.control ? static_cast<int>(list.control->items.size()) : 0;
    l.lines = {0, 0, w, h};
    l.visibleLines = std::max(1, h / ListLayout::lineHeight);
    l.maxTopLine = std::max(0, count - l.visibleLines);
    l.scrollBar = (list.style & WS_VSCROLL) != 0 && l.maxTopLine > 0 &&
                  h >= 3 * ListLayout::barWidth && w > ListLayout::barWidth;
    if (l.scrollBar) {
        const int bar = ListLayout::barWidth;
        l.lines.w = w - bar;
        l.upArrow = {w - bar, 0, bar, bar};
        l.downArrow = {w - bar, h - bar, bar, bar};
        l.track = {w - bar, bar, bar, h - 2 * bar};
        const int thumbHeight = std::max(10, l.track.h * l.visibleLines / count);
        const int topLine = std::clamp(list.control->topLine, 0, l.maxTopLine);
        const int thumbTop = l.track.y + (l.track.h - thumbHeight) * topLine / l.maxTopLine;
        l.thumb = {w - bar, thumbTop, bar, thumbHeight};
    }
    return l;
}

WNDPROC builtInControlProc(const std::string& className) {
    for (const char* name : {"BUTTON", "STATIC", "LISTBOX"}) {
        if (strcasecmp(className.c_str(), name) == 0) {
            return &controlProc;
        }
    }
    return nullptr;
}

WindowRecord* topLevelOf(HWND window) {
    WindowRecord* record = findWindow(window);
    while (record != nullptr && record->parent != nullptr) {
        record = findWindow(record->parent);
    }
    return record;
}

void postMouse(WindowRecord& topLevel, UINT message, WPARAM wParam, int x, int y) {
    HWND target = topLevel.handle;
    HWND& captured = mouseCapture();
    const WindowRecord* capturedRecord = findWindow(captured);
    if (capturedRecord != nullptr && capturedRecord->parent == topLevel.handle) {
        target = captured;
    } else {
        for (HWND child : topLevel.children) {
            const WindowRecord* c = findWindow(child);
            if (c == nullptr || (c->style & WS_VISIBLE) == 0 || c->control == nullptr ||
                c->control->kind == ControlKind::Static) {
                continue;
            }
            if (x >= c->rect.left && x < c->rect.right && y >= c->rect.top && y < c->rect.bottom) {
                target = child;
                break;
            }
        }
    }
    if (message == WM_LBUTTONDOWN) {
        captured = target != topLevel.handle ? target : nullptr;
    } else if (message == WM_LBUTTONUP) {
        captured = nullptr;
    }
    const WindowRecord* t = findWindow(target);
    const int cx = x - (t->parent != nullptr ? t->rect.left : 0);
    const int cy = y - (t->parent != nullptr ? t->rect.top : 0);
    post(target, message, wParam,
         static_cast<LPARAM>((static_cast<DWORD>(cy & 0xffff) << 16) | (cx & 0xffff)));
}

bool dialogKey(HWND dialog, WPARAM virtualKey) {
    WindowRecord* record = findWindow(dialog);
    if (record == nullptr) {
        return false;
    }
    HWND focus = GetFocus();
    const WindowRecord* focused = findWindow(focus);
    if (focused == nullptr || focused->parent != dialog || focused->control == nullptr) {
        focus = nullptr;
    }
    const ControlState* c = focus != nullptr ? controlOf(focus) : nullptr;
    switch (virtualKey) {
    case VK_TAB:
        if (HWND next = nextFocus(*record, focus)) {
            SetFocus(next);
        }
        return true;
    case VK_RETURN: {
        HWND target = c != nullptr && isPushButton(*c) ? focus : defaultButton(*record);
        clickButton(target);
        return true;
    }
    case VK_SPACE:
        if (c != nullptr && isButton(*c)) {
            clickButton(focus);
            return true;
        }
        return false;
    case VK_UP:
    case VK_LEFT:
    case VK_DOWN:
    case VK_RIGHT:
        if (c != nullptr && c->kind == ControlKind::ListBox && !c->items.empty()) {
            const int step = virtualKey == VK_UP || virtualKey == VK_LEFT ? -1 : 1;
            const int last = static_cast<int>(c->items.size()) - 1;
            const int line = c->selection < 0 ? 0 : std::clamp(c->selection + step, 0, last);
            selectLine(focus, line);
            return true;
        }
        return false;
    default:
        return false;
    }
}

} // namespace port::win32
