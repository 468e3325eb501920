#pragma once
// Runs one instrument's update on the calling thread, which acts as the
// worker's window thread: opens the link, runs the DataExchange worker with a
// ConsoleWindow, passes every line and the question to an observer, and
// returns once the worker is gone (its port closed).

#include <functional>
#include <mutex>
#include <string>

#include "app/cli/update_outcome.h"
#include "app/cli/update_observer.h"
#include "app/cli/update_run.h"
#include "engine/update_info.h"
#include "platform/window_services.h"

namespace cli {

// Answers the operator's question for one instrument (on its worker's thread).
using QuestionAnswerer = std::function<platform::Answer(const std::string& text, const std::string& caption)>;

struct DeviceUpdateSetup {
    LinkChoice link;
    const update_info* info = nullptr;
    QuestionAnswerer answer;
    // Held while the link opens: the record of the last failed open is
    // process-wide, so opens of several devices take turns.
    std::mutex* openMutex = nullptr;
};

// The observer sees every event; the outcome is also returned.
UpdateOutcome RunDeviceUpdate(const DeviceUpdateSetup& setup, UpdateObserver& observer);

// The window's text for a link that cannot be opened.
inline constexpr const char* kLinkFailureText =
    "ERROR: Can not establish communications.  Make sure all connections are made and the instrument is on.";

// Milliseconds since 1970 on the wall clock.
std::int64_t UnixNowMs();

}  // namespace cli
