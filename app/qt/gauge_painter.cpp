#include "app/qt/gauge_painter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QString>

#include "app/gauge_geometry.h"

namespace {

using app::GaugeRect;

// A rectangle that covers left and top but not right and bottom.
QRect FillArea(const GaugeRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// The rectangle of an outlined figure whose right and bottom edges are
// excluded, in Qt's terms (an outline there covers width + 1 pixels).
QRect OutlineArea(const GaugeRect& r) {
    return QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1);
}

QImage BlackImage(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

// A 1-pixel pen whose lines leave out their end point.
QPen OutlinePen(const QColor& color) {
    QPen pen(color, 0);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

// Ellipse and wedges are drawn as paths of the same arcs, so that a wedge's
// rim lies exactly on the ellipse's outline.
void DrawEllipse(QPainter& painter, const GaugeRect& bounds) {
    const QRectF area = OutlineArea(bounds);
    QPainterPath path;
    path.arcMoveTo(area, 0);
    path.arcTo(area, 0, 360);
    path.closeSubpath();
    painter.drawPath(path);
}

void DrawWedge(QPainter& painter, const app::PieWedge& wedge) {
    const app::WedgeAngles angles = app::AnglesOf(wedge);
    const QRectF area = OutlineArea(wedge.bounds);
    QPainterPath path;
    path.moveTo(area.center());
    path.arcTo(area, angles.start, angles.span);
    path.closeSubpath();
    painter.drawPath(path);
}

void PaintAsNothing(QPainter& painter, const GaugeRect& r, const GaugeLook& look) {
    painter.fillRect(FillArea(r), look.backColor);
}

void PaintAsBar(QPainter& painter, const GaugeRect& r, const GaugeLook& look) {
    painter.fillRect(FillArea(r), look.backColor);
    if (look.kind == app::gkHorizontalBar) {
        if (const auto filled = app::HorizontalBarFill(r, look.percent)) {
            painter.fillRect(FillArea(*filled), look.foreColor);
        }
    } else {
        painter.fillRect(FillArea(app::VerticalBarFill(r, look.percent)), look.foreColor);
    }
}

void PaintAsPie(QPainter& painter, const GaugeRect& r, const GaugeLook& look) {
    painter.fillRect(FillArea(r), look.color);
    painter.setPen(OutlinePen(look.foreColor));
    painter.setBrush(look.backColor);
    DrawEllipse(painter, app::PieBounds(r, look.border));
    if (const auto wedge = app::PieFill(r, look.border, look.percent)) {
        painter.setBrush(look.foreColor);
        DrawWedge(painter, *wedge);
    }
}

void PaintAsNeedle(QPainter& painter, const GaugeRect& r, const GaugeLook& look) {
    painter.fillRect(FillArea(r), look.color);
    painter.setPen(OutlinePen(look.foreColor));
    painter.setBrush(look.backColor);
    DrawWedge(painter, app::NeedleDial(r, look.border));
    const app::GaugeLine base = app::NeedleBase(r, look.border);
    painter.drawLine(base.from.x, base.from.y, base.to.x, base.to.y);
    if (const auto needle = app::NeedleLine(r, look.size.width(), look.percent)) {
        painter.drawLine(needle->from.x, needle->from.y, needle->to.x, needle->to.y);
    }
}

// The percentage in white on black, clipped to the drawing rectangle, drawn
// without antialiasing so that the XOR inversion leaves no coloured fringes.
QImage PaintAsText(const GaugeRect& r, const GaugeLook& look) {
    QImage text = BlackImage(look.size);
    QFont font = look.font;
    font.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(font);
    const QString label = QString::fromStdString(app::PercentText(look.percent));
    const app::GaugePoint origin = app::TextOrigin(r, metrics.horizontalAdvance(label), metrics.height());

    QPainter painter(&text);
    painter.setClipRect(FillArea(r));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(origin.x, origin.y + metrics.ascent(), label);
    return text;
}

void CombineByXor(QImage& picture, const QImage& source) {
    QPainter painter(&picture);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawImage(0, 0, source);
}

}  // namespace

QImage PaintGauge(const GaugeLook& look) {
    QImage picture = BlackImage(look.size);
    const GaugeRect r = app::DrawingRect(look.size.width(), look.size.height(), look.border);

    QImage overlay = BlackImage(look.size);
    {
        QPainter painter(&overlay);
        painter.setClipRect(FillArea(r));
        switch (look.kind) {
            case app::gkText: PaintAsNothing(painter, r, look); break;
            case app::gkHorizontalBar:
            case app::gkVerticalBar: PaintAsBar(painter, r, look); break;
            case app::gkPie: PaintAsPie(painter, r, look); break;
            case app::gkNeedle: PaintAsNeedle(painter, r, look); break;
        }
    }
    CombineByXor(picture, overlay);

    if (look.showText) CombineByXor(picture, PaintAsText(r, look));
    return picture;
}
