// The Win32 gauge's pixels, read back from the GDI picture it draws.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "app/win32/offscreen_image.h"
#include "app/win32/tc_gauge.h"
#include "app/win32/window_fonts.h"

namespace {

using win32::OffscreenImage;
using win32::TCGauge;

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRed = 0xFF0000;

// The window's gauge: 240 x 20, defaults, in the window's font.
struct WindowGauge {
    WindowGauge() {
        gauge.SetFont(fonts.normal.Get());
        gauge.SetBounds(0, 0, 240, 20);
        gauge.SetColor(RGB(255, 0, 0));
    }
    win32::WindowFonts fonts = win32::MakeWindowFonts();
    TCGauge gauge;
};

bool FrameIsBlack(const OffscreenImage& image) {
    for (int x = 0; x < image.Width(); ++x) {
        if (image.Pixel(x, 0) != kBlack || image.Pixel(x, image.Height() - 1) != kBlack) return false;
    }
    for (int y = 0; y < image.Height(); ++y) {
        if (image.Pixel(0, y) != kBlack || image.Pixel(image.Width() - 1, y) != kBlack) return false;
    }
    return true;
}

// Counts the pixels of `colour` inside the 1-pixel frame, in columns from `left` up to `right`.
int CountInside(const OffscreenImage& image, std::uint32_t colour, int left = 1, int right = -1) {
    if (right < 0) right = image.Width() - 1;
    int count = 0;
    for (int y = 1; y < image.Height() - 1; ++y) {
        for (int x = left; x < right; ++x) count += image.Pixel(x, y) == colour ? 1 : 0;
    }
    return count;
}

int InsideArea(const OffscreenImage& image) {
    return (image.Width() - 2) * (image.Height() - 2);
}

TEST(Win32GaugePicture, EmptyGaugeHasAFrameAndBlackTextOnWhite) {
    WindowGauge window;
    const auto image = window.gauge.RenderImage();
    ASSERT_EQ(image->Width(), 240);
    ASSERT_EQ(image->Height(), 20);
    EXPECT_TRUE(FrameIsBlack(*image));
    const int black = CountInside(*image, kBlack);
    EXPECT_GT(black, 10);                                                // "0%" in black
    EXPECT_EQ(black + CountInside(*image, kWhite), InsideArea(*image));  // no grey fringes
    EXPECT_EQ(CountInside(*image, kWhite, 1, 100), 99 * 18);             // white left of the text
    EXPECT_GT(CountInside(*image, kBlack, 100, 140), 10);                // the text sits in the middle
}

TEST(Win32GaugePicture, HalfwayBarCoversColumns1To118) {
    WindowGauge window;
    window.gauge.SetProgress(50);
    const auto image = window.gauge.RenderImage();
    EXPECT_TRUE(FrameIsBlack(*image));
    for (int y : {1, 2, 17, 18}) {  // rows above and below the text
        for (int x = 1; x <= 118; ++x) ASSERT_EQ(image->Pixel(x, y), kBlack) << x << "," << y;
        for (int x = 119; x <= 238; ++x) ASSERT_EQ(image->Pixel(x, y), kWhite) << x << "," << y;
    }
    // The text crosses the bar's end: inverted on both sides, still only black and white.
    EXPECT_EQ(CountInside(*image, kBlack) + CountInside(*image, kWhite), InsideArea(*image));

    window.gauge.SetShowText(false);
    EXPECT_EQ(CountInside(*window.gauge.RenderImage(), kBlack), 118 * 18);
}

TEST(Win32GaugePicture, FullGaugeIsBlackWithWhiteText) {
    WindowGauge window;
    window.gauge.SetProgress(100);
    const auto image = window.gauge.RenderImage();
    EXPECT_TRUE(FrameIsBlack(*image));
    const int white = CountInside(*image, kWhite);
    EXPECT_GT(white, 20);  // "100%"
    EXPECT_EQ(white + CountInside(*image, kBlack), InsideArea(*image));
    EXPECT_EQ(CountInside(*image, kWhite, 1, 90), 0);  // white only in the middle

    window.gauge.SetShowText(false);
    EXPECT_EQ(CountInside(*window.gauge.RenderImage(), kBlack), InsideArea(*image));
}

TEST(Win32GaugePicture, WithoutABorderTheBarReachesTheEdges) {
    WindowGauge window;
    window.gauge.SetBorderStyle(app::GaugeBorderStyle::None);
    window.gauge.SetShowText(false);
    EXPECT_EQ(window.gauge.RenderImage()->Pixel(0, 0), kWhite);
    window.gauge.SetProgress(100);
    const auto image = window.gauge.RenderImage();
    EXPECT_EQ(image->Pixel(0, 0), kBlack);
    EXPECT_EQ(image->Pixel(239, 19), kBlack);
}

TEST(Win32GaugePicture, EachKindDrawsItsShape) {
    TCGauge gauge;
    gauge.SetBounds(0, 0, 200, 100);
    gauge.SetShowText(false);
    gauge.SetColor(RGB(255, 0, 0));

    gauge.SeTCGaugeKind(app::gkText);
    gauge.SetProgress(60);
    auto image = gauge.RenderImage();
    EXPECT_EQ(CountInside(*image, kWhite), InsideArea(*image));

    gauge.SeTCGaugeKind(app::gkVerticalBar);
    image = gauge.RenderImage();
    EXPECT_EQ(image->Pixel(100, 90), kBlack);  // the lower 60 percent
    EXPECT_EQ(image->Pixel(100, 10), kWhite);

    gauge.SeTCGaugeKind(app::gkPie);
    gauge.SetProgress(25);  // the upper-right quarter of the disc
    image = gauge.RenderImage();
    EXPECT_EQ(image->Pixel(3, 3), kRed);  // control colour outside the ellipse
    EXPECT_EQ(image->Pixel(140, 30), kBlack);
    EXPECT_EQ(image->Pixel(60, 30), kWhite);
    EXPECT_EQ(image->Pixel(140, 70), kWhite);

    gauge.SeTCGaugeKind(app::gkNeedle);
    gauge.SetProgress(0);
    image = gauge.RenderImage();
    EXPECT_EQ(image->Pixel(3, 3), kRed);
    EXPECT_EQ(image->Pixel(100, 50), kWhite);  // the dial, no needle yet
    gauge.SetProgress(50);                     // the needle points straight up
    image = gauge.RenderImage();
    EXPECT_TRUE(image->Pixel(99, 50) == kBlack || image->Pixel(100, 50) == kBlack);
    EXPECT_EQ(image->Pixel(50, 80), kWhite);
}

TEST(Win32GaugePicture, PaintCopiesThePictureToTheGaugesPlace) {
    WindowGauge window;
    window.gauge.SetProgress(42);
    window.gauge.SetBounds(72, 227, 240, 20);
    OffscreenImage target(384, 278);
    window.gauge.Paint(target.DC());
    const auto picture = window.gauge.RenderImage();
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 240; ++x) ASSERT_EQ(target.Pixel(72 + x, 227 + y), picture->Pixel(x, y)) << x << "," << y;
    }
    EXPECT_EQ(target.Pixel(71, 227), kBlack);  // nothing beside it was touched
    EXPECT_EQ(target.Pixel(72 + 240, 227), kBlack);
}

TEST(Win32GaugeRepaint, OnlyChangesThatAlterThePictureRepaint) {
    TCGauge gauge;
    const int start = gauge.RepaintCount();
    gauge.SetProgress(10);
    gauge.SetProgress(10);
    gauge.SetProgress(-5);
    gauge.SetProgress(-7);  // still clamped to 0
    EXPECT_EQ(gauge.RepaintCount(), start + 2);
    gauge.SetMaxValue(1000);
    gauge.SetProgress(10);
    gauge.SetProgress(11);  // 1 percent either way
    EXPECT_EQ(gauge.RepaintCount(), start + 4);
    EXPECT_EQ(gauge.Progress(), 11);
    gauge.SeTCGaugeKind(app::gkHorizontalBar);
    gauge.SetForeColor(RGB(0, 0, 0));
    EXPECT_EQ(gauge.RepaintCount(), start + 4);
    gauge.AddProgress(0);
    EXPECT_EQ(gauge.RepaintCount(), start + 5);
}

}  // namespace
