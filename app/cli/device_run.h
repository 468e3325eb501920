#pragma once
// One instrument's update from the command line, run on the calling thread,
// which acts as the worker's window thread: an UpdateSession with a
// ConsoleWindow, its events passed to an observer one at a time, and the
// stage the stop rules need, readable from any thread.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "app/cli/interrupt_policy.h"
#include "app/cli/update_observer.h"
#include "app/cli/update_run.h"
#include "engine/update_info.h"
#include "platform/window_services.h"

namespace cli {

// Answers the operator's question for one instrument (on its worker's thread).
using QuestionAnswerer = std::function<platform::Answer(const std::string& text, const std::string& caption)>;

struct DeviceRunSetup {
    LinkChoice link;
    const update_info* info = nullptr;
    QuestionAnswerer answer;
    // The images' sizes and digests are read only for a report that keeps them.
    bool digestImages = false;
    // The bar's rate counts the bytes on the line, not those queued.
    std::function<void(std::function<std::int64_t()>)> onTransmitQueueProbe;
};

class DeviceRun final : private UpdateObserver {
public:
    DeviceRun(DeviceRunSetup setup, UpdateObserver& observer);

    // Runs the update; returns once the worker is gone (its port closed).
    UpdateOutcome Run();

    // Any thread: how far the update has come, and its last step text.
    RunStage Stage() const;
    std::string LastStep() const;
    // Any thread: lets the observer end a drawing before a message.
    void MakeWayForMessage();
    // Any thread, when a stop ends the process: the observer's end with
    // `status` unless it has ended already; then the device is released.
    void Stop(ExitStatus status);

private:
    void OnLine(const std::string& line) override;
    void OnStep(engine::UpdateStep step, const std::string& text) override;
    void OnQuestion(const std::string& text, const std::string& caption) override;
    void OnAnswer(bool yes) override;
    void OnResult(const app::UpdateResult& result) override;
    // With mutex_ held: tells the observer once.
    void EndOnce();

    DeviceRunSetup setup_;
    UpdateObserver& observer_;
    // Timed: a stop must not wait long for an observer that is itself
    // waiting (the board while the operator is asked).
    mutable std::timed_mutex mutex_;
    UpdateOutcome outcome_;
    RunStage stage_ = RunStage::kDialogue;
    std::string lastStep_;
    std::atomic<std::intptr_t> linkHandle_{0};
    bool ended_ = false;
    std::function<void()> closeWindow_;
};

// Milliseconds since 1970 on the wall clock.
std::int64_t UnixNowMs();

}  // namespace cli
