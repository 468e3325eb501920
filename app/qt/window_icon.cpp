#include "app/qt/window_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygon>

namespace {

constexpr int kIconSize = 16;

// Colours of the classic 16-colour palette.
const QColor kNavy(0, 0, 128);
const QColor kSilver(192, 192, 192);
const QColor kGray(128, 128, 128);
const QColor kLime(0, 255, 0);
const QColor kGreen(0, 128, 0);

}  // namespace

QImage DrawWindowIconImage() {
    QImage image(kIconSize, kIconSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);

    // The chip: a dark body with grey pins on both sides.
    painter.setPen(Qt::NoPen);
    painter.setBrush(kGray);
    for (int y = 8; y <= 14; y += 2) {
        painter.drawRect(1, y, 2, 1);
        painter.drawRect(13, y, 2, 1);
    }
    painter.setBrush(kNavy);
    painter.drawRect(3, 7, 10, 9);
    painter.setBrush(kSilver);
    painter.drawRect(5, 13, 6, 1);

    // The arrow pointing into the chip.
    painter.setBrush(kLime);
    painter.drawRect(6, 0, 4, 5);
    const QPolygon head({QPoint(3, 5), QPoint(12, 5), QPoint(8, 10), QPoint(7, 10)});
    painter.setPen(kGreen);
    painter.drawPolygon(head);
    return image;
}

QIcon WindowIcon() {
    return QIcon(QPixmap::fromImage(DrawWindowIconImage()));
}
