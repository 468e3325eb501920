#include "app/cli/run_observers.h"

#include <chrono>

#include "app/cli/json_events.h"
#include "app/cli/report_file.h"
#include "app/cli/update_report.h"
#include "app/port_text.h"
#include "app/worker_line.h"

namespace cli {
namespace {

std::int64_t SteadyNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void ObserverChain::OnLine(const std::string& line) {
    for (UpdateObserver* observer : observers_) observer->OnLine(line);
}

void ObserverChain::OnQuestion(const std::string& text, const std::string& caption) {
    for (UpdateObserver* observer : observers_) observer->OnQuestion(text, caption);
}

void ObserverChain::OnAnswer(bool yes) {
    for (UpdateObserver* observer : observers_) observer->OnAnswer(yes);
}

void ObserverChain::OnEnd(const UpdateOutcome& outcome) {
    for (UpdateObserver* observer : observers_) observer->OnEnd(outcome);
}

void ObserverChain::OnMessageAhead() {
    for (UpdateObserver* observer : observers_) observer->OnMessageAhead();
}

ConsoleObserver::ConsoleObserver(const CliOptions& options, const ConsoleStreams& streams)
    : raw_(options.raw),
      err_(streams.err),
      presenter_({options.raw, streams.outIsTerminal, streams.outIsTerminal && streams.colourAllowed}, streams.out,
                 streams.err, SteadyNowMs) {}

void ConsoleObserver::OnEnd(const UpdateOutcome& outcome) {
    presenter_.Finish();
    if (outcome.status == kExitLinkNotOpened) {
        std::fprintf(err_, "%s\n%s\n", std::string(app::kLinkFailureText).c_str(), outcome.linkFailure.c_str());
    } else if (outcome.status == kExitOperatorDeclined && !raw_) {
        std::fprintf(err_, "Update cancelled: the operator answered No.\n");
    }
}

void ReportObserver::OnEnd(const UpdateOutcome& outcome) {
    const std::string failure = AppendReportLine(path_, JsonLine(BuildUpdateRecord(outcome, info_, toolVersion_)));
    if (!failure.empty()) std::fprintf(err_, "warning: the update's record was not kept: %s\n", failure.c_str());
}

void TraceMarkerObserver::OnLine(const std::string& line) {
    if (app::ReadWorkerLine(line).kind != app::LineKind::Progress) trace_.Marker(line);
}

}  // namespace cli
