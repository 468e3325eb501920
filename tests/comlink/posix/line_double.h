#pragma once
// Device doubles for the POSIX port's transmit side: a line that carries the
// bytes it was handed at a fixed character time, behind a driver buffer that
// behaves as a UART's (takes up to 256 held bytes, reports them) or a USB
// adapter's (takes a block of up to 4096 only when empty, reports nothing).

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "comlink/transmit_device.h"

namespace pty_test {

enum class DriverKind { kUart, kUsbAdapter };

class LineDouble final : public TransmitDevice {
public:
    using Clock = std::chrono::steady_clock;

    LineDouble(DriverKind kind, std::chrono::nanoseconds charTime) : kind_(kind), charTime_(charTime) {}

    long Send(const std::uint8_t*, std::size_t size) override {
        std::lock_guard lock(mutex_);
        if (vanished_) return -1;
        const Clock::time_point now = Clock::now();
        const std::size_t held = HeldAt(now);
        std::size_t taken = 0;
        if (kind_ == DriverKind::kUart) {
            taken = std::min(size, kUartBuffer - std::min(held, kUartBuffer));
        } else if (held == 0) {
            taken = std::min(size, kUsbBlock);
        }
        if (taken == 0) return 0;
        busyUntil_ = std::max(busyUntil_, now) + charTime_ * static_cast<long long>(taken);
        carried_ += taken;
        return static_cast<long>(taken);
    }
    long Held() override {
        std::lock_guard lock(mutex_);
        return kind_ == DriverKind::kUart ? static_cast<long>(HeldAt(Clock::now())) : -1;
    }
    void WaitForRoom(int waitMs) override {
        Clock::time_point until = Clock::now() + std::chrono::milliseconds(waitMs);
        {
            std::lock_guard lock(mutex_);
            if (kind_ == DriverKind::kUsbAdapter) until = std::min(until, busyUntil_);
        }
        std::this_thread::sleep_until(until);
    }
    int ModemLines() override { return -1; }
    void Discard() override {
        std::lock_guard lock(mutex_);
        const Clock::time_point now = Clock::now();
        busyUntil_ = std::min(busyUntil_, now);  // a UART counts no byte once flushed
        discards_++;
    }

    // The device goes away: every later Send fails.
    void Vanish() {
        std::lock_guard lock(mutex_);
        vanished_ = true;
    }
    // Bytes the line has carried or is carrying.
    std::size_t Carried() {
        std::lock_guard lock(mutex_);
        return carried_;
    }
    bool LineIdle() {
        std::lock_guard lock(mutex_);
        return Clock::now() >= busyUntil_;
    }

private:
    static constexpr std::size_t kUartBuffer = 256;
    static constexpr std::size_t kUsbBlock = 4096;

    std::size_t HeldAt(Clock::time_point now) const {
        if (busyUntil_ <= now) return 0;
        return static_cast<std::size_t>((busyUntil_ - now + charTime_ - std::chrono::nanoseconds(1)) / charTime_);
    }

    const DriverKind kind_;
    const std::chrono::nanoseconds charTime_;
    std::mutex mutex_;
    Clock::time_point busyUntil_ = Clock::now();
    std::size_t carried_ = 0;
    int discards_ = 0;
    bool vanished_ = false;
};

}  // namespace pty_test
