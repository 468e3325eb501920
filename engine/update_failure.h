#pragma once
// Why an update failed, beside its result text: the step and the cause in
// figures, for front ends that say more than the window's one line.

#include <cstdint>

#include "engine/update_steps.h"

namespace engine {

enum class FailureReason : std::uint8_t {
    kNone,            // no failure (success, or the operator answered No)
    kImageMissing,    // an image file does not exist
    kImageUnusable,   // an image cannot be opened or read, is too short, or changed length
    kNoAnswer,        // nothing came within `timeoutMs`
    kWrongEcho,       // `received` came where `expected` was awaited
    kWrongEndCode,    // the kernel's end code was `received`, neither acceptance nor a report
    kStatusByte,      // the command's status byte was `received`, not 0
    kMemoryErrors,    // the kernel was refused with `count` memory errors
    kWriteError,      // the link refused a byte with `linkCode`
    kDeviceGone,      // the device disappeared (set by a front end that can tell)
};

struct FailureDetail {
    UpdateStep step = UpdateStep::kImageCheck;
    FailureReason reason = FailureReason::kNone;
    int command = 0;           // the boot-loader command of the step, 0 for none
    std::int64_t byteIndex = -1;  // the kernel byte (0 is the first), -1 for none
    int expected = -1;         // the byte awaited, -1 for none
    int received = -1;         // the byte that came, -1 for none
    int timeoutMs = 0;
    int count = 0;             // memory errors; probes sent without an answer
    int linkCode = 0;          // the link's negative code
};

// The short, stable name of a reason, for machine-readable output.
const char* ReasonName(FailureReason reason);

}  // namespace engine
