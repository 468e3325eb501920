#include "app/cli/update_run.h"

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>

#include "app/cli/confirmation.h"
#include "app/cli/console_window.h"
#include "app/cli/line_presenter.h"
#include "app/configuration.h"
#include "app/port_map.h"
#include "app/port_text.h"
#include "comlink/port_devices.h"
#include "engine/data_exchange.h"
#include "platform/file_exists.h"

namespace cli {
namespace {


std::int64_t SteadyNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void ReportLinkFailure(const LinkChoice& link, const std::optional<DeviceOpenFailure>& failure,
                       const ConsoleStreams& streams) {
    std::fprintf(streams.err, "%s\n", std::string(app::kLinkFailureText).c_str());
    if (!failure) {
        std::fprintf(streams.err, "%s: the device opened but could not be prepared for the line\n",
                     link.devicePath.c_str());
        return;
    }
    std::string detail = DescribeDeviceOpenFailure(*failure);
    // A device named directly has no COM number worth showing.
    const std::string comPrefix = "COM" + std::to_string(failure->portIndex + 1) + " (" + failure->path + "): ";
    if (link.namedDirectly && detail.starts_with(comPrefix)) {
        detail = failure->path + ": " + detail.substr(comPrefix.size());
    }
    std::fprintf(streams.err, "%s\n", detail.c_str());
}

}  // namespace

std::string IniPathOf(const CliOptions& options, const std::string& defaultIniPath) {
    return options.iniPath ? *options.iniPath : defaultIniPath;
}

LinkChoice ChooseLink(const CliOptions& options, const std::string& iniPath) {
    LinkChoice link;
    // On Windows a --device COM7 (or \\.\COM7) opens the port of that number.
    if (options.device && app::PortNumberOfDeviceName(*options.device) != 0) {
        link.portNumber = app::PortNumberOfDeviceName(*options.device);
        link.devicePath = app::DevicePathForPort(link.portNumber, {});
    } else if (options.device) {
        link.portNumber = app::kMinPort;
        link.devicePath = *options.device;
        link.namedDirectly = true;
    } else {
        link.portNumber = options.port.value_or(app::kMinPort);
        link.devicePath = app::DevicePathForPort(link.portNumber, app::ReadPortMap(iniPath));
    }
    return link;
}

ExitStatus RunUpdateFromConsole(const CliOptions& options, const std::string& iniPath,
                                const ConsoleStreams& streams) {
    if (options.iniPath && !platform::FileExists(iniPath)) {
        std::fprintf(streams.err, "warning: %s not found; the defaults apply\n", iniPath.c_str());
    }
    const update_info info = app::ReadUpdateInfo(iniPath);
    const LinkChoice link = ChooseLink(options, iniPath);
    SetPortDevicePath(link.portNumber - 1, link.devicePath);

    std::atomic<bool> declined{false};
    const ConfirmationStreams questionStreams{streams.err, streams.in, streams.inIsTerminal};
    ConsoleWindow window([&](const std::string& text, const std::string& caption) {
        const platform::Answer answer = AnswerQuestion(options.answer, text, caption, questionStreams);
        if (answer == platform::Answer::No) declined = true;
        return answer;
    });

    auto worker = std::make_unique<DataExchange>(window, ConsoleWindow::kHandle, info);
    if (!worker->OpenLink(link.portNumber)) {
        ReportLinkFailure(link, worker->LinkOpenFailure(), streams);
        return kExitLinkNotOpened;
    }

    const PresenterSettings settings{options.raw, streams.outIsTerminal,
                                     streams.outIsTerminal && streams.colourAllowed};
    LinePresenter presenter(settings, streams.out, streams.err, SteadyNowMs);
    std::optional<std::string> lastLine;
    auto show = [&](const std::string& line) {
        lastLine = line;
        presenter.Show(line);
    };

    // The window's side of the channel: one line per notification while the
    // worker is attached; the end notification drains the rest and detaches.
    DataExchange* current = worker.get();
    worker->SetEndNotification([&] {
        while (current != nullptr) {
            std::optional<std::string> line = current->TakeText();
            if (!line) break;
            show(*line);
        }
        current = nullptr;
        window.Close();
    });
    const std::shared_future<void> ended = platform::Thread::Start(std::move(worker));
    window.RunUntilClosed([&] {
        if (current == nullptr) return;
        if (std::optional<std::string> line = current->TakeText()) show(*line);
    });
    // The worker is destroyed on its own thread; the port is closed then.
    ended.wait();
    presenter.Finish();

    const ExitStatus status = ExitStatusForRun(lastLine, declined);
    if (status == kExitOperatorDeclined && !options.raw) {
        std::fprintf(streams.err, "Update cancelled: the operator answered No.\n");
    }
    return status;
}

}  // namespace cli
