// The update sequence: every step with its text, pause and failure text. The
// first failure ends the work; the result text is posted last, followed by a
// pause that leaves the window time to show it.

#include "engine/data_exchange.h"
#include "platform/clock.h"
#include "platform/file_exists.h"

namespace {

constexpr std::uint32_t kSwitchSettleMs = 1000;
constexpr std::uint32_t kFinalPauseMs = 3000;

constexpr const char* kSwitchBody = "<PROGRAM>TRUE</PROGRAM>";
constexpr const char* kQuestionCaption = "Continue?";

constexpr const char* kTextContacting = "Contacting instrument.";
constexpr const char* kTextSwitching = "Switching to update mode.";
constexpr const char* kTextSynching = "Synching baud rates.";
constexpr const char* kTextSendingKernel = "Sending kernel.";
constexpr const char* kTextSendingUpdate = "Sending update.";
constexpr const char* kTextClearing = "Clearing flash.";
constexpr const char* kTextErasing = "Erasing flash.";
constexpr const char* kTextProgramming = "Programming flash.";
constexpr const char* kTextStarting = "Starting new code.";
constexpr const char* kTextSuccess = "Update successful.";

constexpr const char* kFailMissingImage = "Missing an update binary.";
constexpr const char* kFailSynch = "Could not synch baud rates";
constexpr const char* kFailKernel = "Could Not Send Kernel.";
constexpr const char* kFailUpdate = "Could not send update.";
constexpr const char* kFailClear = "Could not clear flash.";
constexpr const char* kFailErase = "Could not erase flash.";
constexpr const char* kFailProgram = "Could not program flash.";
constexpr const char* kFailStart = "Could not start application.";

}  // namespace

bool DataExchange::AskOperatorToContinue() {
    const std::string question = "Are you sure you want to update from " + installedVersion +
                                 " to " + info->version + "?";
    return services.AskYesNo(windowHandle, question, kQuestionCaption) != platform::Answer::No;
}

void DataExchange::RunUpdate() {
    bool ok = true;
    std::string result;
    const auto fail = [&ok, &result](const char* text) {
        ok = false;
        result = text;
    };

    if (!platform::FileExists(info->kernel_file) || !platform::FileExists(info->update_file)) {
        fail(kFailMissingImage);
    }
    PostCurrentProgress();
    PostText(kTextContacting);

    if (ok) {
        updateMethod = DetectUpdateMethod();
    }
    if (ok && updateMethod == kMethodTagLanguage) {
        QueryVersion(installedVersion);
        if (!AskOperatorToContinue()) {
            ok = false;  // the operator's No leaves the result text empty
        } else {
            PostText(kTextSwitching);
            WriteTagCommand(kSwitchBody);
            platform::SleepMs(kSwitchSettleMs);
        }
    }
    if (ok) {
        PostText(kTextSynching);
        if (!SynchBaudRates()) {
            fail(kFailSynch);
        }
    }
    if (ok) {
        PostText(kTextSendingKernel);
        if (!SendImageEchoed(info->kernel_file, result)) {
            ok = false;
            if (result.empty()) {
                result = kFailKernel;
            }
        }
    }
    struct BootStep {
        const char* text;
        BootCommand command;
        const char* failure;
    };
    const BootStep bootSteps[] = {
        {kTextSendingUpdate, bcSendUpdate, kFailUpdate},
        {kTextClearing, bcClearFlash, kFailClear},
        {kTextErasing, bcEraseFlash, kFailErase},
        {kTextProgramming, bcProgramFlash, kFailProgram},
    };
    for (const BootStep& step : bootSteps) {
        if (ok) {
            PostText(step.text);
            if (!SendBootCommand(step.command)) {
                fail(step.failure);
            }
        }
    }
    if (ok && updateMethod == kMethodTagLanguage) {
        PostText(kTextStarting);
        if (!SendBootCommand(bcStartNewCode)) {
            fail(kFailStart);
        }
    }
    if (ok) {
        result = kTextSuccess;
    }
    PostText(result);
    platform::SleepMs(kFinalPauseMs);
}
