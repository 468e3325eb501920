#pragma once
// What updater-cli adds on standard error after a run's texts, so that an
// operator learns what to check. The worker's own texts stay as they are.

#include <optional>
#include <string>
#include <vector>

namespace cli {

// The worker's text once the instrument took the tag dialogue.
inline constexpr const char* kSwitchingText = "Switching to update mode.";

// What a finished run showed.
struct RunFacts {
    std::optional<std::string> lastLine;  // the worker's final text
    bool dialogueAnswered = false;        // kSwitchingText was posted
    std::string devicePath;               // the device the run opened
    std::vector<std::string> missingImages;  // ImageCheck::missing
};

// The lines to add: after "Missing an update binary." which image and why;
// after "Could not synch baud rates" whether the instrument answered at all
// (a silent instrument is taken for method 1 and never asked the question)
// and what to check. None after any other text.
std::vector<std::string> NotesAfterRun(const RunFacts& facts);

}  // namespace cli
