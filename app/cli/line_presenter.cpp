#include "app/cli/line_presenter.h"

#include <algorithm>
#include <utility>

#include "app/worker_line.h"

namespace cli {
namespace {

// The bar is redrawn at least this often while bytes flow, and at once on a
// change of its whole percentage.
constexpr std::int64_t kRedrawIntervalMs = 200;

constexpr const char* kColourFilled = "\x1b[32m";
constexpr const char* kColourReset = "\x1b[0m";

void PutLine(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

}  // namespace

bool ColourForbidden(const char* noColourValue) {
    return noColourValue != nullptr && noColourValue[0] != '\0';
}

LinePresenter::LinePresenter(PresenterSettings settings, std::FILE* out, std::FILE* err,
                             std::function<std::int64_t()> nowMs)
    : settings_(settings), out_(out), err_(err), nowMs_(std::move(nowMs)) {}

void LinePresenter::Show(const std::string& line) {
    if (settings_.raw) {
        PutLine(out_, line);
        return;
    }
    const app::WorkerLine read = app::ReadWorkerLine(line);
    switch (read.kind) {
    case app::LineKind::Progress:
        ShowProgress(read.progress.sent, read.progress.total);
        break;
    case app::LineKind::Error:
        EndBar();
        PutLine(err_, "Error: " + read.text);
        break;
    case app::LineKind::Status:
        EndBar();
        // An empty status text only clears the window's status line.
        if (!read.text.empty()) PutLine(out_, read.text);
        break;
    }
}

void LinePresenter::Finish() { EndBar(); }

void LinePresenter::SetTransmitQueueProbe(std::function<std::int64_t()> queuedBytes) {
    queuedBytes_ = std::move(queuedBytes);
}

void LinePresenter::ShowProgress(std::int64_t sent, std::int64_t total) {
    // Nothing sent yet: no bar worth drawing, and no file for the rate.
    if (!settings_.terminal || (!barShown_ && sent <= 0)) return;
    const std::int64_t now = nowMs_();
    const std::int64_t queued = queuedBytes_ ? std::clamp<std::int64_t>(queuedBytes_(), 0, sent) : 0;
    const std::int64_t onLine = sent - queued;
    if (!barShown_) {
        firstOnLine_ = onLine;
        firstSampleMs_ = now;
    }
    const ProgressFigures figures{sent, total, onLine - firstOnLine_, now - firstSampleMs_, queued};
    const int percent = total > 0 ? static_cast<int>(sent * 100 / total) : 0;
    const bool due = !barShown_ || percent != lastPercent_ || sent >= total ||
                     now - lastDrawMs_ >= kRedrawIntervalMs;
    if (!due) return;
    lastPercent_ = percent;
    lastDrawMs_ = now;
    DrawBar(figures);
}

void LinePresenter::DrawBar(const ProgressFigures& figures) {
    std::string text = FormatProgressBar(figures);
    const std::size_t width = text.size();
    // Blanks over what a longer earlier drawing left behind.
    if (width < barWidth_) text.append(barWidth_ - width, ' ');
    barWidth_ = width;
    const std::size_t fillEnd = text.find_first_not_of('#', 1);
    if (settings_.colour && fillEnd > 1) {
        text.insert(fillEnd, kColourReset);
        text.insert(1, kColourFilled);
    }
    std::fputc('\r', out_);
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
    barShown_ = true;
}

void LinePresenter::EndBar() {
    if (!barShown_) return;
    std::fputc('\n', out_);
    std::fflush(out_);
    barShown_ = false;
    barWidth_ = 0;
    lastPercent_ = -1;
}

}  // namespace cli
