#include "app/cli/interrupt_policy.h"

#include <string_view>

#include "app/worker_line.h"
#include "engine/update_steps.h"

namespace cli {
namespace {

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
    if (stage == RunStage::kEnded || line.starts_with(app::kProgressPrefix)) return stage;
    // Any line that is not a step's text is the final text.
    const std::optional<engine::UpdateStep> step = engine::StepOfText(line);
    if (!step) return RunStage::kEnded;
    return engine::StepEntryOf(*step).bootSide ? RunStage::kBootSide : stage;
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
