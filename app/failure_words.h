#pragma once
// An update's failure detail said in words, for a person reading a console
// or a box: "no echo of kernel byte 145 within 500 ms".

#include <string>

#include "engine/update_failure.h"

namespace app {

// The cause in words, without a full stop; empty for reason kNone.
std::string DescribeFailure(const engine::FailureDetail& failure);

}  // namespace app
