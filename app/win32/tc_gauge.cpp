#include "app/win32/tc_gauge.h"

#include "app/win32/gauge_painter.h"

namespace win32 {
namespace {

constexpr int kNewGaugeSize = 100;

// Stores `value` in `field` and returns true when it differs.
template <typename T>
bool Replace(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

}  // namespace

TCGauge::TCGauge(HWND parent) : parent_(parent), width_(kNewGaugeSize), height_(kNewGaugeSize) {}

void TCGauge::SetBounds(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Invalidate();
}

void TCGauge::Invalidate() {
    ++repaintCount_;
    if (parent_ == nullptr) return;
    // Only the gauge's rectangle, without erasing: the gauge paints every
    // pixel of it. UpdateWindow paints it now, not at the next idle moment.
    const RECT area = BoundsRect();
    InvalidateRect(parent_, &area, FALSE);
    UpdateWindow(parent_);
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

void TCGauge::SeTCGaugeKind(app::TCGaugeKind kind) {
    if (Replace(kind_, kind)) Invalidate();
}

void TCGauge::SetShowText(bool show) {
    if (Replace(showText_, show)) Invalidate();
}

void TCGauge::SetBorderStyle(app::GaugeBorderStyle style) {
    if (Replace(borderStyle_, style)) Invalidate();
}

void TCGauge::SetForeColor(COLORREF color) {
    if (Replace(foreColor_, color)) Invalidate();
}

void TCGauge::SetBackColor(COLORREF color) {
    if (Replace(backColor_, color)) Invalidate();
}

void TCGauge::SetColor(COLORREF color) {
    if (Replace(color_, color)) Invalidate();
}

void TCGauge::SetFont(HFONT font) {
    if (Replace(font_, font)) Invalidate();
}

HFONT TCGauge::EffectiveFont() const {
    if (font_ != nullptr || parent_ == nullptr) return font_;
    return reinterpret_cast<HFONT>(SendMessageA(parent_, WM_GETFONT, 0, 0));
}

std::unique_ptr<OffscreenImage> TCGauge::RenderImage() const {
    GaugeLook look;
    look.width = width_;
    look.height = height_;
    look.percent = GetPercentDone();
    look.kind = kind_;
    look.showText = showText_;
    look.border = borderStyle_;
    look.foreColor = foreColor_;
    look.backColor = backColor_;
    look.color = color_;
    look.font = EffectiveFont();
    return PaintGauge(look);
}

void TCGauge::Paint(HDC dc) const {
    if (width_ <= 0 || height_ <= 0) return;
    const std::unique_ptr<OffscreenImage> picture = RenderImage();
    BitBlt(dc, left_, top_, width_, height_, picture->DC(), 0, 0, SRCCOPY);
}

}  // namespace win32
