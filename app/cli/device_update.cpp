#include "app/cli/device_update.h"

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>

#include "app/cli/console_window.h"
#include "app/worker_line.h"
#include "comlink/port_devices.h"
#include "engine/data_exchange.h"

namespace cli {
namespace {

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

bool IsStepText(const std::string& line) {
    return app::ReadWorkerLine(line).kind == app::LineKind::Status;
}

}  // namespace

std::int64_t UnixNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

UpdateOutcome RunDeviceUpdate(const DeviceUpdateSetup& setup, UpdateObserver& observer) {
    UpdateOutcome outcome;
    outcome.device = setup.link.devicePath;
    outcome.startUnixMs = UnixNowMs();
    outcome.installedVersion = "Unknown";

    std::atomic<bool> declined{false};
    ConsoleWindow window([&](const std::string& text, const std::string& caption) {
        observer.OnQuestion(text, caption);
        const platform::Answer answer = setup.answer(text, caption);
        if (answer == platform::Answer::No) declined = true;
        observer.OnAnswer(answer != platform::Answer::No);
        return answer;
    });

    auto worker = std::make_unique<DataExchange>(window, ConsoleWindow::kHandle, *setup.info);
    bool opened = false;
    {
        std::unique_lock<std::mutex> lock;
        if (setup.openMutex != nullptr) lock = std::unique_lock(*setup.openMutex);
        opened = worker->OpenLink(setup.link.portNumber);
        if (!opened) outcome.linkFailure = LinkFailureDetail(setup.link, worker->LinkOpenFailure());
    }
    if (!opened) {
        outcome.status = kExitLinkNotOpened;
        outcome.finalText = kLinkFailureText;
        outcome.endUnixMs = UnixNowMs();
        observer.OnEnd(outcome);
        return outcome;
    }

    std::optional<std::string> lastLine;
    auto show = [&](const std::string& line) {
        if (lastLine && IsStepText(*lastLine)) outcome.steps.push_back(*lastLine);
        lastLine = line;
        observer.OnLine(line);
    };
    DataExchange* current = worker.get();
    worker->SetEndNotification([&] {
        while (current != nullptr) {
            std::optional<std::string> line = current->TakeText();
            if (!line) break;
            show(*line);
        }
        // The body has returned: what it learnt of the instrument is final.
        if (current != nullptr) {
            outcome.installedVersion = current->InstalledVersion();
            outcome.updateMethod = current->UpdateMethod();
        }
        current = nullptr;
        window.Close();
    });
    const std::shared_future<void> ended = platform::Thread::Start(std::move(worker));
    window.RunUntilClosed([&] {
        if (current == nullptr) return;
        if (std::optional<std::string> line = current->TakeText()) show(*line);
    });
    ended.wait();

    outcome.status = ExitStatusForRun(lastLine, declined);
    outcome.finalText = lastLine.value_or("");
    outcome.endUnixMs = UnixNowMs();
    observer.OnEnd(outcome);
    return outcome;
}

}  // namespace cli
