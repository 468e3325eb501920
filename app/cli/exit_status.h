#pragma once
// The exit status of updater-cli, and how the way an update ended maps to it.

#include "app/update_session.h"

namespace cli {

enum ExitStatus : int {
    kExitSuccess = 0,           // the final text was "Update successful."
    kExitUpdateFailed = 1,      // any failure text, or no final text at all
    kExitOperatorDeclined = 2,  // the operator answered No
    kExitUsageError = 3,        // bad options or configuration
    kExitLinkNotOpened = 4,     // the serial link could not be opened
    kExitStoppedBySignal = 128,  // plus the signal's number: stopped by Ctrl-C (130) or SIGTERM (143)
};

ExitStatus ExitStatusFor(app::UpdateEnd end);

}  // namespace cli
