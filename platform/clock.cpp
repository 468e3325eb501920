#include "platform/clock.h"

namespace platform {
namespace {

SteadyClock& DefaultClock() {
    static SteadyClock clock;
    return clock;
}

std::atomic<Clock*>& ClockSlot() {
    static std::atomic<Clock*> slot{&DefaultClock()};
    return slot;
}

}  // namespace

Clock& CurrentClock() { return *ClockSlot().load(std::memory_order_acquire); }

ScopedClock::ScopedClock(Clock& clock)
    : previous_(ClockSlot().exchange(&clock, std::memory_order_acq_rel)) {}

ScopedClock::~ScopedClock() { ClockSlot().store(previous_, std::memory_order_release); }

}  // namespace platform
