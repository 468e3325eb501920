#include <windows.h>

#include "platform/clock.h"

namespace platform {

// Milliseconds of the performance counter, wrapping at 2^32 as the system's
// tick count does (the wrap-safe helpers of clock.h allow for it). The tick
// count itself advances in steps of about 16 ms, so a 50 ms wait measured on
// it would last up to 66 ms.
std::uint32_t SteadyClock::NowMs() {
    // The counter's frequency is fixed at boot: it is asked once.
    static const long long perSecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return frequency.QuadPart;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const long long ticks = counter.QuadPart;
    return static_cast<std::uint32_t>((ticks / perSecond) * 1000 + (ticks % perSecond) * 1000 / perSecond);
}

// Sleep(0) gives up the rest of the time slice, as the yield of a polling loop.
void SteadyClock::SleepMs(std::uint32_t ms) { Sleep(static_cast<DWORD>(ms)); }

}  // namespace platform
