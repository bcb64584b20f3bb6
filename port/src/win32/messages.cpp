// The thread's message queue. SDL's events become window messages when the queue is read:
// keys become WM_KEYDOWN with virtual-key codes, the window's close button and a quit request
// become WM_CLOSE, mouse buttons, movement and the wheel the mouse messages of the control
// under the pointer. As on Windows, WM_PAINT is not queued: a window that was exposed or
// invalidated gets one when no other message is waiting for it.
#include <deque>

#include <port_testing.h>

#include "win32/controls.h"
#include "win32/window_table.h"

namespace port::win32 {

namespace {

std::deque<MSG>& queue() {
    static std::deque<MSG> q;
    return q;
}

port::testing::WaitHandler& waitHandler() {
    static port::testing::WaitHandler handler;
    return handler;
}

WPARAM virtualKey(SDL_Keycode key) {
    switch (key) {
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    default:
        if (key >= 'a' && key <= 'z') {
            return static_cast<WPARAM>(key - 'a' + 'A');
        }
        if (key >= '0' && key <= '9') {
            return static_cast<WPARAM>(key);
        }
        return 0;
    }
}

SDL_Keycode sdlKey(WPARAM vk) {
    for (SDL_Keycode key : {SDLK_ESCAPE, SDLK_RETURN, SDLK_SPACE, SDLK_TAB, SDLK_BACKSPACE,
                            SDLK_LEFT, SDLK_RIGHT, SDLK_UP, SDLK_DOWN}) {
        if (virtualKey(key) == vk) {
            return key;
        }
    }
    return vk >= 'A' && vk <= 'Z' ? static_cast<SDL_Keycode>(vk - 'A' + 'a')
                                  : static_cast<SDL_Keycode>(vk);
}

// Asks every top-level window to close.
void closeAll() {
    for (Uint32 id = 1; id < 256; ++id) {
        if (WindowRecord* w = findBySdlId(id)) {
            post(w->handle, WM_CLOSE, 0, 0);
        }
    }
}

void translate(const SDL_Event& e) {
    switch (e.type) {
    case SDL_KEYDOWN:
        if (WindowRecord* w = findBySdlId(e.key.windowID)) {
            if (WPARAM vk = virtualKey(e.key.keysym.sym)) {
                post(w->handle, WM_KEYDOWN, vk, 0);
            }
        }
        break;
    case SDL_KEYUP:
        if (WindowRecord* w = findBySdlId(e.key.windowID)) {
            if (WPARAM vk = virtualKey(e.key.keysym.sym)) {
                post(w->handle, WM_KEYUP, vk, 0);
            }
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (WindowRecord* w = findBySdlId(e.button.windowID);
            w && e.button.button == SDL_BUTTON_LEFT) {
            postMouse(*w, e.type == SDL_MOUSEBUTTONDOWN ? WM_LBUTTONDOWN : WM_LBUTTONUP, 0,
                      e.button.x, e.button.y);
        }
        break;
    case SDL_MOUSEMOTION:
        if (WindowRecord* w = findBySdlId(e.motion.windowID)) {
            postMouse(*w, WM_MOUSEMOVE, 0, e.motion.x, e.motion.y);
        }
        break;
    case SDL_MOUSEWHEEL:
        if (WindowRecord* w = findBySdlId(e.wheel.windowID)) {
            const int y = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
            postMouse(*w, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(y * 120)), e.wheel.mouseX,
                      e.wheel.mouseY);
        }
        break;
    case SDL_WINDOWEVENT:
        if (WindowRecord* w = findBySdlId(e.window.windowID)) {
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                post(w->handle, WM_CLOSE, 0, 0);
            } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
                w->paintPending = true;
            }
        }
        break;
    case SDL_QUIT:
        // A quit request (the last window closed, or a signal) asks every top-level window
        // to close; a window that is already gone ignores it.
        closeAll();
        break;
    default:
        break;
    }
}

void pumpEvents() {
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0) {
        return;
    }
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        translate(e);
    }
    // A window destroyed from outside ends the run as a closed one does.
    if (takeWindowGone()) {
        closeAll();
    }
}

// Whether a queued message belongs to the window asked for (itself or one of its children).
bool belongsTo(const MSG& msg, HWND window) {
    if (window == nullptr || msg.hwnd == window) {
        return true;
    }
    WindowRecord* record = findWindow(msg.hwnd);
    return record != nullptr && record->parent == window;
}

