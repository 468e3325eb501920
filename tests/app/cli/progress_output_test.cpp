// What updater-cli shows: the progress bar line and the three ways of
// printing the worker's lines.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/cli/line_presenter.h"
#include "app/cli/progress_bar.h"

namespace {

using cli::FormatProgressBar;
using cli::ProgressFigures;

TEST(ProgressBar, FillsCellsByTruncatedPercentAndShowsRateAndTimeLeft) {
    // 1100 of 2500 bytes: 44 %, 13 of 30 cells; 1000 bytes in 2 s is 500 B/s,
    // so 1400 bytes left take 3 s.
    EXPECT_EQ(FormatProgressBar({1100, 2500, 1000, 2000}),
              "[#############.................]  1100/2500 bytes  44%  500 B/s  0:03 left");
    // 2 of 3: 66 %, not 67.
    EXPECT_EQ(FormatProgressBar({2, 3, 0, 0}),
              "[###################...........]  2/3 bytes  66%  -- B/s  --:-- left");
    EXPECT_EQ(FormatProgressBar({2500, 2500, 2500, 1000}),
              "[##############################]  2500/2500 bytes  100%  2.4 KB/s  0:00 left");
}

TEST(ProgressBar, OddFiguresStayWithinTheBar) {
    // Zero total, more sent than the total, and a negative count (a file that
    // could not be sized) never overflow the 30 cells.
    EXPECT_EQ(FormatProgressBar({0, 0, 0, 0}).substr(0, 32), "[" + std::string(30, '.') + "]");
    EXPECT_EQ(FormatProgressBar({300, 250, 0, 0}).substr(0, 32), "[" + std::string(30, '#') + "]");
    EXPECT_NE(FormatProgressBar({300, 250, 0, 0}).find(" 100% "), std::string::npos);
    EXPECT_NE(FormatProgressBar({-2, 5, 0, 0}).find(" 0% "), std::string::npos);
    // A crawling line: time left is held below 100 hours.
    EXPECT_NE(FormatProgressBar({1, 2'000'000'000, 1, 1'000'000}).find("99:59:59 left"), std::string::npos);
}

TEST(ProgressBar, RateAndDurationUnits) {
    EXPECT_EQ(cli::FormatRate(812), "812 B/s");
    EXPECT_EQ(cli::FormatRate(3174.4), "3.1 KB/s");
    EXPECT_EQ(cli::FormatRate(1.25 * 1024 * 1024), "1.2 MB/s");
    EXPECT_EQ(cli::FormatDuration(0), "0:00");
    EXPECT_EQ(cli::FormatDuration(75), "1:15");
    EXPECT_EQ(cli::FormatDuration(3723), "1:02:03");
}

// Captures what a presenter writes to its two streams.
class Captured {
public:
    Captured() : out_(std::tmpfile()), err_(std::tmpfile()) {}
    ~Captured() {
        std::fclose(out_);
        std::fclose(err_);
    }
    std::FILE* Out() { return out_; }
    std::FILE* Err() { return err_; }
    std::string OutText() { return Read(out_); }
    std::string ErrText() { return Read(err_); }

private:
    static std::string Read(std::FILE* file) {
        std::fflush(file);
        std::rewind(file);
        std::string text;
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
        return text;
    }
    std::FILE* out_;
    std::FILE* err_;
};

const char* const kRun[] = {"DATA:250:250", "Contacting instrument.", "Sending kernel.", "DATA:250:200",
                           "DATA:250:130", "ERROR:Port lost",        "Update successful.", ""};

std::string Present(cli::PresenterSettings settings, Captured& captured) {
    std::int64_t now = 0;
    cli::LinePresenter presenter(settings, captured.Out(), captured.Err(), [&now] { return now += 500; });
    for (const char* line : kRun) presenter.Show(line);
    presenter.Finish();
    return captured.OutText();
}

TEST(LinePresenter, RawPrintsEveryLineVerbatim) {
    Captured captured;
    EXPECT_EQ(Present({.raw = true, .terminal = true, .colour = true}, captured),
              "DATA:250:250\nContacting instrument.\nSending kernel.\nDATA:250:200\nDATA:250:130\n"
              "ERROR:Port lost\nUpdate successful.\n\n");
    EXPECT_EQ(captured.ErrText(), "");
}

TEST(LinePresenter, WithoutTerminalOnlyStatusTextsAndNoEscapes) {
    Captured captured;
    EXPECT_EQ(Present({.raw = false, .terminal = false, .colour = false}, captured),
              "Contacting instrument.\nSending kernel.\nUpdate successful.\n");
    EXPECT_EQ(captured.ErrText(), "Error: Port lost\n");
}

TEST(LinePresenter, TerminalDrawsTheBarInPlaceAndEndsItBeforeTheNextText) {
    Captured captured;
    const std::string out = Present({.raw = false, .terminal = true, .colour = false}, captured);
    const std::string first = FormatProgressBar({50, 250, 0, 0});
    // Second sample: 70 more bytes in 500 ms.
    const std::string second = FormatProgressBar({120, 250, 70, 500});
    EXPECT_EQ(out, "Contacting instrument.\nSending kernel.\n\r" + first + "\r" + second +
                       std::string(first.size() > second.size() ? first.size() - second.size() : 0, ' ') +
                       "\nUpdate successful.\n");
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
}

TEST(LinePresenter, RateAndTimeLeftCountTheBytesOnTheLine) {
    Captured captured;
    std::int64_t now = 0;
    cli::LinePresenter presenter({.raw = false, .terminal = true, .colour = false}, captured.Out(), captured.Err(),
                                 [&now] { return now += 1000; });
    // The port takes 8192 bytes at once; one second later 1000 more are on the line.
    std::int64_t queued = 4000;
    presenter.SetTransmitQueueProbe([&queued] { return queued; });
    presenter.Show("DATA:20000:16000");
    queued = 8192;
    presenter.Show("DATA:20000:10808");
    presenter.Finish();
    // 19000 bytes still to cross the line at 1000 B/s (counting the bytes
    // handed to the port would say 5.1 KB/s and 0:03).
    EXPECT_NE(captured.OutText().find("9192/20000 bytes  45%  1000 B/s  0:19 left"), std::string::npos)
        << captured.OutText();
}

TEST(LinePresenter, ColourOnlyWhenAllowed) {
    Captured captured;
    const std::string out = Present({.raw = false, .terminal = true, .colour = true}, captured);
    EXPECT_NE(out.find("[\x1b[32m#"), std::string::npos);
    EXPECT_TRUE(cli::ColourForbidden("1"));
    EXPECT_FALSE(cli::ColourForbidden(""));
    EXPECT_FALSE(cli::ColourForbidden(nullptr));
}

}  // namespace
