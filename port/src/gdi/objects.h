// The GDI objects the port hands out as handles: memory device contexts and fonts. Every
// handle is checked against the table of live objects, so a stale or foreign handle fails the
// call instead of being followed.
#pragma once

#include <windows.h>

#include "gdi/font.h"

namespace port::gdi {

// The font selected into a device context; null for an unknown context or one without a font.
// The font stays valid until it is deselected and deleted.
const Font* selectedFont(HDC dc);

// The font behind a font handle; null for an unknown handle.
const Font* fontFromHandle(HFONT font);

} // namespace port::gdi
