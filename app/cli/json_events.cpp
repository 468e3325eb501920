#include "app/cli/json_events.h"

#include "app/worker_line.h"

namespace cli {

nlohmann::json LineEvent(const std::string& device, const std::string& line) {
    const app::WorkerLine read = app::ReadWorkerLine(line);
    switch (read.kind) {
    case app::LineKind::Progress:
        return {{"event", "progress"},
                {"device", device},
                {"sent", read.progress.sent},
                {"total", read.progress.total},
                {"percent", read.progress.percent}};
    case app::LineKind::Error:
        return {{"event", "error"}, {"device", device}, {"text", read.text}};
    case app::LineKind::Status:
        break;
    }
    return {{"event", "step"}, {"device", device}, {"text", read.text}};
}

nlohmann::json QuestionEvent(const std::string& device, const std::string& text, const std::string& caption) {
    return {{"event", "question"}, {"device", device}, {"text", text}, {"caption", caption}};
}

nlohmann::json AnswerEvent(const std::string& device, bool yes) {
    return {{"event", "answer"}, {"device", device}, {"answer", yes ? "yes" : "no"}};
}

nlohmann::json ResultEvent(const UpdateOutcome& outcome) {
    nlohmann::json event = {{"event", "result"},
                            {"device", outcome.device},
                            {"text", outcome.finalText},
                            {"status", static_cast<int>(outcome.status)}};
    if (!outcome.linkFailure.empty()) event["detail"] = outcome.linkFailure;
    AddFailureDetail(event, outcome.failure);
    return event;
}

void AddFailureDetail(nlohmann::json& object, const engine::FailureDetail& failure) {
    if (failure.reason == engine::FailureReason::kNone) return;
    object["stage"] = engine::StepEntryOf(failure.step).name;
    object["reason"] = engine::ReasonName(failure.reason);
}

std::string JsonLine(const nlohmann::json& object) {
    // The instrument's version text may hold any byte: replace what is not
    // UTF-8 instead of throwing.
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

JsonEventObserver::JsonEventObserver(std::string device, std::FILE* out, std::mutex& outMutex)
    : device_(std::move(device)), out_(out), outMutex_(outMutex) {}

void JsonEventObserver::OnLine(const std::string& line) { Write(LineEvent(device_, line)); }

void JsonEventObserver::OnQuestion(const std::string& text, const std::string& caption) {
    Write(QuestionEvent(device_, text, caption));
}

void JsonEventObserver::OnAnswer(bool yes) { Write(AnswerEvent(device_, yes)); }

void JsonEventObserver::OnEnd(const UpdateOutcome& outcome) { Write(ResultEvent(outcome)); }

void JsonEventObserver::Write(const nlohmann::json& object) {
    std::string line = JsonLine(object);
    line += '\n';
    std::lock_guard lock(outMutex_);
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
}

}  // namespace cli
