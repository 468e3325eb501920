#pragma once
// The window's fonts, sized in pixels of character height so that they do not
// scale with the screen's resolution.

#include "app/win32/gdi_objects.h"

namespace win32 {

struct WindowFonts {
    // "MS Sans Serif", 11 pixels: the window's default font.
    Font normal;
    // The same, bold: the status text.
    Font bold;
    // "Arial", 16 pixels, bold: the title label.
    Font title;
};

// Creates the three fonts. A face that is not installed falls back to the
// system's nearest match.
WindowFonts MakeWindowFonts();

}  // namespace win32
