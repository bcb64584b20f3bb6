/* The X requests the end-to-end scripts make of a display, as a user or a window manager would:
 *
 *   xwindows find TITLE           prints the viewable windows titled TITLE (WM_NAME of any text
 *                                 type, or _NET_WM_NAME), at any depth (a window manager puts
 *                                 them in frames); fails when there is none
 *   xwindows close WINDOW         asks WINDOW to close, as a window manager's close button does
 *   xwindows key WINDOW KEYSYM    sends WINDOW a press of KEYSYM and its release; the server's
 *                                 keyboard is never touched, so no key is left held even when
 *                                 the window goes away on the press; fails when the press could
 *                                 not be sent
 *   xwindows held                 prints the keys and buttons held; fails when there is any
 *   xwindows wm                   succeeds when a window manager runs on the display
 *   xwindows font-path [PATH]     prints the server's font path, or sets it (comma-separated)
 *
 * Exit status 2: bad arguments or no display.
 */
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Xlib reports errors to a handler without a context: windows may go away at any time, so an
 * error is counted here and the request that raised it checked with XSync. */
static int errors;

static int count_error(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error;
    ++errors;
    return 0;
}

/* Whether the requests so far all succeeded. */
static int succeeded(Display* display) {
    XSync(display, False);
    int ok = errors == 0;
    errors = 0;
    return ok;
}

static Window window_arg(const char* text) {
    return (Window)strtoul(text, NULL, 0);
}

/* Whether text property PROPERTY of WINDOW reads TITLE, in whatever encoding it was set. */
static int property_reads(Display* display, Window window, Atom property, const char* title) {
    XTextProperty text;
    if (property == None || !XGetTextProperty(display, window, &text, property)) {
        return 0;
    }
    int match = 0;
    char** list = NULL;
    int count = 0;
    if (Xutf8TextPropertyToTextList(display, &text, &list, &count) == Success && count > 0) {
        match = strcmp(list[0], title) == 0;
        XFreeStringList(list);
    } else if (text.format == 8) {
        /* An encoding Xlib has no converter for (some set the type "UTF-8"): the bytes. */
        match = text.nitems == strlen(title) && memcmp(text.value, title, text.nitems) == 0;
    }
    XFree(text.value);
    return match;
}

/* Prints the viewable windows under PARENT titled TITLE; returns how many. */
static int find(Display* display, Window parent, const char* title, Atom net_wm_name) {
    Window root, up, *children = NULL;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) {
        return 0;
    }
    int found = 0;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes) ||
            attributes.map_state != IsViewable) {
            continue;
        }
        if (property_reads(display, children[i], XA_WM_NAME, title) ||
            property_reads(display, children[i], net_wm_name, title)) {
            printf("%lu\n", (unsigned long)children[i]);
            ++found;
        }
        found += find(display, children[i], title, net_wm_name);
    }
    if (children != NULL) {
        XFree(children);
    }
    return found;
}

static int close_window(Display* display, Window window) {
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    return succeeded(display);
}

static int press_key(Display* display, Window window, const char* name) {
    KeySym keysym = XStringToKeysym(name);
    KeyCode keycode = keysym == NoSymbol ? 0 : XKeysymToKeycode(display, keysym);
    if (keycode == 0) {
        fprintf(stderr, "xwindows: no key for %s\n", name);
        return 0;
    }
    XEvent event = {0};
    event.xkey.type = KeyPress;
    event.xkey.window = window;
    event.xkey.root = DefaultRootWindow(display);
    event.xkey.time = CurrentTime;
    event.xkey.x = event.xkey.y = event.xkey.x_root = event.xkey.y_root = 1;
    event.xkey.keycode = keycode;
    event.xkey.same_screen = True;
    XSendEvent(display, window, True, KeyPressMask, &event);
    if (!succeeded(display)) {
        return 0;
    }
    /* The window may be gone by now; then there is nothing left to release the key in. */
    event.xkey.type = KeyRelease;
    XSendEvent(display, window, True, KeyReleaseMask, &event);
    succeeded(display);
    return 1;
}

