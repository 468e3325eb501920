#pragma once
// The console display of several instruments updated at once. On a terminal
// each device has its own line, redrawn in place; otherwise each step text is
// printed once, prefixed with its device. Safe to call from every device's
// thread.

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/cli/update_outcome.h"

namespace cli {

class DeviceBoard {
public:
    DeviceBoard(std::vector<std::string> devices, std::FILE* out, bool terminal);

    // A worker line of device `index`.
    void Show(std::size_t index, const std::string& line);
    // Runs `ask` with the display quiet, below the device lines.
    void Ask(const std::function<void()>& ask);
    // The final text of device `index`.
    void End(std::size_t index, const UpdateOutcome& outcome);

private:
    void Redraw(std::size_t index);

    std::vector<std::string> devices_;
    std::vector<std::string> steps_;
    std::vector<std::string> progress_;
    std::vector<int> percents_;
    std::FILE* out_;
    bool terminal_;
    std::mutex mutex_;
};

// The table printed after several updates: device, exit status, final text
// (and why a link did not open), one row each.
std::string SummaryTable(const std::vector<UpdateOutcome>& outcomes);

}  // namespace cli
