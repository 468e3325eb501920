#include "app/cli/run_notes.h"

namespace cli {
namespace {

constexpr const char* kSynchFailureText = "Could not synch baud rates";
constexpr const char* kMissingImageText = "Missing an update binary.";

}  // namespace

std::vector<std::string> NotesAfterRun(const RunFacts& facts) {
    if (facts.lastLine == kMissingImageText) return facts.missingImages;
    if (facts.lastLine != kSynchFailureText) return {};
    if (facts.dialogueAnswered) {
        return {"The instrument answered at 9600 baud, but its boot side never answered at 38400 baud "
                "after the switch to update mode.",
                "Check the cable and the instrument's power, then update again."};
    }
    return {"The instrument never answered, neither at 9600 baud nor at 38400 baud.",
            "Check the cable, that the instrument is switched on, and that " + facts.devicePath +
                " is the port it is attached to."};
}

}  // namespace cli
