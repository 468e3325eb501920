#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace platform {

std::uint32_t SteadyClock::NowMs() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);  // wraps at 2^32 like the system tick count
}

void SteadyClock::SleepMs(std::uint32_t ms) {
    if (ms == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

}  // namespace platform
