#include "app/win32/gauge_painter.h"

#include <string>

#include "app/gauge_geometry.h"

namespace win32 {
namespace {

using app::GaugeRect;

RECT ToRect(const GaugeRect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

// Makes every pixel black: the gauge's PaintBackground.
void PaintBackground(const OffscreenImage& image) {
    PatBlt(image.DC(), 0, 0, image.Width(), image.Height(), BLACKNESS);
}

// A fresh layer: filled with the window-frame colour, then made black.
void PrepareLayer(const OffscreenImage& image) {
    const RECT all{0, 0, image.Width(), image.Height()};
    FillRect(image.DC(), &all, GetSysColorBrush(COLOR_WINDOWFRAME));
    PaintBackground(image);
}

// Fills `r` (left and top edges included, right and bottom excluded).
void Fill(HDC dc, const GaugeRect& r, COLORREF colour) {
    const Brush brush(CreateSolidBrush(colour));
    const RECT area = ToRect(r);
    FillRect(dc, &area, brush.Get());
}

void DrawPie(HDC dc, const app::PieWedge& wedge) {
    const GaugeRect& b = wedge.bounds;
    Pie(dc, b.left, b.top, b.right, b.bottom, wedge.start.x, wedge.start.y, wedge.end.x, wedge.end.y);
}

void DrawLine(HDC dc, const app::GaugeLine& line) {
    MoveToEx(dc, line.from.x, line.from.y, nullptr);
    LineTo(dc, line.to.x, line.to.y);  // the end point is not drawn
}

void PaintAsNothing(HDC dc, const GaugeRect& r, const GaugeLook& look) {
    Fill(dc, r, look.backColor);
}

void PaintAsBar(HDC dc, const GaugeRect& r, const GaugeLook& look) {
    Fill(dc, r, look.backColor);
    if (look.kind == app::gkHorizontalBar) {
        if (const auto filled = app::HorizontalBarFill(r, look.percent)) Fill(dc, *filled, look.foreColor);
    } else {
        Fill(dc, app::VerticalBarFill(r, look.percent), look.foreColor);
    }
}

void PaintAsPie(HDC dc, const GaugeRect& r, const GaugeLook& look) {
    Fill(dc, r, look.color);
    const Pen pen(CreatePen(PS_SOLID, 1, look.foreColor));
    const Brush back(CreateSolidBrush(look.backColor));
    const Brush fore(CreateSolidBrush(look.foreColor));
    const Selection penSelected(dc, pen.Get());
    {
        const Selection brushSelected(dc, back.Get());
        const GaugeRect b = app::PieBounds(r, look.border);
        Ellipse(dc, b.left, b.top, b.right, b.bottom);
    }
    if (const auto wedge = app::PieFill(r, look.border, look.percent)) {
        const Selection brushSelected(dc, fore.Get());
        DrawPie(dc, *wedge);
    }
}

void PaintAsNeedle(HDC dc, const GaugeRect& r, const GaugeLook& look) {
    Fill(dc, r, look.color);
    const Pen pen(CreatePen(PS_SOLID, 1, look.foreColor));
    const Brush back(CreateSolidBrush(look.backColor));
    const Selection penSelected(dc, pen.Get());
    const Selection brushSelected(dc, back.Get());
    DrawPie(dc, app::NeedleDial(r, look.border));
    DrawLine(dc, app::NeedleBase(r, look.border));
    if (const auto needle = app::NeedleLine(r, look.width, look.percent)) DrawLine(dc, *needle);
}

// The look's font without smoothing: grey edge pixels would come out of the
// XOR as coloured fringes.
Font SharpFont(HFONT font) {
    if (font == nullptr) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA description{};
    GetObjectA(font, sizeof(description), &description);
    description.lfQuality = NONANTIALIASED_QUALITY;
    return Font(CreateFontIndirectA(&description));
}

void PaintAsText(const OffscreenImage& picture, const GaugeRect& r, const GaugeLook& look) {
    OffscreenImage text(picture.Width(), picture.Height());
    PrepareLayer(text);
    const HDC dc = text.DC();
    const Font font = SharpFont(look.font);
    const Selection fontSelected(dc, font.Get());
    const std::string label = app::PercentText(look.percent);
    SIZE extent{};
    GetTextExtentPoint32A(dc, label.c_str(), static_cast<int>(label.size()), &extent);
    const app::GaugePoint origin = app::TextOrigin(r, extent.cx, extent.cy);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    TextOutA(dc, origin.x, origin.y, label.c_str(), static_cast<int>(label.size()));
    BitBlt(picture.DC(), 0, 0, picture.Width(), picture.Height(), dc, 0, 0, SRCINVERT);
}

}  // namespace

std::unique_ptr<OffscreenImage> PaintGauge(const GaugeLook& look) {
    auto picture = std::make_unique<OffscreenImage>(look.width, look.height);
    PaintBackground(*picture);
    const GaugeRect r = app::DrawingRect(look.width, look.height, look.border);

    {
        OffscreenImage overlay(look.width, look.height);
        PrepareLayer(overlay);
        const HDC dc = overlay.DC();
        IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
        switch (look.kind) {
            case app::gkText: PaintAsNothing(dc, r, look); break;
            case app::gkHorizontalBar:
            case app::gkVerticalBar: PaintAsBar(dc, r, look); break;
            case app::gkPie: PaintAsPie(dc, r, look); break;
            case app::gkNeedle: PaintAsNeedle(dc, r, look); break;
        }
        BitBlt(picture->DC(), 0, 0, look.width, look.height, dc, 0, 0, SRCINVERT);
    }

    if (look.showText) PaintAsText(*picture, r, look);
    return picture;
}

}  // namespace win32
