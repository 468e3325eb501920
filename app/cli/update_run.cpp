#include "app/cli/update_run.h"

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <future>
#include <memory>
#include <optional>

#include "app/cli/confirmation.h"
#include "app/cli/console_window.h"
#include "app/cli/image_check.h"
#include "app/cli/interrupt_policy.h"
#include "app/cli/interrupts.h"
#include "app/cli/line_presenter.h"
#include "app/cli/run_notes.h"
#include "app/configuration.h"
#include "app/port_map.h"
#include "app/port_text.h"
#include "comlink/port_devices.h"
#include "engine/data_exchange.h"
#include "platform/file_exists.h"
#include "platform/profile.h"

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

// A configuration that gives nothing but the defaults is worth a word: a
// missing or unreadable file, or one without an [UPDATE] section (empty,
// binary, or another program's file).
void WarnAboutConfiguration(const CliOptions& options, const std::string& iniPath,
                            const platform::ProfileFile& profile, std::FILE* err) {
    if (!profile.Loaded()) {
        // Beside the program the file is optional; a named one is not.
        if (!options.iniPath) return;
        const char* why = platform::FileExists(iniPath) ? "cannot be read" : "not found";
        std::fprintf(err, "warning: %s %s; the defaults apply\n", iniPath.c_str(), why);
    } else if (profile.Keys(app::kUpdateSection).empty()) {
        std::fprintf(err, "warning: %s has no [UPDATE] section with keys; the defaults apply\n", iniPath.c_str());
    }
}

}  // namespace

std::string IniPathOf(const CliOptions& options, const std::string& defaultIniPath) {
    return options.iniPath ? *options.iniPath : defaultIniPath;
}

LinkChoice ChooseLink(const CliOptions& options, const platform::ProfileFile& profile) {
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
        const app::PortMap ports = app::ReadPortMap(profile);
        link.devicePath = app::DevicePathForPort(link.portNumber, ports);
        link.unmapped = !ports.contains(link.portNumber);
    }
    return link;
}

ExitStatus RunUpdateFromConsole(const CliOptions& options, const std::string& iniPath,
                                const ConsoleStreams& streams) {
    // Read once: a pipe gives its text only once, and a second reading that
    // found nothing would send --port to the system's own device.
    const platform::ProfileFile profile(iniPath);
    WarnAboutConfiguration(options, iniPath, profile, streams.err);
    const update_info info = app::ReadUpdateInfo(profile);
    const ImageCheck images = CheckImages(info);
    if (images.refusal) {
        std::fprintf(streams.err, "updater-cli: %s\n", images.refusal->c_str());
        return kExitUsageError;
    }
    const LinkChoice link = ChooseLink(options, profile);
    if (link.unmapped) {
        std::fprintf(streams.err, "note: COM%d has no entry under [PORTS] of %s; opening %s\n", link.portNumber,
                     iniPath.c_str(), link.devicePath.c_str());
    }
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
    const std::intptr_t linkHandle = worker->LinkHandle();

    const PresenterSettings settings{options.raw, streams.outIsTerminal,
                                     streams.outIsTerminal && streams.colourAllowed};
    LinePresenter presenter(settings, streams.out, streams.err, SteadyNowMs);
    std::optional<std::string> lastLine;
    bool dialogueAnswered = false;
    RunStage stage = RunStage::kDialogue;
    std::string lastStep;
    auto show = [&](const std::string& line) {
        lastLine = line;
        dialogueAnswered = dialogueAnswered || line == kSwitchingText;
        stage = StageAfterLine(stage, line);
        if (!line.starts_with("DATA:")) lastStep = line;
        presenter.Show(line);
    };

    // Ctrl-C and SIGTERM are handled in the loop below, like the worker's
    // lines. A stop ends the process there and then: the worker cannot be
    // cancelled mid-step, and the instrument is told nothing more.
    InterruptPolicy interrupts;
    auto onRequest = [&](StopRequest request) {
        const InterruptAnswer answer = request.systemEnding
                                           ? InterruptPolicy::OnSystemEnding(stage, lastStep)
                                           : interrupts.OnRequest(stage, lastStep, SteadyNowMs());
        presenter.Finish();
        std::fprintf(streams.err, "%s\n", answer.message.c_str());
        std::fflush(nullptr);
        if (!answer.stop) return;
        ReleaseDeviceForOthers(linkHandle);
        EndStoppedProcess(kExitStoppedBySignal + request.signalNumber);
    };
    const InterruptWatch watch([&](StopRequest request) {
        window.RunOnWindowThread([&onRequest, request] { onRequest(request); });
    });

    // The window's side of the channel: one line per notification while the
    // worker is attached; the end notification drains the rest and detaches.
    DataExchange* current = worker.get();
    presenter.SetTransmitQueueProbe([&current] { return current != nullptr ? current->QueuedForLine() : 0; });
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
    for (const std::string& note : NotesAfterRun({lastLine, dialogueAnswered, link.devicePath, images.missing})) {
        std::fprintf(streams.err, "%s\n", note.c_str());
    }

    const ExitStatus status = ExitStatusForRun(lastLine, declined);
    if (status == kExitOperatorDeclined && !options.raw) {
        std::fprintf(streams.err, "Update cancelled: the operator answered No.\n");
    }
    return status;
}

}  // namespace cli
