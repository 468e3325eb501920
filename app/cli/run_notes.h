#pragma once
// What updater-cli adds on standard error after a run's texts, so that an
// operator learns what to check. The worker's own texts stay as they are.

#include <string>
#include <vector>

#include "app/cli/update_outcome.h"

namespace cli {

// The lines to add after `outcome`: after a missing image which image and
// why (`missingImages`, from the image check); after a failed
// synchronisation whether the instrument answered at all (a silent
// instrument is taken for method 1 and never asked the question) and what to
// check; after any other failure its cause in words. None after a success,
// a No or a link that did not open.
std::vector<std::string> NotesAfterRun(const UpdateOutcome& outcome, const std::vector<std::string>& missingImages);

}  // namespace cli
