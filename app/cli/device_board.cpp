#include "app/cli/device_board.h"

#include <algorithm>

#include "app/cli/progress_bar.h"
#include "app/worker_line.h"

namespace cli {
namespace {

constexpr const char* kClearLine = "\x1b[2K";
constexpr const char* kWaitingText = "waiting";

std::string Padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

DeviceBoard::DeviceBoard(std::vector<std::string> devices, std::FILE* out, bool terminal)
    : devices_(std::move(devices)),
      steps_(devices_.size(), kWaitingText),
      progress_(devices_.size()),
      percents_(devices_.size(), -1),
      out_(out),
      terminal_(terminal) {
    if (!terminal_) return;
    for (std::size_t i = 0; i < devices_.size(); ++i) std::fprintf(out_, "%s: %s\n", devices_[i].c_str(), kWaitingText);
    std::fflush(out_);
}

void DeviceBoard::Show(std::size_t index, const std::string& line) {
    const app::WorkerLine read = app::ReadWorkerLine(line);
    std::lock_guard lock(mutex_);
    if (read.kind == app::LineKind::Progress) {
        // Redrawn on a change of the whole percentage only.
        if (!terminal_ || read.progress.sent <= 0 || read.progress.percent == percents_[index]) return;
        percents_[index] = read.progress.percent;
        progress_[index] = FormatProgressBar({read.progress.sent, read.progress.total, 0, 0});
        Redraw(index);
        return;
    }
    const std::string text = read.kind == app::LineKind::Error ? "Error: " + read.text : read.text;
    if (text.empty()) return;
    steps_[index] = text;
    if (terminal_) {
        Redraw(index);
    } else {
        std::fprintf(out_, "%s: %s\n", devices_[index].c_str(), text.c_str());
        std::fflush(out_);
    }
}

void DeviceBoard::Ask(const std::function<void()>& ask) {
    std::lock_guard lock(mutex_);
    ask();
    if (!terminal_) return;
    // The question took lines below the board: draw the board again under it.
    for (std::size_t i = 0; i < devices_.size(); ++i) std::fprintf(out_, "\n");
    for (std::size_t i = 0; i < devices_.size(); ++i) Redraw(i);
}

void DeviceBoard::End(std::size_t index, const UpdateOutcome& outcome) {
    std::lock_guard lock(mutex_);
    steps_[index] = outcome.finalText.empty() ? "cancelled: the operator answered No" : outcome.finalText;
    progress_[index].clear();
    if (terminal_) {
        Redraw(index);
    } else if (outcome.status == kExitLinkNotOpened || outcome.finalText.empty()) {
        // The worker posted no such line: say how this one ended.
        std::fprintf(out_, "%s: %s\n", devices_[index].c_str(), steps_[index].c_str());
        std::fflush(out_);
    }
}

void DeviceBoard::Redraw(std::size_t index) {
    const std::size_t up = devices_.size() - index;
    std::string row = devices_[index] + ": " + steps_[index];
    if (!progress_[index].empty()) row += "  " + progress_[index];
    std::fprintf(out_, "\x1b[%zuA\r%s%s\x1b[%zuB\r", up, kClearLine, row.c_str(), up);
    std::fflush(out_);
}

std::string SummaryTable(const std::vector<UpdateOutcome>& outcomes) {
    std::size_t width = std::string("device").size();
    for (const UpdateOutcome& outcome : outcomes) width = std::max(width, outcome.device.size());
    std::string table = Padded("device", width) + "  status  result\n";
    for (const UpdateOutcome& outcome : outcomes) {
        std::string result = outcome.finalText.empty() ? "(answered No)" : outcome.finalText;
        if (!outcome.linkFailure.empty()) result += " (" + outcome.linkFailure + ")";
        table += Padded(outcome.device, width) + "  " + Padded(std::to_string(outcome.status), 6) + "  " + result + "\n";
    }
    return table;
}

}  // namespace cli
