#pragma once
// The millisecond clock and the sleep, behind one interface so that every wait
// and pause in the program can run in virtual time under test.
//
// The counter is 32 bits and wraps like the system tick count: compare two
// readings only with the wrap-safe helpers below, never with < or >.

#include <atomic>
#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds since an arbitrary origin, wrapping at 2^32.
    virtual std::uint32_t NowMs() = 0;

    // Blocks the calling thread for about `ms` milliseconds (virtual clocks
    // advance their time instead). SleepMs(0) gives up the time slice.
    virtual void SleepMs(std::uint32_t ms) = 0;
};

// The real clock: the system's millisecond count and its sleep (the
// performance counter and Sleep on Windows, the monotonic clock and nanosleep
// elsewhere). One source file per system.
class SteadyClock final : public Clock {
public:
    std::uint32_t NowMs() override;
    void SleepMs(std::uint32_t ms) override;
};

// The clock every part of the program uses. Defaults to a SteadyClock.
Clock& CurrentClock();

// Installs `clock` as the current clock for the lifetime of this object and
// puts the previous one back on destruction. For tests; not thread-safe
// against a concurrent install, but safe to read from other threads.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

// Shorthands for the current clock.
inline std::uint32_t NowMs() { return CurrentClock().NowMs(); }
inline void SleepMs(std::uint32_t ms) { CurrentClock().SleepMs(ms); }

// Wrap-safe comparison: true when `now` is at or past `deadline`. Valid while
// the two are less than 2^31 ms (about 24 days) apart.
constexpr bool Reached(std::uint32_t now, std::uint32_t deadline) {
    return static_cast<std::int32_t>(now - deadline) >= 0;
}

// A deadline `timeoutMs` after the moment of construction on the current
// clock. A time-out of 0 or less is already expired (taken as 0, so that even
// the most negative one does not wrap half the counter into the future).
class Deadline {
public:
    explicit Deadline(std::int32_t timeoutMs)
        : deadline_(NowMs() + static_cast<std::uint32_t>(timeoutMs > 0 ? timeoutMs : 0)) {}
    bool Expired() const { return Reached(NowMs(), deadline_); }
    // Milliseconds left until the deadline; 0 once it has passed.
    std::uint32_t RemainingMs() const {
        const std::uint32_t now = NowMs();
        return Reached(now, deadline_) ? 0 : deadline_ - now;
    }

private:
    std::uint32_t deadline_;
};

// A clock whose time moves only when somebody sleeps on it or advances it.
// Thread-safe. Starts at `start`, which tests may set near 2^32 to check
// that waits survive the wrap of the counter.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(std::uint32_t start = 0) : now_(start) {}
    std::uint32_t NowMs() override { return now_.load(std::memory_order_acquire); }
    // Advances the time by `ms` (at least by 1 for a yield, so that polling
    // loops always make progress) and returns at once.
    void SleepMs(std::uint32_t ms) override { Advance(ms == 0 ? 1 : ms); }
    void Advance(std::uint32_t ms) { now_.fetch_add(ms, std::memory_order_acq_rel); }

private:
    std::atomic<std::uint32_t> now_;
};

}  // namespace platform
