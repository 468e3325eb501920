#include "app/cli/device_run.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include "app/cli/console_window.h"
#include "app/cli/interrupts.h"
#include "app/failure_words.h"
#include "app/port_text.h"
#include "comlink/port_devices.h"
#include "engine/update_steps.h"

namespace cli {
namespace {

// How long a stop waits for a device's observers.
constexpr std::chrono::milliseconds kStopPatience{1000};

// Why the link of `link` did not open, naming the device as the operator did.
std::string LinkFailureDetail(const LinkChoice& link, const std::optional<DeviceOpenFailure>& failure) {
    if (!failure) return link.devicePath + ": the device opened but could not be prepared for the line";
    std::string detail = DescribeDeviceOpenFailure(*failure);
    const std::string comPrefix = "COM" + std::to_string(failure->portIndex + 1) + " (" + failure->path + "): ";
    if (link.namedDirectly && detail.starts_with(comPrefix)) {
        detail = failure->path + ": " + detail.substr(comPrefix.size());
    }
    return detail;
}

// A write the link refused because the device itself went away.
engine::FailureDetail WithDeviceGone(engine::FailureDetail failure, const std::string& devicePath) {
    std::error_code error;
    if (failure.reason == engine::FailureReason::kWriteError && !std::filesystem::exists(devicePath, error)) {
        failure.reason = engine::FailureReason::kDeviceGone;
    }
    return failure;
}

}  // namespace

std::int64_t UnixNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

DeviceRun::DeviceRun(DeviceRunSetup setup, UpdateObserver& observer)
    : setup_(std::move(setup)), observer_(observer) {
    outcome_.device = setup_.link.devicePath;
}

UpdateOutcome DeviceRun::Run() {
    outcome_.startUnixMs = UnixNowMs();
    ConsoleWindow window([this](const std::string& text, const std::string& caption) {
        return setup_.answer(text, caption);
    });
    closeWindow_ = [&window] { window.Close(); };
    app::UpdateSession session(window, ConsoleWindow::kHandle, *setup_.info, *this);
    if (!session.Open(setup_.link.portNumber)) return outcome_;
    // The bytes the worker sends are those of the images it holds open now.
    if (setup_.digestImages) {
        outcome_.kernel = DigestImage(session.HeldKernel().FromStart(), session.HeldKernel().SizedLength());
        outcome_.update = DigestImage(session.HeldUpdate().FromStart(), session.HeldUpdate().SizedLength());
    }
    linkHandle_ = session.LinkHandle();
    if (setup_.onTransmitQueueProbe) setup_.onTransmitQueueProbe([&session] { return session.QueuedForLine(); });
    session.Start();
    window.RunUntilClosed([&session] { session.OnWorkerText(); });
    // The worker is destroyed on its own thread; the port is closed then.
    session.Ended().wait();
    linkHandle_ = 0;
    const std::lock_guard lock(mutex_);
    return outcome_;
}

RunStage DeviceRun::Stage() const {
    // Not known in time: taken for the boot side, where a stop warns first.
    const std::unique_lock lock(mutex_, kStopPatience);
    return lock.owns_lock() ? stage_ : RunStage::kBootSide;
}

std::string DeviceRun::LastStep() const {
    const std::unique_lock lock(mutex_, kStopPatience);
    return lock.owns_lock() ? lastStep_ : std::string();
}

void DeviceRun::MakeWayForMessage() {
    const std::unique_lock lock(mutex_, kStopPatience);
    if (lock.owns_lock()) observer_.OnMessageAhead();
}

void DeviceRun::Stop(ExitStatus status) {
    const std::unique_lock lock(mutex_, kStopPatience);
    if (lock.owns_lock() && !ended_) {
        outcome_.status = status;
        outcome_.finalText.clear();
        outcome_.endUnixMs = UnixNowMs();
        EndOnce();
    }
    ReleaseDeviceForOthers(linkHandle_);
}

void DeviceRun::OnLine(const std::string& line) {
    const std::lock_guard lock(mutex_);
    // The stop rules learn a step before any observer shows its text, so that
    // a stop request names the step the operator sees.
    stage_ = StageAfterLine(stage_, line);
    if (engine::StepOfText(line)) lastStep_ = line;
    observer_.OnLine(line);
}

void DeviceRun::OnStep(engine::UpdateStep step, const std::string& text) {
    const std::lock_guard lock(mutex_);
    outcome_.steps.push_back(text);
    observer_.OnStep(step, text);
}

void DeviceRun::OnQuestion(const std::string& text, const std::string& caption) {
    const std::lock_guard lock(mutex_);
    observer_.OnQuestion(text, caption);
}

void DeviceRun::OnAnswer(bool yes) {
    const std::lock_guard lock(mutex_);
    observer_.OnAnswer(yes);
}

void DeviceRun::OnResult(const app::UpdateResult& result) {
    const std::lock_guard lock(mutex_);
    stage_ = RunStage::kEnded;
    outcome_.status = ExitStatusFor(result.end);
    outcome_.finalText = result.finalText;
    outcome_.installedVersion = result.installedVersion;
    outcome_.updateMethod = result.updateMethod;
    if (result.end == app::UpdateEnd::kLinkNotOpened) {
        outcome_.linkFailure = LinkFailureDetail(setup_.link, result.linkFailure);
    }
    if (result.end == app::UpdateEnd::kFailed) {
        outcome_.failure = WithDeviceGone(result.failure, setup_.link.devicePath);
        outcome_.failureWords = app::DescribeFailure(outcome_.failure);
    }
    outcome_.endUnixMs = UnixNowMs();
    EndOnce();
    if (closeWindow_) closeWindow_();
}

void DeviceRun::EndOnce() {
    if (ended_) return;
    ended_ = true;
    observer_.OnEnd(outcome_);
}

}  // namespace cli
