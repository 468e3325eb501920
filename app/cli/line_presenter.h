#pragma once
// Shows the worker's lines on the console. Raw: every line verbatim on
// standard output, one per line. Otherwise: status texts one per line,
// "ERROR:" lines on standard error, and on a terminal a progress bar redrawn
// in place from the progress lines (colour only when allowed).

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "app/cli/progress_bar.h"

namespace cli {

struct PresenterSettings {
    bool raw = false;       // print the worker's lines verbatim
    bool terminal = false;  // standard output is a terminal: draw the bar
    bool colour = false;    // colour the bar (a terminal without NO_COLOR)
};

// True when the NO_COLOR convention forbids colour: the variable is set and
// not empty.
bool ColourForbidden(const char* noColourValue);

class LinePresenter {
public:
    // `out` receives what the contract puts on standard output, `err` the
    // rest; `nowMs` is the clock the rate is measured with.
    LinePresenter(PresenterSettings settings, std::FILE* out, std::FILE* err,
                  std::function<std::int64_t()> nowMs);

    // Shows one line the worker posted.
    void Show(const std::string& line);
    // Ends a bar still drawn, after the last line.
    void Finish();
    // Gives the bar the bytes still waiting in the port's transmit queue, so
    // that its rate and time left count the bytes on the line. Without it
    // every byte handed to the port counts as on the line.
    void SetTransmitQueueProbe(std::function<std::int64_t()> queuedBytes);

private:
    void ShowProgress(std::int64_t sent, std::int64_t total);
    void DrawBar(const ProgressFigures& figures);
    // Leaves the bar's last drawing in place and moves to a new line.
    void EndBar();

    PresenterSettings settings_;
    std::FILE* out_;
    std::FILE* err_;
    std::function<std::int64_t()> nowMs_;

    bool barShown_ = false;
    std::size_t barWidth_ = 0;       // characters of the last drawing
    std::function<std::int64_t()> queuedBytes_;
    std::int64_t firstOnLine_ = 0;   // the bar's first sample, for the rate
    std::int64_t firstSampleMs_ = 0;
    std::int64_t lastDrawMs_ = 0;
    int lastPercent_ = -1;
};

}  // namespace cli
