#include "app/cli/update_run.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "app/cli/confirmation.h"
#include "app/cli/device_board.h"
#include "app/cli/device_run.h"
#include "app/cli/interrupt_policy.h"
#include "app/cli/interrupts.h"
#include "app/cli/json_events.h"
#include "app/cli/report_file.h"
#include "app/cli/run_notes.h"
#include "app/cli/run_observers.h"
#include "app/configuration.h"
#include "app/image_check.h"
#include "app/port_map.h"
#include "app/port_text.h"
#include "app/profile_source.h"
#include "comlink/port_devices.h"
#include "comlink/serial.h"
#include "wiretrace/tracing_port.h"
#include "platform/file_exists.h"
#include "platform/profile.h"

namespace cli {
namespace {

std::int64_t SteadyNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
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

// Why the run must not start before any port opens, or empty.
std::string Refusal(const CliOptions& options, const app::ImageCheck& images) {
    if (images.refusal) return *images.refusal;
    if (!options.reportPath) return {};
    // A FIFO would block the open until a reader came; a device or a folder
    // is no place for records.
    if (!app::UsableAsProfile(*options.reportPath)) {
        return "--report " + *options.reportPath + " is not a regular file (a directory, device, FIFO or socket)";
    }
    return CheckReportFile(*options.reportPath);
}

// The trace file of the n-th of `count` devices.
std::string TracePathFor(const std::string& path, std::size_t index, std::size_t count) {
    return count == 1 ? path : path + "." + std::to_string(index + 1);
}

// Everything one device's run needs, kept alive for the whole run.
struct DeviceSlot {
    LinkChoice link;
    std::shared_ptr<TraceFile> trace;
    std::unique_ptr<UpdateObserver> display;
    std::unique_ptr<ReportObserver> report;
    std::unique_ptr<TraceMarkerObserver> markers;
    ObserverChain chain;
    std::unique_ptr<DeviceRun> run;
    UpdateOutcome outcome;
};

// The stop rules over every device: a stop is harmless only when no
// instrument sits in its boot side.
class StopHandler {
public:
    StopHandler(std::vector<std::unique_ptr<DeviceSlot>>& slots, std::FILE* err) : slots_(slots), err_(err) {}

