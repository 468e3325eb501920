#pragma once
// TCGauge: the progress gauge control. Shows Progress within MinValue ...
// MaxValue as a whole-number percentage, drawn as text alone, a horizontal or
// vertical bar, a pie or a needle dial, with the percentage written over it
// in inverted colours. Every drawing is built off screen and copied in one
// step, so the control never flickers.

#include <QColor>
#include <QImage>
#include <QWidget>

#include <cstdint>

#include "app/gauge_state.h"

class TCGauge : public QWidget {
    Q_OBJECT

public:
    // A 100 x 100 gauge: horizontal bar, black on white, text shown, single
    // border, range 0 ... 100, progress 0. Its font is its parent's.
    explicit TCGauge(QWidget* owner = nullptr);

    std::int32_t MinValue() const { return state_.MinValue(); }
    std::int32_t MaxValue() const { return state_.MaxValue(); }
    std::int32_t Progress() const { return state_.Progress(); }
    app::TCGaugeKind Kind() const { return kind_; }
    bool ShowText() const { return showText_; }
    app::GaugeBorderStyle BorderStyle() const { return borderStyle_; }
    QColor ForeColor() const { return foreColor_; }
    QColor BackColor() const { return backColor_; }
    QColor Color() const { return color_; }  // used under the pie and the needle

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
    void SetForeColor(const QColor& color);
    void SetBackColor(const QColor& color);
    void SetColor(const QColor& color);

    // Returns the picture the control shows, drawn off screen at its size.
    QImage RenderImage() const;

    // Returns how many times the gauge has asked to be repainted since it was
    // made (visible or not): lets callers check that unchanged percentages
    // cost no drawing.
    int RepaintCount() const { return repaintCount_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Invalidate();

    app::GaugeState state_;
    app::TCGaugeKind kind_ = app::gkHorizontalBar;
    bool showText_ = true;
    app::GaugeBorderStyle borderStyle_ = app::GaugeBorderStyle::Single;
    QColor foreColor_ = Qt::black;
    QColor backColor_ = Qt::white;
    QColor color_ = Qt::white;
    int repaintCount_ = 0;
};
