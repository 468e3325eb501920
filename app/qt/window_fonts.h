#pragma once
// The window's fonts, sized in pixels so that they do not scale with the
// screen's resolution.

#include <QFont>

// Returns "MS Sans Serif", 11 pixels: the window's default font.
QFont WindowFont();

// Returns "Arial", 16 pixels, bold: the title label's font.
QFont TitleFont();

// Where "MS Sans Serif" and "Arial" are not installed, maps them to fonts of
// close metrics (Liberation Sans keeps Arial's widths) rather than the
// system's much wider default. Call once before the first window is built.
void InstallFontFallbacks();
