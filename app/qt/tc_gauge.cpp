#include "app/qt/tc_gauge.h"

#include <QEvent>
#include <QPainter>

#include "app/qt/gauge_painter.h"

namespace {

constexpr int kNewGaugeSize = 100;

}  // namespace

TCGauge::TCGauge(QWidget* owner) : QWidget(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted
    resize(kNewGaugeSize, kNewGaugeSize);
}

void TCGauge::Invalidate() {
    ++repaintCount_;
    repaint();
}

void TCGauge::SetProgress(std::int32_t value) {
    if (state_.SetProgress(value)) Invalidate();
}

void TCGauge::AddProgress(std::int32_t amount) {
    state_.AddProgress(amount);
    Invalidate();
}

void TCGauge::SetMinValue(std::int32_t value) {
    if (state_.SetMinValue(value)) Invalidate();
}

void TCGauge::SetMaxValue(std::int32_t value) {
    if (state_.SetMaxValue(value)) Invalidate();
}

namespace {

// Stores `value` in `field` and returns true when it differs.
template <typename T>
bool Replace(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

}  // namespace

void TCGauge::SeTCGaugeKind(app::TCGaugeKind kind) {
    if (Replace(kind_, kind)) Invalidate();
}

void TCGauge::SetShowText(bool show) {
    if (Replace(showText_, show)) Invalidate();
}

void TCGauge::SetBorderStyle(app::GaugeBorderStyle style) {
    if (Replace(borderStyle_, style)) Invalidate();
}

void TCGauge::SetForeColor(const QColor& color) {
    if (Replace(foreColor_, color)) Invalidate();
}

void TCGauge::SetBackColor(const QColor& color) {
    if (Replace(backColor_, color)) Invalidate();
}

void TCGauge::SetColor(const QColor& color) {
    if (Replace(color_, color)) Invalidate();
}

QImage TCGauge::RenderImage() const {
    GaugeLook look;
    look.size = size();
    look.percent = GetPercentDone();
    look.kind = kind_;
    look.showText = showText_;
    look.border = borderStyle_;
    look.foreColor = foreColor_;
    look.backColor = backColor_;
    look.color = color_;
    look.font = font();
    return PaintGauge(look);
}

void TCGauge::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.drawImage(0, 0, RenderImage());
}

void TCGauge::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) Invalidate();
    QWidget::changeEvent(event);
}
