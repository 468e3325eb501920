#include <gtest/gtest.h>

#include "app/gauge_geometry.h"
#include "app/gauge_state.h"

namespace {

using app::GaugeBorderStyle;
using app::GaugeRect;
using app::GaugeState;

TEST(GaugeState, ProgressIsClampedToTheRange) {
    GaugeState gauge;
    EXPECT_TRUE(gauge.SetProgress(150));
    EXPECT_EQ(gauge.Progress(), 100);
    EXPECT_EQ(gauge.PercentDone(), 100);
    EXPECT_TRUE(gauge.SetProgress(-5));
    EXPECT_EQ(gauge.Progress(), 0);
}

TEST(GaugeState, PercentOfAnEmptyOrHugeRange) {
    GaugeState gauge;
    gauge.SetMaxValue(0);
    EXPECT_EQ(gauge.MaxValue(), 0);  // a maximum of 0 is accepted like any other
    gauge.SetProgress(50);
    EXPECT_EQ(gauge.PercentDone(), 0);

    gauge.SetMinValue(INT32_MIN);
    gauge.SetMaxValue(INT32_MAX);
    gauge.SetProgress(INT32_MAX);
    EXPECT_EQ(gauge.PercentDone(), 100);
    gauge.SetProgress(0);
    EXPECT_EQ(gauge.PercentDone(), 50);
    gauge.SetProgress(INT32_MIN);
    EXPECT_EQ(gauge.PercentDone(), 0);
}

TEST(GaugeState, AddProgressSaturatesInsteadOfOverflowing) {
    GaugeState gauge;
    gauge.SetMaxValue(INT32_MAX);
    gauge.SetProgress(INT32_MAX - 1);
    gauge.AddProgress(10);
    EXPECT_EQ(gauge.Progress(), INT32_MAX);
    gauge.AddProgress(INT32_MIN);
    EXPECT_EQ(gauge.Progress(), 0);
}

TEST(GaugeState, RangeEndsMayMeetAndErrorTextsNeverOverflow) {
    GaugeState gauge;
    gauge.SetProgress(20);
    gauge.SetMaxValue(20);
    EXPECT_TRUE(gauge.SetMinValue(20));  // an empty range is allowed
    EXPECT_EQ(gauge.PercentDone(), 0);
    EXPECT_THROW(gauge.SetMaxValue(-1), app::GaugeRangeError);
    EXPECT_EQ(gauge.MaxValue(), 20);

    gauge.SetMinValue(INT32_MIN);
    gauge.SetMaxValue(INT32_MIN);
    try {
        gauge.SetMinValue(0);
        FAIL() << "no error";
    } catch (const app::GaugeRangeError& error) {
        EXPECT_STREQ(error.what(), "Value must be between -2147483647 and -2147483649");
    }
}

TEST(GaugeGeometry, BarsOfTheBorderedWindowGauge) {
    const GaugeRect r = app::DrawingRect(240, 20, GaugeBorderStyle::Single);
    EXPECT_EQ(r, (GaugeRect{1, 1, 239, 19}));
    EXPECT_EQ(app::DrawingRect(240, 20, GaugeBorderStyle::None), (GaugeRect{0, 0, 240, 20}));

    EXPECT_EQ(app::HorizontalBarFill(r, 0), std::nullopt);
    EXPECT_EQ(app::HorizontalBarFill(r, 50), (GaugeRect{1, 1, 119, 19}));  // columns 1 to 118
    EXPECT_EQ(app::HorizontalBarFill(r, 100), (GaugeRect{1, 1, 239, 19}));
    EXPECT_EQ(app::HorizontalBarFill(r, 1), (GaugeRect{1, 1, 2, 19}));

    EXPECT_EQ(app::VerticalBarFill(r, 0).top, 19);  // empty
    EXPECT_EQ(app::VerticalBarFill(r, 50), (GaugeRect{1, 10, 239, 19}));
    EXPECT_EQ(app::VerticalBarFill(r, 100), (GaugeRect{1, 1, 239, 19}));
}

TEST(GaugeGeometry, PieWedgeGrowsClockwiseFromTwelve) {
    const GaugeRect r = app::DrawingRect(101, 101, GaugeBorderStyle::Single);
    EXPECT_EQ(app::PieFill(r, GaugeBorderStyle::Single, 0), std::nullopt);

    const auto quarter = app::PieFill(r, GaugeBorderStyle::Single, 25);
    ASSERT_TRUE(quarter);
    EXPECT_EQ(quarter->bounds, (GaugeRect{1, 1, 100, 100}));
    EXPECT_EQ(quarter->start, (app::GaugePoint{100, 49}));  // sin(pi) is just above 0
    EXPECT_EQ(quarter->end, (app::GaugePoint{50, 0}));
    const app::WedgeAngles q = app::AnglesOf(*quarter);
    EXPECT_NEAR(q.start, 0.0, 2.0);
    EXPECT_NEAR(q.span, 90.0, 2.0);

    const app::WedgeAngles half = app::AnglesOf(*app::PieFill(r, GaugeBorderStyle::Single, 50));
    EXPECT_NEAR(half.start, 270.0, 1.5);
    EXPECT_NEAR(half.span, 180.0, 1.5);
    EXPECT_GT(app::AnglesOf(*app::PieFill(r, GaugeBorderStyle::Single, 100)).span, 355.0);
}

TEST(GaugeGeometry, NeedleTurnsFromLeftThroughUpToRight) {
    const GaugeRect r = app::DrawingRect(240, 20, GaugeBorderStyle::Single);
    const app::PieWedge dial = app::NeedleDial(r, GaugeBorderStyle::Single);
    EXPECT_EQ(dial.bounds, (GaugeRect{1, 1, 239, 37}));
    EXPECT_EQ(dial.start, (app::GaugePoint{240, 18}));
    EXPECT_EQ(dial.end, (app::GaugePoint{1, 18}));
    // Both radials lie one pixel above the centre of a flat ellipse: the dial
    // is its upper half, a few degrees short.
    const app::WedgeAngles halfDial = app::AnglesOf(dial);
    EXPECT_GT(halfDial.start, 0.0);
    EXPECT_LT(halfDial.start, 5.0);
    EXPECT_NEAR(halfDial.start + halfDial.span, 180.0 - halfDial.start, 0.1);

    EXPECT_EQ(app::NeedleLine(r, 240, 0), std::nullopt);
    const auto up = app::NeedleLine(r, 240, 50);
    ASSERT_TRUE(up);
    EXPECT_EQ(up->from, (app::GaugePoint{120, 18}));
    EXPECT_EQ(up->to, (app::GaugePoint{119, 0}));  // 1 - cos lands just below 1
    EXPECT_EQ(app::NeedleLine(r, 240, 100)->to, (app::GaugePoint{240, 17}));
}

TEST(GaugeGeometry, TextIsCentredInTheDrawingRectangle) {
    const GaugeRect r = app::DrawingRect(240, 20, GaugeBorderStyle::Single);
    EXPECT_EQ(app::TextOrigin(r, 19, 13), (app::GaugePoint{110, 3}));
    EXPECT_EQ(app::TextOrigin(r, 250, 30), (app::GaugePoint{-5, -5}));  // truncated toward zero
    EXPECT_EQ(app::PercentText(42), "42%");
}

}  // namespace
