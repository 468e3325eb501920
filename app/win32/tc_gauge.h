#pragma once
// TCGauge: the progress gauge, a windowless control. It has no window of its
// own: it occupies a rectangle of its parent's client area, the parent's
// WM_PAINT calls Paint, and a change that alters the picture repaints that
// rectangle at once. Shows Progress within MinValue ... MaxValue as a
// whole-number percentage, drawn as text alone, a horizontal or vertical bar,
// a pie or a needle dial, with the percentage over it in inverted colours.
// Every drawing is built off screen and copied in one step (no flicker).
//
// Threads: the window's thread only.

#include <windows.h>

#include <cstdint>
#include <memory>

#include "app/gauge_state.h"
#include "app/win32/offscreen_image.h"

namespace win32 {

class TCGauge {
public:
    // A 100 x 100 gauge at 0, 0 of `parent` (null: placed on no window, for
    // drawing off screen): horizontal bar, black on white, text shown, single
    // border, range 0 ... 100, progress 0; its font is the parent's.
    explicit TCGauge(HWND parent = nullptr);
    TCGauge(const TCGauge&) = delete;
    TCGauge& operator=(const TCGauge&) = delete;

    // Puts the gauge on `parent` (null: on no window).
    void SetParent(HWND parent) { parent_ = parent; }
    // Places the gauge in its parent's client coordinates and repaints.
    void SetBounds(int left, int top, int width, int height);
    RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }

    std::int32_t MinValue() const { return state_.MinValue(); }
    std::int32_t MaxValue() const { return state_.MaxValue(); }
    std::int32_t Progress() const { return state_.Progress(); }
    app::TCGaugeKind Kind() const { return kind_; }
    bool ShowText() const { return showText_; }
    app::GaugeBorderStyle BorderStyle() const { return borderStyle_; }
    COLORREF ForeColor() const { return foreColor_; }
    COLORREF BackColor() const { return backColor_; }
    COLORREF Color() const { return color_; }  // used under the pie and the needle

    // Returns the whole percentage of the range that Progress has reached, 0 to 100.
    int GetPercentDone() const { return state_.PercentDone(); }

    // Stores `value` clamped to the range; repaints only when the whole
    // percentage changes.
    void SetProgress(std::int32_t value);
    // SetProgress(Progress + amount), then repaints in any case.
    void AddProgress(std::int32_t amount);

    // Change an end of the range, pulling Progress inside it, and repaint.
    // Throw app::GaugeRangeError ("Value must be between ..."), changing
    // nothing, for a minimum above MaxValue or a maximum below MinValue.
    void SetMinValue(std::int32_t value);
    void SetMaxValue(std::int32_t value);

    // Each stores a changed value and repaints; an unchanged value does nothing.
    void SeTCGaugeKind(app::TCGaugeKind kind);
    void SetShowText(bool show);
    void SetBorderStyle(app::GaugeBorderStyle style);
    void SetForeColor(COLORREF color);
    void SetBackColor(COLORREF color);
    void SetColor(COLORREF color);

    // A font of the gauge's own (not owned; it must outlive the gauge), or
    // null to take the parent's (WM_GETFONT), the default.
    void SetFont(HFONT font);

    // Copies the finished picture onto `dc` at the gauge's place. The
    // parent's WM_PAINT calls it.
    void Paint(HDC dc) const;

    // Returns the picture the control shows, drawn off screen at its size.
    std::unique_ptr<OffscreenImage> RenderImage() const;

    // How many times the gauge has asked to be repainted since it was made
    // (placed on a window or not).
    int RepaintCount() const { return repaintCount_; }

private:
    void Invalidate();
    HFONT EffectiveFont() const;

    HWND parent_;
    int left_ = 0;
    int top_ = 0;
    int width_;
    int height_;
    app::GaugeState state_;
    app::TCGaugeKind kind_ = app::gkHorizontalBar;
    bool showText_ = true;
    app::GaugeBorderStyle borderStyle_ = app::GaugeBorderStyle::Single;
    COLORREF foreColor_ = RGB(0, 0, 0);
    COLORREF backColor_ = RGB(255, 255, 255);
    COLORREF color_ = RGB(255, 255, 255);
    HFONT font_ = nullptr;
    int repaintCount_ = 0;
};

}  // namespace win32
