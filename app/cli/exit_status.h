#pragma once
// The exit status of updater-cli, and how the worker's last line maps to it.

#include <optional>
#include <string>
#include <string_view>

namespace cli {

enum ExitStatus : int {
    kExitSuccess = 0,           // the final text was "Update successful."
    kExitUpdateFailed = 1,      // any failure text, or no final text at all
    kExitOperatorDeclined = 2,  // the operator answered No
    kExitUsageError = 3,        // bad options or configuration
    kExitLinkNotOpened = 4,     // the serial link could not be opened
    kExitStoppedBySignal = 128,  // plus the signal's number: stopped by Ctrl-C (130) or SIGTERM (143)
};

inline constexpr std::string_view kSuccessText = "Update successful.";

// Returns the status for a finished run: `lastLine` is the last line the
// worker posted (nothing when it posted none), `operatorDeclined` whether the
// operator answered No to the question.
ExitStatus ExitStatusForRun(const std::optional<std::string>& lastLine, bool operatorDeclined);

}  // namespace cli
