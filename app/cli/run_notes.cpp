#include "app/cli/run_notes.h"

#include <algorithm>

namespace cli {

using engine::FailureReason;
using engine::UpdateStep;

std::vector<std::string> NotesAfterRun(const UpdateOutcome& outcome, const std::vector<std::string>& missingImages) {
    const engine::FailureDetail& failure = outcome.failure;
    if (failure.reason == FailureReason::kNone) return {};
    if (failure.step == UpdateStep::kImageCheck) return missingImages;
    if (failure.step != UpdateStep::kSynchronise || failure.reason != FailureReason::kNoAnswer) {
        return {"The update failed at \"" + std::string(engine::StepEntryOf(failure.step).text) +
                "\": " + outcome.failureWords + "."};
    }
    const std::string switching = engine::StepEntryOf(UpdateStep::kSwitch).text;
    if (std::ranges::find(outcome.steps, switching) != outcome.steps.end()) {
        return {"The instrument answered at 9600 baud, but its boot side never answered at 38400 baud "
                "after the switch to update mode.",
                "Check the cable and the instrument's power, then update again."};
    }
    return {"The instrument never answered, neither at 9600 baud nor at 38400 baud.",
            "Check the cable, that the instrument is switched on, and that " + outcome.device +
                " is the port it is attached to."};
}

}  // namespace cli
