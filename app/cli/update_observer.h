#pragma once
// What a front end is told about one instrument's update, in the order it
// happens. Calls come from the device's own loop thread, except OnQuestion
// and OnAnswer, which come from its worker's thread.

#include <string>

#include "app/cli/update_outcome.h"

namespace cli {

class UpdateObserver {
public:
    virtual ~UpdateObserver() = default;
    // Every line the worker posted, in posting order.
    virtual void OnLine(const std::string& line) = 0;
    // The operator's question, before it is answered, and its answer.
    virtual void OnQuestion(const std::string& text, const std::string& caption) = 0;
    virtual void OnAnswer(bool yes) = 0;
    // Once, last: how the update ended (also when the link did not open).
    virtual void OnEnd(const UpdateOutcome& outcome) = 0;
};

}  // namespace cli
