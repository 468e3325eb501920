#include "platform/clock.h"

#include <chrono>
#include <thread>

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

std::uint32_t SteadyClock::NowMs() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

void SteadyClock::SleepMs(std::uint32_t ms) {
    if (ms == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

Clock& CurrentClock() { return *ClockSlot().load(std::memory_order_acquire); }

ScopedClock::ScopedClock(Clock& clock)
    : previous_(ClockSlot().exchange(&clock, std::memory_order_acq_rel)) {}

ScopedClock::~ScopedClock() { ClockSlot().store(previous_, std::memory_order_release); }

}  // namespace platform