    void OnRequest(StopRequest request) {
        RunStage stage = RunStage::kEnded;
        std::string step;
        for (const auto& slot : slots_) {
            const RunStage own = slot->run->Stage();
            if (own == RunStage::kEnded || stage == RunStage::kBootSide) continue;
            if (stage == RunStage::kEnded || own == RunStage::kBootSide) {
                stage = own;
                step = slot->run->LastStep();
            }
        }
        const InterruptAnswer answer = request.systemEnding ? InterruptPolicy::OnSystemEnding(stage, step)
                                                            : policy_.OnRequest(stage, step, SteadyNowMs());
        for (const auto& slot : slots_) slot->run->MakeWayForMessage();
        std::fprintf(err_, "%s\n", answer.message.c_str());
        std::fflush(nullptr);
        if (!answer.stop) return;
        const auto status = static_cast<ExitStatus>(kExitStoppedBySignal + request.signalNumber);
        for (const auto& slot : slots_) slot->run->Stop(status);
        std::fflush(nullptr);
        EndStoppedProcess(status);
    }

private:
    std::vector<std::unique_ptr<DeviceSlot>>& slots_;
    std::FILE* err_;
    InterruptPolicy policy_;
};

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

std::vector<LinkChoice> ChooseLinks(const CliOptions& options, const platform::ProfileFile& profile) {
    std::vector<LinkChoice> links;
    for (const int port : options.ports) {
        CliOptions one;
        one.port = port;
        links.push_back(ChooseLink(one, profile));
    }
    for (std::size_t i = 0; i < options.devices.size(); ++i) {
        CliOptions one;
        one.device = options.devices[i];
        LinkChoice link = ChooseLink(one, profile);
        // Each device opens under a port number of its own.
        if (link.namedDirectly) link.portNumber = static_cast<int>(i) + 1;
        links.push_back(link);
    }
    return links;
}

ExitStatus RunUpdates(const CliOptions& options, const std::string& iniPath, const ConsoleStreams& streams,
                      const std::string& toolVersion) {
    // Read once: a pipe gives its text only once, and a second reading that
    // found nothing would send --port to the system's own device.
    const platform::ProfileFile profile(iniPath);
    WarnAboutConfiguration(options, iniPath, profile, streams.err);
    const update_info info = app::ReadUpdateInfo(profile);
    const app::ImageCheck images = app::CheckImages(info);
    const std::vector<LinkChoice> links = ChooseLinks(options, profile);
    if (const std::string refusal = Refusal(options, images); !refusal.empty()) {
        std::fprintf(streams.err, "updater-cli: %s\n", refusal.c_str());
        return kExitUsageError;
    }

    const bool several = links.size() > 1;
    std::vector<std::string> devices;
    for (const LinkChoice& link : links) devices.push_back(link.devicePath);
    std::unique_ptr<DeviceBoard> board;
    if (several && !options.json) board = std::make_unique<DeviceBoard>(devices, streams.out, streams.outIsTerminal);
    std::mutex jsonMutex;

    std::vector<std::unique_ptr<DeviceSlot>> slots;
    std::map<int, std::shared_ptr<TraceFile>> traces;  // by port index
    for (std::size_t i = 0; i < links.size(); ++i) {
        auto slot = std::make_unique<DeviceSlot>();
        slot->link = links[i];
        if (slot->link.unmapped) {
            std::fprintf(streams.err, "note: COM%d has no entry under [PORTS] of %s; opening %s\n",
                         slot->link.portNumber, iniPath.c_str(), slot->link.devicePath.c_str());
        }
        SetPortDevicePath(slot->link.portNumber - 1, slot->link.devicePath);
        if (options.json) {
            slot->display = std::make_unique<JsonEventObserver>(slot->link.devicePath, streams.out, jsonMutex);
        } else if (board) {
            slot->display = std::make_unique<BoardObserver>(*board, i);
        } else {
            slot->display = std::make_unique<ConsoleObserver>(options, streams);
        }
        slot->chain.Add(*slot->display);
        if (options.tracePath) {
            slot->trace = std::make_shared<TraceFile>(TracePathFor(*options.tracePath, i, links.size()), streams.err);
            if (!slot->trace->IsOpen()) {
                std::fprintf(streams.err, "updater-cli: cannot write the trace: %s\n", slot->trace->Error().c_str());
                return kExitUsageError;
            }
            traces[slot->link.portNumber - 1] = slot->trace;
            slot->markers = std::make_unique<TraceMarkerObserver>(*slot->trace);
            slot->chain.Add(*slot->markers);
        }
        if (options.reportPath) {
            slot->report = std::make_unique<ReportObserver>(*options.reportPath, info, toolVersion, streams.err);
            slot->chain.Add(*slot->report);
        }
        slots.push_back(std::move(slot));
    }

    // Traced ports wrap whatever the installed factory builds.
    std::unique_ptr<ScopedPortFactory> tracing;
    if (!traces.empty()) {
        tracing = std::make_unique<ScopedPortFactory>(
            [inner = InstalledPortFactory(), traces](int portIndex, int rxSize, int txSize) -> std::unique_ptr<QvComLink> {
                std::unique_ptr<QvComLink> port = inner(portIndex, rxSize, txSize);
                const auto found = traces.find(portIndex);
                if (!port || found == traces.end()) return port;
                return std::make_unique<TracingPort>(std::move(port), found->second);
            });
    }

    // One question at a time on the console, each naming its device when
    // several run.
    std::mutex questionMutex;
    const ConfirmationStreams questionStreams{streams.err, streams.in, streams.inIsTerminal};
    for (const auto& slot : slots) {
        DeviceRunSetup setup;
        setup.link = slot->link;
        setup.info = &info;
        setup.digestImages = options.reportPath.has_value();
        setup.answer = [&, device = slot->link.devicePath](const std::string& text, const std::string& caption) {
            std::lock_guard lock(questionMutex);
            const std::string shown = several ? device + ": " + text : text;
            platform::Answer answer = platform::Answer::No;
            auto ask = [&] { answer = AnswerQuestion(options.answer, shown, caption, questionStreams); };
            if (board) {
                board->Ask(ask);
            } else {
                ask();
            }
            return answer;
        };
        if (auto* console = dynamic_cast<ConsoleObserver*>(slot->display.get())) {
            setup.onTransmitQueueProbe = [console](std::function<std::int64_t()> probe) {
                console->Presenter().SetTransmitQueueProbe(std::move(probe));
            };
        }
        slot->run = std::make_unique<DeviceRun>(std::move(setup), slot->chain);
    }

    // Ctrl-C, SIGTERM and SIGHUP reach the stop rules on the watch's thread.
    // A stop ends the process there and then: a worker cannot be cancelled
    // mid-step, and the instrument is told nothing more.
    StopHandler stops(slots, streams.err);
    {
        const InterruptWatch watch([&stops](StopRequest request) { stops.OnRequest(request); });
        std::vector<std::jthread> workers;
        for (const auto& slot : slots) {
            workers.emplace_back([&slot = *slot] { slot.outcome = slot.run->Run(); });
        }
    }

    ExitStatus status = kExitSuccess;
    std::vector<UpdateOutcome> outcomes;
    for (const auto& slot : slots) {
        outcomes.push_back(slot->outcome);
        status = std::max(status, slot->outcome.status);
        for (const std::string& note : NotesAfterRun(slot->outcome, images.missing)) {
            std::fprintf(streams.err, "%s%s\n", several ? (slot->link.devicePath + ": ").c_str() : "", note.c_str());
        }
    }
    if (board) {
        const std::string table = SummaryTable(outcomes);
        std::fwrite(table.data(), 1, table.size(), streams.out);
        std::fflush(streams.out);
    }
    return status;
}

}  // namespace cli
