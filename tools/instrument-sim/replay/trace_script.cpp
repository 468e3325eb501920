#include "tools/instrument-sim/replay/trace_script.h"

#include <fstream>

namespace instrument_sim {

TraceScript ReadTraceScript(const std::string& path) {
    TraceScript script;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        script.error = path + ": cannot be read";
        return script;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        wire_trace::ParsedLine parsed = wire_trace::ParseTraceLine(line);
        if (!parsed.error.empty()) {
            script.error = path + ":" + std::to_string(number) + ": " + parsed.error;
            return script;
        }
        if (parsed.event) script.events.push_back(std::move(*parsed.event));
    }
    return script;
}

}  // namespace instrument_sim
