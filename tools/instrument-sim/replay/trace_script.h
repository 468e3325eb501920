#pragma once
// Reads a wire trace file into its events.

#include <string>
#include <vector>

#include "wiretrace/trace_format.h"

namespace instrument_sim {

struct TraceScript {
    std::vector<wire_trace::TraceEvent> events;
    std::string error;  // "FILE:LINE: why", or empty when the file was read
};

TraceScript ReadTraceScript(const std::string& path);

}  // namespace instrument_sim