bool take(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, bool remove) {
    auto& q = queue();
    for (auto it = q.begin(); it != q.end(); ++it) {
        const bool inRange = (filterMin == 0 && filterMax == 0) ||
                             (it->message >= filterMin && it->message <= filterMax) ||
                             it->message == WM_QUIT;
        if (inRange && (it->message == WM_QUIT || belongsTo(*it, window))) {
            *msg = *it;
            if (remove) {
                q.erase(it);
            }
            return true;
        }
    }
    const bool paintInRange =
        (filterMin == 0 && filterMax == 0) || (WM_PAINT >= filterMin && WM_PAINT <= filterMax);
    if (paintInRange && remove) {
        if (WindowRecord* painted = takePaint(window)) {
            *msg = {};
            msg->hwnd = painted->handle;
            msg->message = WM_PAINT;
            msg->time = timeGetTime();
            return true;
        }
    }
    return false;
}

} // namespace

void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg = {};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = timeGetTime();
    queue().push_back(msg);
}

void discardMessages(HWND window) {
    std::erase_if(queue(), [window](const MSG& msg) { return msg.hwnd == window; });
}

} // namespace port::win32

using namespace port::win32;

void port::testing::pressKey(HWND window, WPARAM virtualKey) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr || !record->sdl) {
        return;
    }
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.windowID = SDL_GetWindowID(record->sdl.get());
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = sdlKey(virtualKey);
    SDL_PushEvent(&e);
}

void port::testing::clickClose(HWND window) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr || !record->sdl) {
        return;
    }
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(record->sdl.get());
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&e);
}

void port::testing::setWaitHandler(WaitHandler handler) {
    waitHandler() = std::move(handler);
}

void port::testing::click(HWND window, int x, int y) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr || !record->sdl) {
        return;
    }
    for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
        SDL_Event e = {};
        e.type = type;
        e.button.windowID = SDL_GetWindowID(record->sdl.get());
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
        e.button.x = x;
        e.button.y = y;
        SDL_PushEvent(&e);
    }
}

void port::testing::turnWheel(HWND window, int x, int y, int notches) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr || !record->sdl) {
        return;
    }
    SDL_Event e = {};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = SDL_GetWindowID(record->sdl.get());
    e.wheel.y = notches;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    e.wheel.mouseX = x;
    e.wheel.mouseY = y;
    SDL_PushEvent(&e);
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlag) {
    if (msg == nullptr) {
        return FALSE;
    }
    pumpEvents();
    return take(msg, window, filterMin, filterMax, (removeFlag & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (msg == nullptr) {
        return -1;
    }
    for (;;) {
        pumpEvents();
        if (take(msg, window, filterMin, filterMax, true)) {
            return msg->message == WM_QUIT ? 0 : 1;
        }
        // Waiting on a window that is gone would never end.
        if (window != nullptr && findWindow(window) == nullptr) {
            return -1;
        }
        if (SDL_WasInit(SDL_INIT_EVENTS) == 0) {
            return -1;
        }
        if (waitHandler()) {
            waitHandler()(window);
        }
        SDL_WaitEventTimeout(nullptr, 10);
    }
}

BOOL TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) {
        return 0;
    }
    WindowRecord* record = findWindow(msg->hwnd);
    if (record == nullptr || record->proc == nullptr) {
        return 0;
    }
    const LRESULT result = record->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    // The port draws the built-in controls of a window once its own procedure has painted.
    if (msg->message == WM_PAINT) {
        if (WindowRecord* painted = findWindow(msg->hwnd); painted && !painted->children.empty()) {
            paintWindow(*painted);
        }
    }
    return result;
}

// Keyboard navigation between the dialog's controls. Escape is left to the caller, so it
// reaches the window procedure as WM_KEYDOWN; all other input is dispatched by the caller.
BOOL IsDialogMessageA(HWND dialog, LPMSG msg) {
    if (msg == nullptr || msg->message != WM_KEYDOWN || findWindow(dialog) == nullptr) {
        return FALSE;
    }
    const WindowRecord* target = findWindow(msg->hwnd);
    if (target == nullptr || (msg->hwnd != dialog && target->parent != dialog)) {
        return FALSE;
    }
    return dialogKey(dialog, msg->wParam) ? TRUE : FALSE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr && findWindow(window) == nullptr) {
        return FALSE;
    }
    post(window, message, wParam, lParam);
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    post(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}
