#include <windows.h>

#include "platform/clock.h"

namespace platform {

// GetTickCount counts milliseconds since the system started and wraps after
// about 49.7 days, which the wrap-safe helpers of clock.h allow for.
std::uint32_t SteadyClock::NowMs() { return static_cast<std::uint32_t>(GetTickCount()); }

// Sleep(0) gives up the rest of the time slice, as the yield of a polling loop.
void SteadyClock::SleepMs(std::uint32_t ms) { Sleep(static_cast<DWORD>(ms)); }

}  // namespace platform
