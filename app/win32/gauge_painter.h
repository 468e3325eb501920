#pragma once
// Draws the progress gauge with GDI, off screen: the picture is made black,
// the kind is drawn into a second picture that is combined onto it by XOR
// (SRCINVERT), and the percentage text, white on black in a third picture, is
// combined the same way, so that each text pixel is the colour-inverse of the
// gauge beneath it.

#include <windows.h>

#include <memory>

#include "app/gauge_state.h"
#include "app/win32/offscreen_image.h"

namespace win32 {

// Everything the drawing depends on.
struct GaugeLook {
    int width = 100;
    int height = 100;
    int percent = 0;  // 0 to 100
    app::TCGaugeKind kind = app::gkHorizontalBar;
    bool showText = true;
    app::GaugeBorderStyle border = app::GaugeBorderStyle::Single;
    COLORREF foreColor = RGB(0, 0, 0);
    COLORREF backColor = RGB(255, 255, 255);
    COLORREF color = RGB(255, 255, 255);  // the control colour, under the pie and the needle
    HFONT font = nullptr;                 // the text's font; null: the system's GUI font
};

// Returns the finished picture, `look.width` x `look.height`. With a single
// border the outermost pixels stay black: the frame.
std::unique_ptr<OffscreenImage> PaintGauge(const GaugeLook& look);

}  // namespace win32
