// The update sequence: every step with its text, pause and failure text, as
// the step table gives them. The first failure ends the work; the result text
// is posted last, followed by a pause that leaves the window time to show it.

#include "engine/data_exchange.h"
#include "platform/clock.h"
#include "platform/file_exists.h"

namespace {

using engine::FailureReason;
using engine::StepEntryOf;
using engine::UpdateStep;

constexpr std::uint32_t kSwitchSettleMs = 1000;
constexpr std::uint32_t kFinalPauseMs = 3000;

constexpr const char* kSwitchBody = "<PROGRAM>TRUE</PROGRAM>";
constexpr const char* kQuestionCaption = "Continue?";

// The boot-loader command of each step that sends one.
constexpr std::pair<UpdateStep, BootCommand> kCommandSteps[] = {
    {UpdateStep::kUpdate, bcSendUpdate},
    {UpdateStep::kClear, bcClearFlash},
    {UpdateStep::kErase, bcEraseFlash},
    {UpdateStep::kProgram, bcProgramFlash},
};

}  // namespace

bool DataExchange::AskOperatorToContinue() {
    const std::string question = "Are you sure you want to update from " + installedVersion +
                                 " to " + info->version + "?";
    return services.AskYesNo(windowHandle, question, kQuestionCaption) != platform::Answer::No;
}

void DataExchange::RunUpdate() {
    bool ok = true;
    std::string result;
    failure = engine::FailureDetail{};
    resultText.reset();
    const auto fail = [&](UpdateStep step) {
        ok = false;
        failure.step = step;
        // The kernel's transfer may have put the memory-error text there.
        if (result.empty()) result = StepEntryOf(step).failure;
    };
    const auto post = [this](UpdateStep step) { PostText(StepEntryOf(step).text); };

    if (!platform::FileExists(info->kernel_file) || !platform::FileExists(info->update_file)) {
        failure.reason = FailureReason::kImageMissing;
        fail(UpdateStep::kImageCheck);
    }
    PostCurrentProgress();
    post(UpdateStep::kContact);

    if (ok) {
        updateMethod = DetectUpdateMethod();
    }
    if (ok && updateMethod == kMethodTagLanguage) {
        QueryVersion(installedVersion);
        if (!AskOperatorToContinue()) {
            ok = false;  // the operator's No leaves the result text empty
        } else {
            post(UpdateStep::kSwitch);
            WriteTagCommand(kSwitchBody);
            platform::SleepMs(kSwitchSettleMs);
        }
    }
    if (ok) {
        post(UpdateStep::kSynchronise);
        if (!SynchBaudRates()) {
            fail(UpdateStep::kSynchronise);
        }
    }
    if (ok) {
        post(UpdateStep::kKernel);
        if (!SendImageEchoed(info->kernel_file, result)) {
            fail(UpdateStep::kKernel);
        }
    }
    for (const auto& [step, command] : kCommandSteps) {
        if (ok) {
            post(step);
            if (!SendBootCommand(command)) {
                fail(step);
            }
        }
    }
    if (ok && updateMethod == kMethodTagLanguage) {
        post(UpdateStep::kStart);
        if (!SendBootCommand(bcStartNewCode)) {
            fail(UpdateStep::kStart);
        }
    }
    if (ok) {
        result = engine::kSuccessText;
    }
    resultText = result;
    PostText(result);
    platform::SleepMs(kFinalPauseMs);
}
