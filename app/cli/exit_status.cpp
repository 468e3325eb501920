#include "app/cli/exit_status.h"

namespace cli {

ExitStatus ExitStatusForRun(const std::optional<std::string>& lastLine, bool operatorDeclined) {
    if (lastLine && *lastLine == kSuccessText) return kExitSuccess;
    // After a No the worker's result text is empty.
    if (operatorDeclined && lastLine && lastLine->empty()) return kExitOperatorDeclined;
    return kExitUpdateFailed;
}

}  // namespace cli
