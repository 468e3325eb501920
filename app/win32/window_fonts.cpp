#include "app/win32/window_fonts.h"

namespace win32 {
namespace {

constexpr int kWindowFontPixels = 11;
constexpr int kTitleFontPixels = 16;

// A negative height asks for the character height (without internal leading).
Font MakeFont(const char* face, int pixels, int weight) {
    return Font(CreateFontA(-pixels, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face));
}

}  // namespace

WindowFonts MakeWindowFonts() {
    WindowFonts fonts;
    fonts.normal = MakeFont("MS Sans Serif", kWindowFontPixels, FW_NORMAL);
    fonts.bold = MakeFont("MS Sans Serif", kWindowFontPixels, FW_BOLD);
    fonts.title = MakeFont("Arial", kTitleFontPixels, FW_BOLD);
    return fonts;
}

}  // namespace win32
