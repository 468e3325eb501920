#include <gtest/gtest.h>

#include <QFont>
#include <QImage>

#include "app/qt/tc_gauge.h"

namespace {

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kRed = 0xFFFF0000;

// The window's gauge: 240 x 20, defaults, in the window's font.
struct WindowGauge {
    WindowGauge() {
        QFont font("MS Sans Serif");
        font.setPixelSize(11);
        gauge.setFont(font);
        gauge.resize(240, 20);
        gauge.SetColor(Qt::red);
    }
    TCGauge gauge;
};

QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y);
}

bool FrameIsBlack(const QImage& image) {
    for (int x = 0; x < image.width(); ++x) {
        if (At(image, x, 0) != kBlack || At(image, x, image.height() - 1) != kBlack) return false;
    }
    for (int y = 0; y < image.height(); ++y) {
        if (At(image, 0, y) != kBlack || At(image, image.width() - 1, y) != kBlack) return false;
    }
    return true;
}

// Counts the pixels of `colour` inside the 1-pixel frame.
int CountInside(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 1; y < image.height() - 1; ++y) {
        for (int x = 1; x < image.width() - 1; ++x) count += At(image, x, y) == colour ? 1 : 0;
    }
    return count;
}

int InsideArea(const QImage& image) {
    return (image.width() - 2) * (image.height() - 2);
}

TEST(TCGaugePicture, EmptyGaugeHasAFrameAndBlackTextOnWhite) {
    WindowGauge window;
    const QImage image = window.gauge.RenderImage();
    ASSERT_EQ(image.size(), QSize(240, 20));
    EXPECT_TRUE(FrameIsBlack(image));
    const int black = CountInside(image, kBlack);
    EXPECT_GT(black, 10);  // "0%" in black
    EXPECT_EQ(black + CountInside(image, kWhite), InsideArea(image));  // no grey fringes
    for (int y = 1; y < 19; ++y) {
        for (int x = 1; x < 100; ++x) ASSERT_EQ(At(image, x, y), kWhite) << x << "," << y;
    }
    // The text sits in the middle.
    EXPECT_GT(CountInside(image.copy(100, 0, 40, 20), kBlack), 10);
}

TEST(TCGaugePicture, HalfwayBarCoversColumns1To118) {
    WindowGauge window;
    window.gauge.SetProgress(50);
    const QImage image = window.gauge.RenderImage();
    EXPECT_TRUE(FrameIsBlack(image));
    for (int y : {1, 2, 17, 18}) {  // rows above and below the text
        for (int x = 1; x <= 118; ++x) ASSERT_EQ(At(image, x, y), kBlack) << x << "," << y;
        for (int x = 119; x <= 238; ++x) ASSERT_EQ(At(image, x, y), kWhite) << x << "," << y;
    }
    // The text crosses the bar's end: inverted on both sides, still only black and white.
    EXPECT_EQ(CountInside(image, kBlack) + CountInside(image, kWhite), InsideArea(image));

    window.gauge.SetShowText(false);
    const QImage plain = window.gauge.RenderImage();
    EXPECT_EQ(CountInside(plain, kBlack), 118 * 18);
}

TEST(TCGaugePicture, FullGaugeIsBlackWithWhiteText) {
    WindowGauge window;
    window.gauge.SetProgress(100);
    const QImage image = window.gauge.RenderImage();
    EXPECT_TRUE(FrameIsBlack(image));
    const int white = CountInside(image, kWhite);
    EXPECT_GT(white, 20);  // "100%"
    EXPECT_EQ(white + CountInside(image, kBlack), InsideArea(image));
    EXPECT_EQ(CountInside(image.copy(0, 0, 90, 20), kWhite), 0);  // white only in the middle

    window.gauge.SetShowText(false);
    EXPECT_EQ(CountInside(window.gauge.RenderImage(), kBlack), InsideArea(image));
}

TEST(TCGaugePicture, WithoutABorderTheBarReachesTheEdges) {
    WindowGauge window;
    window.gauge.SetBorderStyle(app::GaugeBorderStyle::None);
    window.gauge.SetShowText(false);
    EXPECT_EQ(window.gauge.RenderImage().pixel(0, 0), kWhite);
    window.gauge.SetProgress(100);
    const QImage image = window.gauge.RenderImage();
    EXPECT_EQ(image.pixel(0, 0), kBlack);
    EXPECT_EQ(image.pixel(239, 19), kBlack);
}

