#pragma once
// The --json event stream: one JSON object per line on standard output for
// each thing that happens in an update. Every object has "event" and
// "device"; the kinds and their other members:
//   step      "text": a step text the worker posted
//   progress  "sent", "total", "percent": bytes of both images
//   error     "text": an ERROR: line, without its prefix
//   question  "text", "caption": the operator's question
//   answer    "answer": "yes" or "no"
//   result    "text": the final text, "status": the exit status of this
//             instrument's update, "detail" when the link did not open, and
//             after a failure with a known cause "stage" (the step's short
//             name, "kernel") and "reason" ("no-answer", "status", ...)
// The pure functions build the objects; JsonEventObserver writes them.

#include <cstdio>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "app/cli/update_observer.h"

namespace cli {

// The event for one worker line (step, progress or error).
nlohmann::json LineEvent(const std::string& device, const std::string& line);
nlohmann::json QuestionEvent(const std::string& device, const std::string& text, const std::string& caption);
nlohmann::json AnswerEvent(const std::string& device, bool yes);
nlohmann::json ResultEvent(const UpdateOutcome& outcome);
// Adds "stage" and "reason" to `object` when `failure` has a reason.
void AddFailureDetail(nlohmann::json& object, const engine::FailureDetail& failure);

// One compact line, without its line end; texts that are not valid UTF-8 are
// written with replacement characters rather than refused.
std::string JsonLine(const nlohmann::json& object);

// Writes each event as one line to `out`, whole and flushed. Several
// observers may share one stream and one mutex.
class JsonEventObserver final : public UpdateObserver {
public:
    JsonEventObserver(std::string device, std::FILE* out, std::mutex& outMutex);
    void OnLine(const std::string& line) override;
    void OnQuestion(const std::string& text, const std::string& caption) override;
    void OnAnswer(bool yes) override;
    void OnEnd(const UpdateOutcome& outcome) override;

private:
    void Write(const nlohmann::json& object);

    std::string device_;
    std::FILE* out_;
    std::mutex& outMutex_;
};

}  // namespace cli
