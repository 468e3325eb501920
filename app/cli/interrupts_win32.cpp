#include "app/cli/interrupts.h"

namespace cli {

// Not watched on Windows yet: Ctrl-C ends the process as the system does,
// and the system releases the port with the process.
struct InterruptWatch::State {};

InterruptWatch::InterruptWatch(std::function<void(int)>) : state_(std::make_unique<State>()) {}

InterruptWatch::~InterruptWatch() = default;

void ReleaseDeviceForOthers(std::intptr_t) {}

}  // namespace cli
