#pragma once
// An update's failure detail said in words, for a person reading a console
// or a box: "no echo of kernel byte 145 within 500 ms".

#include <cstdio>
#include <string>

#include "app/update_session.h"
#include "engine/update_failure.h"

namespace app {

// The cause in words, without a full stop; empty for reason kNone.
std::string DescribeFailure(const engine::FailureDetail& failure);

// The result text and its cause on one line: "Could not clear flash. (status
// 0x01 for command 1 (clear flash))"; "no result text" stands for an empty one.
std::string FailureLine(const std::string& resultText, const engine::FailureDetail& failure);

// A window closed during an update has nobody to show a failure to: writes it
// to `err` when `result` is one. True when it wrote (the program then ends
// with a non-zero status).
bool TellFailureAfterClose(const UpdateResult& result, std::FILE* err);

}  // namespace app