/* Prints the keys and pointer buttons held in the server; returns how many. */
static int held(Display* display) {
    char keys[32];
    XQueryKeymap(display, keys);
    int count = 0;
    for (int code = 0; code < 256; ++code) {
        if (keys[code / 8] & (1 << (code % 8))) {
            const char* name = XKeysymToString(XkbKeycodeToKeysym(display, (KeyCode)code, 0, 0));
            printf("key %s (%d)\n", name != NULL ? name : "?", code);
            ++count;
        }
    }
    Window root, child;
    int x, y, window_x, window_y;
    unsigned int mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &window_x, &window_y,
                  &mask);
    for (int button = 1; button <= 5; ++button) {
        if (mask & (Button1Mask << (button - 1))) {
            printf("button %d\n", button);
            ++count;
        }
    }
    return count;
}

/* Whether a window manager has announced itself on the root window and its window lives. */
static int window_manager(Display* display) {
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) {
        return 0;
    }
    Atom type;
    int format;
    unsigned long count, left;
    unsigned char* value = NULL;
    if (XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                           &type, &format, &count, &left, &value) != Success) {
        return 0;
    }
    Window window = count == 1 && format == 32 ? (Window) * (unsigned long*)value : None;
    if (value != NULL) {
        XFree(value);
    }
    XWindowAttributes attributes;
    return window != None && XGetWindowAttributes(display, window, &attributes) &&
           succeeded(display);
}

/* PATH is split in place (an argument of the command line). */
static int font_path(Display* display, char* path) {
    if (path == NULL) {
        int count = 0;
        char** list = XGetFontPath(display, &count);
        for (int i = 0; i < count; ++i) {
            printf("%s%s", i > 0 ? "," : "", list[i]);
        }
        printf("\n");
        if (list != NULL) {
            XFreeFontPath(list);
        }
        return 1;
    }
    char* entries[64];
    int count = 0;
    for (char* entry = strtok(path, ","); entry != NULL && count < 64; entry = strtok(NULL, ",")) {
        entries[count++] = entry;
    }
    XSetFontPath(display, entries, count);
    return succeeded(display);
}

int main(int argc, char** argv) {
    static const struct {
        const char* name;
        int least, most; /* arguments after the command */
    } commands[] = {{"find", 1, 1}, {"close", 1, 1}, {"key", 2, 2},
                    {"held", 0, 0}, {"wm", 0, 0},    {"font-path", 0, 1}};
    const char* command = argc > 1 ? argv[1] : "";
    int valid = 0;
    for (size_t i = 0; i < sizeof commands / sizeof commands[0]; ++i) {
        if (strcmp(command, commands[i].name) == 0) {
            valid = argc - 2 >= commands[i].least && argc - 2 <= commands[i].most;
        }
    }
    if (!valid) {
        fprintf(stderr, "usage: xwindows find TITLE | close WINDOW | key WINDOW KEYSYM | held | "
                        "wm | font-path [PATH]\n");
        return 2;
    }
    setlocale(LC_ALL, "");
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "xwindows: cannot open display\n");
        return 2;
    }
    XSetErrorHandler(count_error);
    int ok;
    if (strcmp(command, "find") == 0) {
        Atom net_wm_name = XInternAtom(display, "_NET_WM_NAME", True);
        ok = find(display, DefaultRootWindow(display), argv[2], net_wm_name) > 0;
    } else if (strcmp(command, "close") == 0) {
        ok = close_window(display, window_arg(argv[2]));
    } else if (strcmp(command, "key") == 0) {
        ok = press_key(display, window_arg(argv[2]), argv[3]);
    } else if (strcmp(command, "held") == 0) {
        ok = held(display) == 0;
    } else if (strcmp(command, "wm") == 0) {
        ok = window_manager(display);
    } else {
        ok = font_path(display, argc == 3 ? argv[2] : NULL);
    }
    fflush(stdout);
    XCloseDisplay(display);
    return ok ? 0 : 1;
}
