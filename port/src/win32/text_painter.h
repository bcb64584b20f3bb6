// Text for the controls the port draws: one sans-serif face found through fontconfig,
// rasterised with FreeType and blended onto an SDL renderer.
#pragma once

#include <string>

#include <SDL.h>

namespace port::win32 {

class TextPainter {
public:
    // The process's painter; its face is loaded on first use.
    static TextPainter& instance();

    TextPainter(const TextPainter&) = delete;
    TextPainter& operator=(const TextPainter&) = delete;

    // Width of a line of text in pixels; 0 when no face could be loaded.
    int width(const std::string& text);
    // Height of a line: ascent plus descent.
    int lineHeight() const { return ascent + descent; }

    // Draws one line with its top-left corner at (x, y), clipped to clip.
    void draw(SDL_Renderer* renderer, const std::string& text, int x, int y, SDL_Color colour,
              const SDL_Rect& clip);

private:
    TextPainter();
    ~TextPainter();

    struct Library;
    Library* library = nullptr;
    int ascent = 12;
    int descent = 3;
};

} // namespace port::win32
