// Hooks through which tests observe and steer the port. The program never calls these.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "d3d9.h"

namespace port::testing {

// Replaces the modal message box; the handler's result is returned by MessageBoxA.
// An empty handler restores the real box.
using MessageBoxHandler =
    std::function<int(HWND owner, const char* text, const char* caption, UINT type)>;
void setMessageBoxHandler(MessageBoxHandler handler);

// Replaces the clock behind timeGetTime and the sound position; empty restores the real one.
using Clock = std::function<DWORD()>;
void setClock(Clock clock);

// Bytes the sound library's decoders have read from their files since the process started.
uint64_t soundFileBytesRead();
// Milliseconds of sound the sound library's streams have skipped after a stalled device (or an
// audio thread that got no time) since the process started.
uint64_t soundSkippedMs();

// Makes the next Direct3D calls fail as a broken system would.
void setDirect3DCreateFails(bool fails);
enum class DeviceFailure { None, HardwareVertexProcessing, Both };
void setDeviceFailure(DeviceFailure failure);
void setWindowCreationFails(bool fails);

// How often Present has succeeded on a device, and the flags it was created with.
unsigned presentCount(IDirect3DDevice9* device);
DWORD deviceBehaviorFlags(IDirect3DDevice9* device);
D3DPRESENT_PARAMETERS devicePresentParameters(IDirect3DDevice9* device);

// How many sampler parameters the device has sent to GL since it was made; a draw sends a
// sampler's parameters only when its sampler states changed since the draw before.
unsigned samplerParameterCalls(IDirect3DDevice9* device);
// How many render-state groups (blend, depth, raster, stencil) the device has sent to GL since
// it was made; a draw sends a group only when it may differ from what GL holds.
unsigned renderStateGroupsSent(IDirect3DDevice9* device);

// What a device has asked of GL since it was made, for benchmarks that break a frame's cost
// down: a reader takes the difference between two readings.
struct DrawStats {
    uint64_t draws = 0;
    uint64_t triangles = 0;
    // Colour targets bound at the draws, summed over the draws.
    uint64_t targetsWritten = 0;
    // Changes of the GL draw framebuffer: each makes the software renderer finish the work
    // it has binned for the framebuffer before.
    uint64_t framebufferChanges = 0;
    // Pixels cleared, counted once per surface cleared (a colour target and a depth-stencil
    // surface cleared together count twice).
    uint64_t clearedPixels = 0;
};
DrawStats drawStats(IDirect3DDevice9* device);

// Whether a top-level window is currently minimised or full screen.
bool isMinimised(HWND window);
bool isFullscreen(HWND window);

// Pushes an SDL key or close event for a window, as the user's input would arrive.
void pressKey(HWND window, WPARAM virtualKey);
void clickClose(HWND window);

// Pushes SDL mouse events at client coordinates of a top-level window: a left click (button
// down and up), or wheel notches (positive away from the user).
void click(HWND window, int x, int y);
void turnWheel(HWND window, int x, int y, int notches);

// Called whenever GetMessageA is about to wait for input, with the window it reads for: the
// moment a user would act, so a test can inspect a modal loop's windows and push input.
// An empty handler removes it.
using WaitHandler = std::function<void(HWND window)>;
void setWaitHandler(WaitHandler handler);

// Called whenever ShowWindow shows a top-level window, with the window and its title, after it
// is on screen: the moment a user first sees it. An empty handler removes it.
using ShowHandler = std::function<void(HWND window, const std::string& title)>;
void setShowHandler(ShowHandler handler);

// Draws a top-level window's controls as the port shows them and reads the picture back:
// width * height pixels, 0xAARRGGBB, top row first. Empty when the window cannot be drawn.
std::vector<uint32_t> windowPixels(HWND window, int& width, int& height);

// Replaces the display modes that Direct3D reports for adapter 0; an empty optional
// restores the display's own.
void setAdapterModes(std::optional<std::vector<D3DDISPLAYMODE>> modes);

// The pixels of a texture level as the GPU holds them, top row first, in the level's format;
// empty when the level does not exist or the device has gone.
std::vector<unsigned char> textureLevelPixels(IDirect3DTexture9* texture, UINT level);

// The pixels of a render target of the device, read back through a system-memory copy as a
// program would: top row first, rows of width * bytes per pixel, in the surface's format.
// Empty when the copy cannot be made or read.
std::vector<unsigned char> surfacePixels(IDirect3DDevice9* device, IDirect3DSurface9* surface);
// The same read-back of a 32-bit colour surface (A8R8G8B8 or X8R8G8B8) as red, green and blue
// bytes, for pictures; empty for another format.
std::vector<unsigned char> surfaceRgb(IDirect3DDevice9* device, IDirect3DSurface9* surface);

// Whether Present waits for the display's vertical refresh, in place of the presentation
// interval the current device was made with.
void setVsync(bool on);

// Bytes a vertex buffer has sent to its GL buffer since it was made.
uint64_t uploadedBytes(IDirect3DVertexBuffer9* buffer);

// The face file and family a font handle resolved to, and the glyph index of a character in
// it; empty strings and 0 for an unknown handle.
std::string fontFile(HFONT font);
std::string fontFamily(HFONT font);
unsigned fontGlyphIndex(HFONT font, unsigned char c);

} // namespace port::testing
