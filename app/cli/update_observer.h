#pragma once
// What a console front end is told about one instrument's update: the
// session's typed events, and once, last, how it ended.

#include "app/cli/update_outcome.h"
#include "app/update_session.h"

namespace cli {

class UpdateObserver : public app::SessionObserver {
public:
    // Once, last: how the update ended (also when the link did not open, and
    // when a stop ends the process during the update).
    virtual void OnEnd(const UpdateOutcome& /*outcome*/) {}
    // A message for standard error follows: end a drawing in progress.
    virtual void OnMessageAhead() {}
};

}  // namespace cli
