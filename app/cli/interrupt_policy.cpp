#include "app/cli/interrupt_policy.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace cli {
namespace {

constexpr std::string_view kProgressPrefix = "DATA:";
constexpr std::string_view kContacting = "Contacting instrument.";
// Texts from which the instrument is in its boot side: the switch (method 2)
// or the synchronisation, which for method 1 is the first thing it hears.
constexpr std::array<std::string_view, 2> kBootSideTexts = {"Switching to update mode.", "Synching baud rates."};
// The other step texts; any other line is the final text.
constexpr std::array<std::string_view, 6> kLaterSteps = {"Sending kernel.",  "Sending update.",
                                                         "Clearing flash.",  "Erasing flash.",
                                                         "Programming flash.", "Starting new code."};

bool OneOf(const auto& texts, const std::string& line) {
    return std::find(texts.begin(), texts.end(), line) != texts.end();
}

}  // namespace

RunStage StageAfterLine(RunStage stage, const std::string& line) {
    if (stage == RunStage::kEnded || line.starts_with(kProgressPrefix) || line == kContacting) return stage;
    if (OneOf(kBootSideTexts, line) || OneOf(kLaterSteps, line)) return RunStage::kBootSide;
    return RunStage::kEnded;
}

InterruptAnswer InterruptPolicy::OnRequest(RunStage stage, const std::string& step, std::int64_t nowMs) {
    switch (stage) {
    case RunStage::kDialogue:
        return {true, "Update stopped: only the dialogue was sent; the instrument keeps its installed software."};
    case RunStage::kEnded:
        return {true, "Stopped after the update's final text; the instrument is as that text says."};
    case RunStage::kBootSide:
        break;
    }
    const std::string at = step.empty() ? std::string() : " at \"" + step + "\"";
    if (warnedAtMs_ && nowMs - *warnedAtMs_ <= kSecondRequestWindowMs) {
        return {true, "Update stopped" + at +
                          ": the instrument is left in its boot side without working software. "
                          "Run the update again before switching it off."};
    }
    warnedAtMs_ = nowMs;
    return {false, "The instrument is in its boot side" + at +
                       ": stopping now leaves it without working software until an update completes. "
                       "Press Ctrl-C again within 5 seconds to stop anyway."};
}

}  // namespace cli
