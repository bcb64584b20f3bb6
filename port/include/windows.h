// Win32 (USER32, GDI32, WINMM) as far as velmo uses it, implemented by the port on SDL2,
// FreeType and fontconfig. Types keep their Win32 names and meanings; on this 64-bit platform
// the window user data (GWL_USERDATA) is pointer-sized, so the engine can keep a pointer there.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY
#define TRUE 1
#define FALSE 0

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef int INT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef float FLOAT;
typedef char CHAR;
typedef int32_t HRESULT;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;
typedef void* HANDLE;
typedef size_t SIZE_T;

typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HBRUSH__* HBRUSH;
typedef struct HICON__* HICON;
typedef struct HCURSOR__* HCURSOR;
typedef struct HMENU__* HMENU;
typedef struct HDC__* HDC;
typedef struct HFONT__* HFONT;
typedef void* HGDIOBJ;
typedef struct HMONITOR__* HMONITOR;

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define E_NOTIMPL ((HRESULT)0x80004001)

#define LOWORD(l) ((WORD)(((UINT_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((UINT_PTR)(l)) >> 16) & 0xffff))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)((WORD)(l) | ((DWORD)(WORD)(h) << 16)))

struct POINT {
    LONG x;
    LONG y;
};
typedef POINT* LPPOINT;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECT* LPRECT;
typedef const RECT* LPCRECT;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
typedef MSG* LPMSG;

// Display-mode record of ChangeDisplaySettingsA: only the fields the port reads are named;
// dmSize says how large the caller's record is.
struct DEVMODEA {
    BYTE dmDeviceName[32];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    BYTE dmUnion[16];
    short dmColor;
    short dmDuplex;
    short dmYResolution;
    short dmTTOption;
    short dmCollate;
    BYTE dmFormName[32];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmReserved[8];
};

// Class styles.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_OWNDC 0x0020

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_VSCROLL 0x00200000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW                                                                        \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_EX_WINDOWEDGE 0x00000100L
#define WS_EX_APPWINDOW 0x00040000L

// Button styles, button messages and notifications.
#define BS_PUSHBUTTON 0x00000000L
#define BS_DEFPUSHBUTTON 0x00000001L
#define BS_AUTOCHECKBOX 0x00000003L
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define BN_CLICKED 0

// List box messages.
#define LB_ADDSTRING 0x0180
#define LB_SETCURSEL 0x0186
#define LB_GETCURSEL 0x0188
#define LB_GETCOUNT 0x018B
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETTOPINDEX 0x018E
#define LB_ERR (-1)

// Window messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_SIZE 0x0005
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_SETREDRAW 0x000B
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_MOUSEWHEEL 0x020A
#define WM_USER 0x0400

#define SC_SCREENSAVE 0xF140
#define SC_MONITORPOWER 0xF170

// Virtual keys.
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOW 5
#define SW_MINIMIZE 6

#define GWL_USERDATA (-21)
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// Message boxes.
#define MB_OK 0x00000000L
#define MB_ICONERROR 0x00000010L
#define MB_ICONWARNING 0x00000030L
#define IDOK 1

// Display changes.
#define DM_BITSPERPEL 0x00040000L
#define DM_PELSWIDTH 0x00080000L
#define DM_PELSHEIGHT 0x00100000L
#define CDS_FULLSCREEN 0x00000004
#define DISP_CHANGE_SUCCESSFUL 0
#define DISP_CHANGE_FAILED (-1)
#define DISP_CHANGE_BADMODE (-2)

// System colours.
#define COLOR_WINDOW 5
#define COLOR_BTNFACE 15

#define CW_USEDEFAULT ((int)0x80000000)

// USER32: window classes and windows.
WORD RegisterClassExA(const WNDCLASSEXA* wc);
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL CloseWindow(HWND window);
BOOL IsIconic(HWND window);
int ShowCursor(BOOL show);
BOOL SetForegroundWindow(HWND window);
HWND SetFocus(HWND window);
HWND GetFocus();
LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongA(HWND window, int index);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL GetClientRect(HWND window, LPRECT rect);
HWND GetDlgItem(HWND dialog, int id);
HBRUSH GetSysColorBrush(int index);
HMODULE GetModuleHandleA(LPCSTR moduleName);
// The path of the program's executable for the program's own module (null); the length
// copied, or 0. A path longer than the buffer is cut to size - 1 characters and the size is
// returned.
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

// USER32: messages.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlag);
BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
BOOL IsDialogMessageA(HWND dialog, LPMSG msg);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags);

// ---- GDI32: memory device contexts, fonts and font resources ----
// Fonts are outline faces found through fontconfig: an unknown face name gives the closest
// installed face. A positive height is the cell height, a negative one the em height; width,
// escapement, orientation, underline, strike-out, character set, precisions, quality and
// pitch do not change the face or its metrics.
HDC CreateCompatibleDC(HDC reference);
BOOL DeleteDC(HDC dc);
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);
// Selects a font into a device context; returns the font it replaces (null when none was
// selected) or null on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Fails for an object that is still selected into a device context.
BOOL DeleteObject(HGDIOBJ object);
// Advance widths of the characters first..last of the selected font, in logical units.
BOOL GetCharWidthFloatA(HDC dc, UINT first, UINT last, FLOAT* widths);
// Makes a font file's faces available to CreateFontA; returns how many it added, 0 on failure.
int AddFontResourceA(LPCSTR fileName);
// Undoes one AddFontResourceA; fails harmlessly for a file that was not added.
BOOL RemoveFontResourceA(LPCSTR fileName);
// ---- end of GDI32 ----

// KERNEL32: the calling process, and its working set. Both sizes (SIZE_T)-1 hand the memory
// the process has freed back to the system; other sizes are accepted and change nothing.
HANDLE GetCurrentProcess();
BOOL SetProcessWorkingSetSize(HANDLE process, SIZE_T minimum, SIZE_T maximum);

// WINMM: milliseconds since the port started, 32-bit and wrapping.
DWORD timeGetTime();

// The program's entry point, defined by the program and called by the port's main.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
