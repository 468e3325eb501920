#include "app/gauge_geometry.h"

#include <cmath>

namespace app {
namespace {

constexpr double kPi = 3.141592653589793;

// Width and height of the drawing rectangle as the pie and needle take them.
int Extent(int from, int to, GaugeBorderStyle border) {
    return to - from + (border == GaugeBorderStyle::Single ? 1 : 0);
}

// The whole part of percent% of `size`, computed in floating point.
int PartOf(int percent, int size) {
    return static_cast<int>(percent * 0.01 * size);
}

double Degrees(double radians) {
    return radians * 180.0 / kPi;
}

}  // namespace

GaugeRect DrawingRect(int width, int height, GaugeBorderStyle border) {
    GaugeRect r{0, 0, width, height};
    if (border == GaugeBorderStyle::Single) r = {1, 1, width - 1, height - 1};
    return r;
}

std::optional<GaugeRect> HorizontalBarFill(const GaugeRect& r, int percent) {
    const int W = r.right - r.left + 1;
    const int H = r.bottom - r.top + 1;
    int w = PartOf(percent, W);
    if (w > W) w = W;
    if (w <= 0) return std::nullopt;
    return GaugeRect{r.left, r.top, w, H};
}

GaugeRect VerticalBarFill(const GaugeRect& r, int percent) {
    const int W = r.right - r.left + 1;
    const int H = r.bottom - r.top + 1;
    int h = PartOf(percent, H);
    if (h >= H) h = H - 1;
    return GaugeRect{r.left, H - h, W, H};
}

GaugeRect PieBounds(const GaugeRect& r, GaugeBorderStyle border) {
    return GaugeRect{r.left, r.top, Extent(r.left, r.right, border), Extent(r.top, r.bottom, border)};
}

std::optional<PieWedge> PieFill(const GaugeRect& r, GaugeBorderStyle border, int percent) {
    if (percent <= 0) return std::nullopt;
    const int middleX = Extent(r.left, r.right, border) / 2;
    const int middleY = Extent(r.top, r.bottom, border) / 2;
    const double angle = (percent * 0.02 + 0.5) * kPi;
    const GaugePoint start{static_cast<int>(std::floor(middleX * (1 - std::cos(angle)))),
                           static_cast<int>(std::floor(middleY * (1 - std::sin(angle))))};
    return PieWedge{PieBounds(r, border), start, GaugePoint{middleX, 0}};
}

PieWedge NeedleDial(const GaugeRect& r, GaugeBorderStyle border) {
    const int x = r.left;
    const int y = r.top;
    const int w = Extent(r.left, r.right, border);
    const int h = Extent(r.top, r.bottom, border);
    return PieWedge{GaugeRect{x, y, w, 2 * h - 1}, GaugePoint{x + w, r.bottom - 1}, GaugePoint{x, r.bottom - 1}};
}

GaugeLine NeedleBase(const GaugeRect& r, GaugeBorderStyle border) {
    return GaugeLine{GaugePoint{r.left, r.bottom}, GaugePoint{r.left + Extent(r.left, r.right, border), r.bottom}};
}

std::optional<GaugeLine> NeedleLine(const GaugeRect& r, int controlWidth, int percent) {
    if (percent <= 0) return std::nullopt;
    const int middleX = controlWidth / 2;
    const int pivotY = r.bottom - 1;
    const double angle = percent * 0.01 * kPi;
    const GaugePoint tip{static_cast<int>(std::floor(middleX * (1 - std::cos(angle)))),
                         static_cast<int>(std::floor(pivotY * (1 - std::sin(angle))))};
    return GaugeLine{GaugePoint{middleX, pivotY}, tip};
}

WedgeAngles AnglesOf(const PieWedge& wedge) {
    const GaugeRect& b = wedge.bounds;
    const double cx = (b.left + b.right) / 2.0;
    const double cy = (b.top + b.bottom) / 2.0;
    const double a = (b.right - b.left) / 2.0;
    const double bb = (b.bottom - b.top) / 2.0;
    // The radial through a point meets the ellipse where its parametric angle
    // t satisfies tan t = (a / b) tan(theta); y grows downwards on screen.
    const auto parametric = [&](GaugePoint p) {
        const double t = Degrees(std::atan2(a * (cy - p.y), bb * (p.x - cx)));
        return t < 0 ? t + 360.0 : t;
    };
    const double start = parametric(wedge.start);
    double span = parametric(wedge.end) - start;
    if (span <= 0) span += 360.0;
    return WedgeAngles{start, span};
}

std::string PercentText(int percent) {
    return std::to_string(percent) + "%";
}

GaugePoint TextOrigin(const GaugeRect& r, int textWidth, int textHeight) {
    return GaugePoint{(r.right - r.left + 1 - textWidth) / 2, (r.bottom - r.top + 1 - textHeight) / 2};
}

}  // namespace app
