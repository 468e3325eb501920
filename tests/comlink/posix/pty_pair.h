#pragma once
// Test helpers for the POSIX port: a pseudo-terminal pair whose slave stands
// in for a serial device, and a scoped mapping of a port index to it.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "comlink/port_devices.h"
#include "comlink/qv_com_link.h"

namespace pty_test {

// Longest wait for bytes to cross the pty in a test.
inline constexpr std::chrono::milliseconds kArrivalTimeout{2000};

// A pty pair. The test keeps a slave descriptor open for the whole test, so
// the master never reads EIO and the device stays while ports come and go.
class PtyPair {
public:
    PtyPair() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        const char* name = ::ptsname(master_);
        if (name == nullptr) return;
        slavePath_ = name;
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() {
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return master_ >= 0 && slave_ >= 0; }
    int Master() const { return master_; }
    int Slave() const { return slave_; }
    const std::string& SlavePath() const { return slavePath_; }

    // The slave's settings as the master sees them.
    termios LineSettings() const {
        termios t{};
        ::tcgetattr(master_, &t);
        return t;
    }

    bool SendFromMaster(const std::string& bytes) const {
        return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads from the master until `count` bytes came or `timeout` ran out.
    std::string ReceiveAtMaster(std::size_t count,
                                std::chrono::milliseconds timeout = kArrivalTimeout) const {
        std::string received;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (received.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd entry{master_, POLLIN, 0};
            if (::poll(&entry, 1, 10) <= 0) continue;
            char buffer[4096];
            const ssize_t got = ::read(master_, buffer, sizeof buffer);
            if (got > 0) received.append(buffer, static_cast<std::size_t>(got));
        }
        return received;
    }

    // Reads and drops at the master until nothing came for `quietMs`.
    void DrainAtMaster(int quietMs = 50) const {
        pollfd entry{master_, POLLIN, 0};
        char buffer[4096];
        while (::poll(&entry, 1, quietMs) > 0 && ::read(master_, buffer, sizeof buffer) > 0) {
        }
    }

    // The test's own hold on the slave ends.
    void CloseSlave() {
        if (slave_ >= 0) ::close(slave_);
        slave_ = -1;
    }
    // The far end goes away: the slave is hung up, as an unplugged device.
    void CloseMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// Maps `portIndex` to `path` for the lifetime of this object.
class ScopedPortDevice {
public:
    ScopedPortDevice(int portIndex, const std::string& path) : portIndex_(portIndex) {
        SetPortDevicePath(portIndex_, path);
    }
    ~ScopedPortDevice() { SetPortDevicePath(portIndex_, ""); }
    ScopedPortDevice(const ScopedPortDevice&) = delete;
    ScopedPortDevice& operator=(const ScopedPortDevice&) = delete;

private:
    int portIndex_;
};

// Calls the port's Idle until `ready` holds or the arrival time-out ran out.
template <typename Port, typename Ready>
bool IdleUntil(Port& port, Ready ready) {
    const auto deadline = std::chrono::steady_clock::now() + kArrivalTimeout;
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        port.Idle();
    }
    return true;
}

// Waits until the port reports `count` received bytes waiting.
template <typename Port>
bool WaitForReceived(Port& port, int count) {
    return IdleUntil(port, [&] {
        QvQueueStatus status;
        port.QueueStatus(status, 2);
        return status.rxCount >= count;
    });
}

}  // namespace pty_test
