#include "engine/update_failure.h"

namespace engine {

const char* ReasonName(FailureReason reason) {
    switch (reason) {
    case FailureReason::kNone: return "none";
    case FailureReason::kImageMissing: return "image-missing";
    case FailureReason::kImageUnusable: return "image-unusable";
    case FailureReason::kNoAnswer: return "no-answer";
    case FailureReason::kWrongEcho: return "wrong-echo";
    case FailureReason::kWrongEndCode: return "wrong-end-code";
    case FailureReason::kStatusByte: return "status";
    case FailureReason::kMemoryErrors: return "memory-errors";
    case FailureReason::kWriteError: return "write-error";
    case FailureReason::kDeviceGone: return "device-gone";
    }
    return "none";
}

}  // namespace engine
