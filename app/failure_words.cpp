#include "app/failure_words.h"

#include <cstdio>

namespace app {
namespace {

using engine::FailureReason;
using engine::UpdateStep;

constexpr int kSyncAnswer = 0xAA;

std::string Hex(int byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte & 0xFF);
    return text;
}

std::string CommandName(int command) {
    const char* name = "unknown";
    switch (command) {
    case 1: name = "clear flash"; break;
    case 2: name = "erase flash"; break;
    case 4: name = "program flash"; break;
    case 5: name = "send update"; break;
    case 6: name = "start new code"; break;
    default: break;
    }
    return "command " + std::to_string(command) + " (" + name + ")";
}

std::string Within(int timeoutMs) { return " within " + std::to_string(timeoutMs) + " ms"; }

// What was awaited: a kernel byte's echo, a command's echo or its status.
std::string Awaited(const engine::FailureDetail& f) {
    if (f.step == UpdateStep::kKernel) {
        if (f.byteIndex < 0) return "the kernel's end code";
        return "echo of kernel byte " + std::to_string(f.byteIndex);
    }
    if (f.command != 0 && f.expected == 0) return "status for " + CommandName(f.command);
    return "echo of " + CommandName(f.command);
}

std::string DuringStep(UpdateStep step) {
    if (step == UpdateStep::kUpdate) return "the stream";
    return "\"" + std::string(engine::StepEntryOf(step).text) + "\"";
}

}  // namespace

std::string DescribeFailure(const engine::FailureDetail& f) {
    switch (f.reason) {
    case FailureReason::kNone:
        return {};
    case FailureReason::kImageMissing:
        return "an image file does not exist";
    case FailureReason::kImageUnusable:
        return "an image could not be read as it was when the update began";
    case FailureReason::kNoAnswer:
        if (f.step == UpdateStep::kSynchronise) {
            return "no answer " + Hex(kSyncAnswer) + " to " + std::to_string(f.count) + " probes at 38400 baud";
        }
        return "no " + Awaited(f) + Within(f.timeoutMs);
    case FailureReason::kWrongEcho:
        if (f.step == UpdateStep::kKernel && f.byteIndex == 0 && f.received == kSyncAnswer) {
            return "a late answer to the synchronisation (" + Hex(kSyncAnswer) + ") met the kernel's first echo";
        }
        return Hex(f.received) + " instead of the " + Awaited(f) + " (" + Hex(f.expected) + ")";
    case FailureReason::kWrongEndCode:
        return "end code " + Hex(f.received) + " after the kernel (" + Hex(f.expected) + " accepts it)";
    case FailureReason::kStatusByte:
        return "status " + Hex(f.received) + " for " + CommandName(f.command);
    case FailureReason::kMemoryErrors:
        return std::to_string(f.count) + " memory errors reported for the kernel";
    case FailureReason::kWriteError:
        return "the link refused a byte (code " + std::to_string(f.linkCode) + ")";
    case FailureReason::kDeviceGone:
        return "the device disappeared during " + DuringStep(f.step);
    }
    return {};
}

std::string FailureLine(const std::string& resultText, const engine::FailureDetail& failure) {
    const std::string words = DescribeFailure(failure);
    return (resultText.empty() ? std::string("no result text") : resultText) + (words.empty() ? "" : " (" + words + ")");
}

bool TellFailureAfterClose(const UpdateResult& result, std::FILE* err) {
    if (result.end != UpdateEnd::kFailed) return false;
    std::fprintf(err, "updater: the update failed after the window was closed: %s\n",
                 FailureLine(result.finalText, result.failure).c_str());
    std::fflush(err);
    return true;
}

}  // namespace app
