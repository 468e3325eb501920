#pragma once
// Where the progress gauge draws each of its parts, in pixels of the control.
// Rectangles are left, top, right, bottom; a filled rectangle covers its left
// and top edges but not its right and bottom ones. Integer halvings truncate
// toward zero. The Qt gauge draws exactly these shapes.

#include <optional>
#include <string>

#include "app/gauge_state.h"

namespace app {

struct GaugeRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const GaugeRect&, const GaugeRect&) = default;
};

struct GaugePoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const GaugePoint&, const GaugePoint&) = default;
};

// An elliptic wedge: the ellipse inscribed in `bounds`, and the part of it
// swept counter-clockwise (on screen) from the radial through `start` to the
// radial through `end`. Equal radials mean the whole ellipse.
struct PieWedge {
    GaugeRect bounds;
    GaugePoint start;
    GaugePoint end;
};

// A wedge as arc angles of its ellipse, in degrees, counter-clockwise from
// three o'clock: the parametric angles (x = cx + a cos t, y = cy - b sin t)
// that most drawing libraries take. `span` is in (0, 360].
struct WedgeAngles {
    double start = 0;
    double span = 0;
};

// Returns the drawing rectangle: the whole control, less one pixel on every
// side with a single border.
GaugeRect DrawingRect(int width, int height, GaugeBorderStyle border);

// Returns the filled part of a horizontal bar at `percent` inside `r`, or
// nothing when it is empty. Its right and bottom are absolute coordinates.
std::optional<GaugeRect> HorizontalBarFill(const GaugeRect& r, int percent);

// Returns the filled part of a vertical bar at `percent` inside `r` (empty,
// top == bottom, at 0 percent).
GaugeRect VerticalBarFill(const GaugeRect& r, int percent);

// Returns the rectangle of the pie's ellipse.
GaugeRect PieBounds(const GaugeRect& r, GaugeBorderStyle border);

// Returns the pie's filled wedge at `percent`, or nothing at 0 percent.
std::optional<PieWedge> PieFill(const GaugeRect& r, GaugeBorderStyle border, int percent);

// Returns the needle's dial: the upper half of an ellipse.
PieWedge NeedleDial(const GaugeRect& r, GaugeBorderStyle border);

// A straight line from `from` to `to`, the end point itself not drawn.
struct GaugeLine {
    GaugePoint from;
    GaugePoint to;
};

// Returns the base line under the dial.
GaugeLine NeedleBase(const GaugeRect& r, GaugeBorderStyle border);

// Returns the needle at `percent` for a control `controlWidth` wide, or
// nothing at 0 percent.
std::optional<GaugeLine> NeedleLine(const GaugeRect& r, int controlWidth, int percent);

// Returns `wedge` as arc angles of its ellipse.
WedgeAngles AnglesOf(const PieWedge& wedge);

// Returns the percentage text, for example "42%".
std::string PercentText(int percent);

// Returns where the top-left corner of a text of the given size goes so that
// it is centred in the drawing rectangle.
GaugePoint TextOrigin(const GaugeRect& r, int textWidth, int textHeight);

}  // namespace app
