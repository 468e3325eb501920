#pragma once
// Draws the progress gauge into an image, off screen: the kind's drawing
// first, then the percentage text combined by XOR, so that each text pixel is
// the colour-inverse of what lies beneath it.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QSize>

#include "app/gauge_state.h"

// Everything the drawing depends on.
struct GaugeLook {
    QSize size;
    int percent = 0;  // 0 to 100
    app::TCGaugeKind kind = app::gkHorizontalBar;
    bool showText = true;
    app::GaugeBorderStyle border = app::GaugeBorderStyle::Single;
    QColor foreColor = Qt::black;
    QColor backColor = Qt::white;
    QColor color = Qt::white;  // the control colour, under the pie and the needle
    QFont font;
};

// Returns the finished picture of a gauge, `look.size` large (RGB32). With a
// single border the outermost pixels stay black: the frame.
QImage PaintGauge(const GaugeLook& look);
