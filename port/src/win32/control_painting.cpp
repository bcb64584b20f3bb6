// Drawing of a top-level window's built-in controls with an SDL renderer in the classic
// desktop look: raised buttons, a sunken check box, a white list with a highlighted line and
// a scroll bar, black text, and a dotted focus mark on the control that has the keyboard.
#include <algorithm>

#include "win32/controls.h"
#include "win32/text_painter.h"

namespace port::win32 {

namespace {

constexpr SDL_Color black = {0, 0, 0, 255};
constexpr SDL_Color white = {255, 255, 255, 255};
constexpr SDL_Color face = {212, 208, 200, 255};
constexpr SDL_Color light = {255, 255, 255, 255};
constexpr SDL_Color shadow = {128, 128, 128, 255};
constexpr SDL_Color darkShadow = {64, 64, 64, 255};
constexpr SDL_Color highlight = {10, 36, 106, 255};
constexpr SDL_Color track = {234, 232, 227, 255};

// The colour of a class brush made by GetSysColorBrush (the colour index plus one).
SDL_Color brushColour(HBRUSH brush) {
    switch (reinterpret_cast<intptr_t>(brush) - 1) {
    case COLOR_WINDOW:
        return white;
    case COLOR_BTNFACE:
        return face;
    default:
        return black;
    }
}

void setColour(SDL_Renderer* r, SDL_Color c) {
    SDL_SetRenderDrawColor(r, c.r, c.g, c.b, c.a);
}

void fill(SDL_Renderer* r, const SDL_Rect& rect, SDL_Color c) {
    setColour(r, c);
    SDL_RenderFillRect(r, &rect);
}

// A one-pixel frame: top and left edges in one colour, bottom and right in another.
void frame(SDL_Renderer* r, const SDL_Rect& rect, SDL_Color topLeft, SDL_Color bottomRight) {
    const int x0 = rect.x, y0 = rect.y, x1 = rect.x + rect.w - 1, y1 = rect.y + rect.h - 1;
    setColour(r, topLeft);
    SDL_RenderDrawLine(r, x0, y0, x1, y0);
    SDL_RenderDrawLine(r, x0, y0, x0, y1);
    setColour(r, bottomRight);
    SDL_RenderDrawLine(r, x0, y1, x1, y1);
    SDL_RenderDrawLine(r, x1, y0, x1, y1);
}

SDL_Rect inset(const SDL_Rect& r, int by) {
    return {r.x + by, r.y + by, r.w - 2 * by, r.h - 2 * by};
}

// A raised (or, when pressed, sunken) button face.
void buttonFace(SDL_Renderer* r, const SDL_Rect& rect, bool pressed) {
    fill(r, rect, face);
    if (pressed) {
        frame(r, rect, darkShadow, darkShadow);
        frame(r, inset(rect, 1), shadow, face);
    } else {
        frame(r, rect, light, darkShadow);
        frame(r, inset(rect, 1), face, shadow);
    }
}

void focusMark(SDL_Renderer* r, const SDL_Rect& rect) {
    setColour(r, black);
    for (int x = rect.x; x < rect.x + rect.w; x += 2) {
        SDL_RenderDrawPoint(r, x, rect.y);
        SDL_RenderDrawPoint(r, x, rect.y + rect.h - 1);
    }
    for (int y = rect.y; y < rect.y + rect.h; y += 2) {
        SDL_RenderDrawPoint(r, rect.x, y);
        SDL_RenderDrawPoint(r, rect.x + rect.w - 1, y);
    }
}

// A small filled triangle pointing up or down, centred in rect.
void arrow(SDL_Renderer* r, const SDL_Rect& rect, bool up) {
    setColour(r, black);
    const int cx = rect.x + rect.w / 2, cy = rect.y + rect.h / 2;
    for (int i = 0; i < 4; ++i) {
        const int y = up ? cy - 2 + i : cy + 1 - i;
        SDL_RenderDrawLine(r, cx - i, y, cx + i, y);
    }
}

void drawPushButton(SDL_Renderer* r, const WindowRecord& w, const SDL_Rect& rect, bool focused) {
    const ControlState& c = *w.control;
    SDL_Rect body = rect;
    if (c.kind == ControlKind::DefaultPushButton) {
        frame(r, rect, black, black);
        body = inset(rect, 1);
    }
    buttonFace(r, body, c.pressed);
    TextPainter& text = TextPainter::instance();
    const int shift = c.pressed ? 1 : 0;
    const int tx = body.x + (body.w - text.width(w.text)) / 2 + shift;
    const int ty = body.y + (body.h - text.lineHeight()) / 2 + shift;
    text.draw(r, w.text, tx, ty, black, inset(body, 2));
    if (focused) {
        focusMark(r, inset(body, 3));
    }
}

void drawCheckBox(SDL_Renderer* r, const WindowRecord& w, const SDL_Rect& rect, bool focused) {
    const ControlState& c = *w.control;
    fill(r, rect, c.pressed ? face : white);
    frame(r, rect, shadow, light);
    frame(r, inset(rect, 1), darkShadow, face);
    if (c.checked) {
        // A tick from the lower left to the upper right, two pixels thick.
        setColour(r, black);
        const int x = rect.x, y = rect.y, s = rect.w;
        for (int t = 0; t < 2; ++t) {
            SDL_RenderDrawLine(r, x + 2, y + s / 2 - 1 + t, x + s / 2 - 1, y + s - 4 + t);
            SDL_RenderDrawLine(r, x + s / 2 - 1, y + s - 4 + t, x + s - 3, y + 2 + t);
        }
    }
    if (focused) {
        focusMark(r, {rect.x - 2, rect.y - 2, rect.w + 4, rect.h + 4});
    }
}

void drawStatic(SDL_Renderer* r, const WindowRecord& w, const SDL_Rect& rect) {
    TextPainter::instance().draw(r, w.text, rect.x, rect.y, black, rect);
}

void drawList(SDL_Renderer* r, const WindowRecord& w, const SDL_Rect& rect, bool focused) {
    const ControlState& c = *w.control;
    const ListLayout layout = listLayout(w);
    fill(r, rect, white);
    TextPainter& text = TextPainter::instance();
    const SDL_Rect lines = {rect.x + layout.lines.x, rect.y + layout.lines.y, layout.lines.w,
                            layout.lines.h};
    for (int line = c.topLine, y = lines.y;
         line < static_cast<int>(c.items.size()) && y < lines.y + lines.h;
         ++line, y += ListLayout::lineHeight) {
        const SDL_Rect row = {lines.x, y, lines.w, ListLayout::lineHeight};
        SDL_Rect visibleRow;
        SDL_IntersectRect(&row, &lines, &visibleRow);
        const bool selected = line == c.selection;
        if (selected) {
            fill(r, visibleRow, highlight);
        }
        const int ty = y + (ListLayout::lineHeight - text.lineHeight()) / 2;
        text.draw(r, c.items[line], row.x + 3, ty, selected ? white : black, visibleRow);
        if (selected && focused) {
            SDL_RenderSetClipRect(r, &visibleRow);
            focusMark(r, row);
            SDL_RenderSetClipRect(r, &rect);
        }
    }
    if (layout.scrollBar) {
        auto place = [&rect](const SDL_Rect& part) {
            return SDL_Rect{rect.x + part.x, rect.y + part.y, part.w, part.h};
        };
        fill(r, place(layout.track), track);
        buttonFace(r, place(layout.upArrow), false);
        arrow(r, place(layout.upArrow), true);
        buttonFace(r, place(layout.downArrow), false);
        arrow(r, place(layout.downArrow), false);
        buttonFace(r, place(layout.thumb), c.thumbGrab >= 0);
    }
}

SDL_Renderer* rendererOf(WindowRecord& topLevel) {
    if (!topLevel.renderer) {
        SDL_Renderer* made = SDL_CreateRenderer(topLevel.sdl.get(), -1, SDL_RENDERER_SOFTWARE);
        if (made == nullptr) {
            made = SDL_CreateRenderer(topLevel.sdl.get(), -1, 0);
        }
        if (made == nullptr) {
            SDL_Log("the window's controls cannot be drawn: %s", SDL_GetError());
            return nullptr;
        }
        topLevel.renderer = std::shared_ptr<SDL_Renderer>(made, SDL_DestroyRenderer);
    }
    return topLevel.renderer.get();
}

} // namespace

bool drawWindow(WindowRecord& topLevel) {
    if (!topLevel.sdl) {
        return false;
    }
    SDL_Renderer* r = rendererOf(topLevel);
    if (r == nullptr) {
        return false;
    }
    // Controls are laid out in window points; a high-density display has more pixels.
    int windowWidth = 0, windowHeight = 0, outputWidth = 0, outputHeight = 0;
    SDL_GetWindowSize(topLevel.sdl.get(), &windowWidth, &windowHeight);
    if (SDL_GetRendererOutputSize(r, &outputWidth, &outputHeight) == 0 && windowWidth > 0 &&
        windowHeight > 0) {
        SDL_RenderSetScale(r, float(outputWidth) / float(windowWidth),
                           float(outputHeight) / float(windowHeight));
    }
    SDL_RenderSetClipRect(r, nullptr);
    setColour(r, brushColour(topLevel.background));
    SDL_RenderClear(r);

    const HWND focus = GetFocus();
    for (HWND child : topLevel.children) {
        const WindowRecord* w = findWindow(child);
        if (w == nullptr || w->control == nullptr || (w->style & WS_VISIBLE) == 0) {
            continue;
        }
        const SDL_Rect rect = {w->rect.left, w->rect.top, w->rect.right - w->rect.left,
                               w->rect.bottom - w->rect.top};
        const bool focused = child == focus;
        // The check box's focus mark lies just outside its small box.
        const SDL_Rect clip = w->control->kind == ControlKind::CheckBox ? inset(rect, -2) : rect;
        SDL_RenderSetClipRect(r, &clip);
        switch (w->control->kind) {
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton:
            drawPushButton(r, *w, rect, focused);
            break;
        case ControlKind::CheckBox:
            drawCheckBox(r, *w, rect, focused);
            break;
        case ControlKind::Static:
            drawStatic(r, *w, rect);
            break;
        case ControlKind::ListBox:
            drawList(r, *w, rect, focused);
            break;
        }
    }
    SDL_RenderSetClipRect(r, nullptr);
    return true;
}

void paintWindow(WindowRecord& topLevel) {
    if (drawWindow(topLevel)) {
        SDL_RenderPresent(topLevel.renderer.get());
    }
}

} // namespace port::win32
