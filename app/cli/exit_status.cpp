#include "app/cli/exit_status.h"

namespace cli {

ExitStatus ExitStatusFor(app::UpdateEnd end) {
    switch (end) {
    case app::UpdateEnd::kSucceeded: return kExitSuccess;
    case app::UpdateEnd::kDeclined: return kExitOperatorDeclined;
    case app::UpdateEnd::kLinkNotOpened: return kExitLinkNotOpened;
    case app::UpdateEnd::kFailed: break;
    }
    return kExitUpdateFailed;
}

}  // namespace cli
