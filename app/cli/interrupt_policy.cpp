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

InterruptAnswer ImmediateStop(RunStage stage) {
    if (stage == RunStage::kDialogue) {
        return {true, "Update stopped: only the dialogue was sent; the instrument keeps its installed software."};
    }
    return {true, "Stopped after the update's final text; the instrument is as that text says."};
}

std::string AtStep(const std::string& step) { return step.empty() ? std::string() : " at \"" + step + "\""; }

constexpr std::string_view kLeftInBootSide =
    ": the instrument is left in its boot side without working software. "
    "Run the update again before switching it off.";

}  // namespace

RunStage StageAfterLine(RunStage stage, const std::string& line) {
    if (stage == RunStage::kEnded || line.starts_with(kProgressPrefix) || line == kContacting) return stage;
    if (OneOf(kBootSideTexts, line) || OneOf(kLaterSteps, line)) return RunStage::kBootSide;
    return RunStage::kEnded;
}

InterruptAnswer InterruptPolicy::OnRequest(RunStage stage, const std::string& step, std::int64_t nowMs) {
    if (stage != RunStage::kBootSide) return ImmediateStop(stage);
    if (warnedAtMs_ && nowMs - *warnedAtMs_ <= kSecondRequestWindowMs) {
        return {true, "Update stopped" + AtStep(step) + std::string(kLeftInBootSide)};
    }
    warnedAtMs_ = nowMs;
    return {false, "The instrument is in its boot side" + AtStep(step) +
                       ": stopping now leaves it without working software until an update completes. "
                       "Press Ctrl-C again within 5 seconds to stop anyway."};
}

InterruptAnswer InterruptPolicy::OnSystemEnding(RunStage stage, const std::string& step) {
    if (stage != RunStage::kBootSide) return ImmediateStop(stage);
    return {true, "Update stopped" + AtStep(step) + " as the system is ending the program" +
                      std::string(kLeftInBootSide)};
}

}  // namespace cli
