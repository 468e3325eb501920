#pragma once
// The observers a command-line run puts on each instrument's update: the
// console (plain text, bar or --raw), the shared board of several devices,
// the --report record and the --trace markers. (--json: json_events.h.)

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/device_board.h"
#include "app/cli/line_presenter.h"
#include "app/cli/trace_file.h"
#include "app/cli/update_observer.h"
#include "app/cli/update_run.h"
#include "engine/update_info.h"

namespace cli {

// Passes every event to several observers in turn.
class ObserverChain final : public UpdateObserver {
public:
    void Add(UpdateObserver& observer) { observers_.push_back(&observer); }
    void OnLine(const std::string& line) override;
    void OnQuestion(const std::string& text, const std::string& caption) override;
    void OnAnswer(bool yes) override;
    void OnEnd(const UpdateOutcome& outcome) override;
    void OnMessageAhead() override;

private:
    std::vector<UpdateObserver*> observers_;
};

// One instrument on the console: its lines as the presenter shows them.
class ConsoleObserver final : public UpdateObserver {
public:
    ConsoleObserver(const CliOptions& options, const ConsoleStreams& streams);
    LinePresenter& Presenter() { return presenter_; }
    void OnLine(const std::string& line) override { presenter_.Show(line); }
    void OnEnd(const UpdateOutcome& outcome) override;
    void OnMessageAhead() override { presenter_.Finish(); }

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
    void OnEnd(const UpdateOutcome& outcome) override { board_.End(index_, outcome); }

private:
    DeviceBoard& board_;
    std::size_t index_;
};

// Appends the audit record when the update has ended, however it ended.
class ReportObserver final : public UpdateObserver {
public:
    ReportObserver(std::string path, const update_info& info, std::string toolVersion, std::FILE* err)
        : path_(std::move(path)), info_(info), toolVersion_(std::move(toolVersion)), err_(err) {}
    void OnEnd(const UpdateOutcome& outcome) override;

private:
    std::string path_;
    const update_info& info_;
    std::string toolVersion_;
    std::FILE* err_;
};

// Puts each step text, the question and its answer into the wire trace.
class TraceMarkerObserver final : public UpdateObserver {
public:
    explicit TraceMarkerObserver(TraceFile& trace) : trace_(trace) {}
    void OnLine(const std::string& line) override;
    void OnQuestion(const std::string& text, const std::string&) override { trace_.Marker(text); }
    void OnAnswer(bool yes) override { trace_.Marker(yes ? "answer: yes" : "answer: no"); }

private:
    TraceFile& trace_;
};

}  // namespace cli