TEST(TCGaugePicture, EachKindDrawsItsShape) {
    TCGauge gauge;
    gauge.resize(200, 100);
    gauge.SetShowText(false);
    gauge.SetColor(Qt::red);

    gauge.SeTCGaugeKind(app::gkText);
    gauge.SetProgress(60);
    EXPECT_EQ(CountInside(gauge.RenderImage(), kWhite), InsideArea(gauge.RenderImage()));

    gauge.SeTCGaugeKind(app::gkVerticalBar);
    QImage image = gauge.RenderImage();
    EXPECT_EQ(At(image, 100, 90), kBlack);  // the lower 60 percent
    EXPECT_EQ(At(image, 100, 10), kWhite);

    gauge.SeTCGaugeKind(app::gkPie);
    gauge.SetProgress(25);  // the upper-right quarter of the disc
    image = gauge.RenderImage();
    EXPECT_EQ(At(image, 3, 3), kRed);      // control colour outside the ellipse
    EXPECT_EQ(At(image, 140, 30), kBlack);
    EXPECT_EQ(At(image, 60, 30), kWhite);
    EXPECT_EQ(At(image, 140, 70), kWhite);

    gauge.SeTCGaugeKind(app::gkNeedle);
    gauge.SetProgress(0);
    image = gauge.RenderImage();
    EXPECT_EQ(At(image, 3, 3), kRed);
    EXPECT_EQ(At(image, 100, 50), kWhite);  // the dial, no needle yet
    gauge.SetProgress(50);                  // the needle points straight up
    image = gauge.RenderImage();
    EXPECT_TRUE(At(image, 99, 50) == kBlack || At(image, 100, 50) == kBlack);
    EXPECT_EQ(At(image, 50, 80), kWhite);
}

TEST(TCGaugePicture, TheShownWidgetPaintsTheRenderedPicture) {
    WindowGauge window;
    window.gauge.SetProgress(42);
    window.gauge.show();
    const QImage shown = window.gauge.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, window.gauge.RenderImage());
}

TEST(TCGaugeRepaint, SetProgressRepaintsOnlyWhenTheWholePercentChanges) {
    TCGauge gauge;
    const int start = gauge.RepaintCount();
    gauge.SetProgress(10);
    EXPECT_EQ(gauge.RepaintCount(), start + 1);
    gauge.SetProgress(10);
    gauge.SetProgress(-5);
    gauge.SetProgress(-7);  // still clamped to 0
    EXPECT_EQ(gauge.RepaintCount(), start + 2);
    gauge.SetMaxValue(1000);
    gauge.SetProgress(10);
    gauge.SetProgress(11);  // 1 percent either way
    EXPECT_EQ(gauge.RepaintCount(), start + 4);
    EXPECT_EQ(gauge.Progress(), 11);

    // A sweep over the whole range draws once per whole percent.
    const int beforeSweep = gauge.RepaintCount();
    for (int value = 0; value <= 1000; ++value) gauge.SetProgress(value);
    EXPECT_EQ(gauge.RepaintCount() - beforeSweep, 101);

    gauge.AddProgress(0);
    EXPECT_EQ(gauge.RepaintCount(), beforeSweep + 102);
}

TEST(TCGaugeRepaint, SettersRepaintOnlyOnChange) {
    TCGauge gauge;
    const int start = gauge.RepaintCount();
    gauge.SeTCGaugeKind(app::gkHorizontalBar);
    gauge.SetShowText(true);
    gauge.SetBorderStyle(app::GaugeBorderStyle::Single);
    gauge.SetForeColor(Qt::black);
    gauge.SetBackColor(Qt::white);
    gauge.SetMinValue(0);
    EXPECT_EQ(gauge.RepaintCount(), start);
    gauge.SeTCGaugeKind(app::gkPie);
    gauge.SetShowText(false);
    gauge.SetBorderStyle(app::GaugeBorderStyle::None);
    gauge.SetForeColor(Qt::blue);
    gauge.SetBackColor(Qt::yellow);
    gauge.SetColor(Qt::green);
    EXPECT_EQ(gauge.RepaintCount(), start + 6);
}

TEST(TCGaugeRange, ErrorsCarryTheirTextAndKeepTheGauge) {
    TCGauge gauge;
    gauge.SetProgress(20);
    try {
        gauge.SetMinValue(200);
        FAIL() << "no error";
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "Value must be between -2147483647 and 99");
    }
    try {
        gauge.SetMaxValue(-1);
        FAIL() << "no error";
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "Value must be between 1 and 2147483647");
    }
    EXPECT_EQ(gauge.MinValue(), 0);
    EXPECT_EQ(gauge.MaxValue(), 100);
    EXPECT_EQ(gauge.Progress(), 20);

    gauge.SetMinValue(50);
    EXPECT_EQ(gauge.Progress(), 50);
    EXPECT_EQ(gauge.GetPercentDone(), 0);
}

}  // namespace
