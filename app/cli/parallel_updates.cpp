#include "app/cli/parallel_updates.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "app/cli/confirmation.h"
#include "app/cli/device_board.h"
#include "app/cli/device_update.h"
#include "app/cli/json_events.h"
#include "app/cli/line_presenter.h"
#include "app/cli/report_file.h"
#include "app/cli/trace_file.h"
#include "app/cli/update_report.h"
#include "app/configuration.h"
#include "app/port_map.h"
#include "app/worker_line.h"
#include "comlink/port_devices.h"
#include "comlink/serial.h"
#include "comlink/tracing_port.h"
#include "platform/profile.h"
#include "platform/file_exists.h"

namespace cli {
namespace {

std::int64_t SteadyNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Passes every event to several observers in turn.
class ObserverChain final : public UpdateObserver {
public:
    void Add(UpdateObserver& observer) { observers_.push_back(&observer); }
    void OnLine(const std::string& line) override {
        for (UpdateObserver* observer : observers_) observer->OnLine(line);
    }
    void OnQuestion(const std::string& text, const std::string& caption) override {
        for (UpdateObserver* observer : observers_) observer->OnQuestion(text, caption);
    }
    void OnAnswer(bool yes) override {
        for (UpdateObserver* observer : observers_) observer->OnAnswer(yes);
    }
    void OnEnd(const UpdateOutcome& outcome) override {
        for (UpdateObserver* observer : observers_) observer->OnEnd(outcome);
    }

private:
    std::vector<UpdateObserver*> observers_;
};

// One instrument on the console, exactly as the plain run shows it.
class ConsoleObserver final : public UpdateObserver {
public:
    ConsoleObserver(const CliOptions& options, const ConsoleStreams& streams)
        : raw_(options.raw),
          err_(streams.err),
          presenter_({options.raw, streams.outIsTerminal, streams.outIsTerminal && streams.colourAllowed},
                     streams.out, streams.err, SteadyNowMs) {}
    void OnLine(const std::string& line) override { presenter_.Show(line); }
    void OnQuestion(const std::string&, const std::string&) override {}
    void OnAnswer(bool) override {}
    void OnEnd(const UpdateOutcome& outcome) override {
        presenter_.Finish();
        if (outcome.status == kExitLinkNotOpened) {
            std::fprintf(err_, "%s\n%s\n", kLinkFailureText, outcome.linkFailure.c_str());
        } else if (outcome.status == kExitOperatorDeclined && !raw_) {
            std::fprintf(err_, "Update cancelled: the operator answered No.\n");
        }
    }

private:
    bool raw_;
    std::FILE* err_;
    LinePresenter presenter_;
};

// One instrument's line on the shared board.
class BoardObserver final : public UpdateObserver {
public:
    BoardObserver(DeviceBoard& board, std::size_t index) : board_(board), index_(index) {}
    void OnLine(const std::string& line) override { board_.Show(index_, line); }
    void OnQuestion(const std::string&, const std::string&) override {}
    void OnAnswer(bool) override {}
    void OnEnd(const UpdateOutcome& outcome) override { board_.End(index_, outcome); }

private:
    DeviceBoard& board_;
    std::size_t index_;
};

// Appends the audit record when the update has ended.
class ReportObserver final : public UpdateObserver {
public:
    ReportObserver(std::string path, const update_info& info, std::string toolVersion, std::FILE* err)
        : path_(std::move(path)), info_(info), toolVersion_(std::move(toolVersion)), err_(err) {}
    void OnLine(const std::string&) override {}
    void OnQuestion(const std::string&, const std::string&) override {}
    void OnAnswer(bool) override {}
    void OnEnd(const UpdateOutcome& outcome) override {
        const std::string failure =
            AppendReportLine(path_, JsonLine(BuildUpdateRecord(outcome, info_, toolVersion_)));
        if (!failure.empty()) std::fprintf(err_, "warning: the update's record was not kept: %s\n", failure.c_str());
    }

private:
    std::string path_;
    const update_info& info_;
    std::string toolVersion_;
    std::FILE* err_;
};

// Puts each step text into the wire trace as a marker.
class TraceMarkerObserver final : public UpdateObserver {
public:
    explicit TraceMarkerObserver(TraceFile& trace) : trace_(trace) {}
    void OnLine(const std::string& line) override {
        const app::WorkerLine read = app::ReadWorkerLine(line);
        if (read.kind != app::LineKind::Progress) trace_.Marker(line);
    }
    void OnQuestion(const std::string& text, const std::string&) override { trace_.Marker(text); }
    void OnAnswer(bool yes) override { trace_.Marker(yes ? "answer: yes" : "answer: no"); }
    void OnEnd(const UpdateOutcome&) override {}

private:
    TraceFile& trace_;
};

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
    UpdateOutcome outcome;
};

}  // namespace

bool NeedsObservedRun(const CliOptions& options) {
    return options.json || options.reportPath || options.tracePath || options.ports.size() > 1 ||
           options.devices.size() > 1;
}

std::vector<LinkChoice> ChooseLinks(const CliOptions& options, const std::string& iniPath) {
    const platform::ProfileFile profile(iniPath);  // read once for every link
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

ExitStatus RunObservedUpdates(const CliOptions& options, const std::string& iniPath,
                              const ConsoleStreams& streams, const std::string& toolVersion) {
    if (options.iniPath && !platform::FileExists(iniPath)) {
        std::fprintf(streams.err, "warning: %s not found; the defaults apply\n", iniPath.c_str());
    }
    const update_info info = app::ReadUpdateInfo(iniPath);
    const std::vector<LinkChoice> links = ChooseLinks(options, iniPath);
    if (links.size() > static_cast<std::size_t>(app::kMaxPort)) {
        std::fprintf(streams.err, "updater-cli: at most %d instruments at once\n", app::kMaxPort);
        return kExitUsageError;
    }
    if (options.reportPath) {
        if (const std::string failure = CheckReportFile(*options.reportPath); !failure.empty()) {
            std::fprintf(streams.err, "updater-cli: %s\n", failure.c_str());
            return kExitUsageError;
        }
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
            slot->trace = std::make_shared<TraceFile>(TracePathFor(*options.tracePath, i, links.size()));
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
    std::mutex openMutex;
    auto run = [&](DeviceSlot& slot) {
        DeviceUpdateSetup setup;
        setup.link = slot.link;
        setup.info = &info;
        setup.openMutex = &openMutex;
        setup.answer = [&](const std::string& text, const std::string& caption) {
            std::lock_guard lock(questionMutex);
            const std::string shown = several ? slot.link.devicePath + ": " + text : text;
            platform::Answer answer = platform::Answer::No;
            auto ask = [&] { answer = AnswerQuestion(options.answer, shown, caption, questionStreams); };
            if (board) {
                board->Ask(ask);
            } else {
                ask();
            }
            return answer;
        };
        slot.outcome = RunDeviceUpdate(setup, slot.chain);
    };
    if (several) {
        std::vector<std::jthread> workers;
        for (auto& slot : slots) workers.emplace_back([&run, &slot] { run(*slot); });
    } else {
        run(*slots.front());
    }

    ExitStatus status = kExitSuccess;
    std::vector<UpdateOutcome> outcomes;
    for (const auto& slot : slots) {
        outcomes.push_back(slot->outcome);
        status = std::max(status, slot->outcome.status);
    }
    if (board) {
        const std::string table = SummaryTable(outcomes);
        std::fwrite(table.data(), 1, table.size(), streams.out);
        std::fflush(streams.out);
    }
    return status;
}

}  // namespace cli
