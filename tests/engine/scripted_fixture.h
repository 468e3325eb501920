#pragma once
// EngineTest over a ScriptedLine: for protocol tests that need replies or
// faults byte by byte.

#include "comlink/serial.h"
#include "engine_fixture.h"
#include "scripted_port.h"

namespace engine_test {

class ScriptedTest : public EngineTest {
protected:
    ScriptedTest() : factory_(line.Factory()) {}
    ~ScriptedTest() override { worker.reset(); }

    // The time of the worker's last line-log event of `kind`.
    std::uint32_t Last(LineEvent::Kind kind, int value = -1) const {
        const auto times = line.Times(kind, value);
        return times.empty() ? 0U : times.back();
    }

    ScriptedLine line;

private:
    ScopedPortFactory factory_;
};

}  // namespace engine_test
