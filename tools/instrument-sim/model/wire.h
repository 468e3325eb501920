#pragma once
// One direction of the serial line: bytes go out one after the other, each
// taking 10 bit-times at the rate it was sent with, and arrive when their
// last bit is through. Times are in nanoseconds of model time.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace instrument_sim {

struct WireByte {
    std::uint8_t byte = 0;
    std::uint32_t baud = 0;       // the sender's rate
    std::uint64_t startNs = 0;    // first bit on the line
    std::uint64_t arriveNs = 0;   // last bit through
};

// Nanoseconds one byte (10 bits) takes at `baud`.
std::uint64_t ByteTimeNs(std::uint32_t baud);

class Wire {
public:
    // lineTime false: bytes arrive the moment they are sent.
    explicit Wire(bool lineTime) : lineTime_(lineTime) {}

    // Puts `byte` on the line at `nowNs`, behind the bytes still on it.
    void Send(std::uint8_t byte, std::uint32_t baud, std::uint64_t nowNs);
    // Removes and returns the bytes that have arrived by `nowNs`, in order.
    std::vector<WireByte> TakeArrived(std::uint64_t nowNs);
    // The next byte, when it has arrived by `nowNs`.
    std::optional<WireByte> TakeOneArrived(std::uint64_t nowNs);
    // Bytes sent and not yet taken as arrived.
    std::size_t Pending() const { return bytes_.size(); }
    // When the last byte sent is through (0 before the first).
    std::uint64_t LineFreeNs() const { return lineFreeNs_; }
    // Drops the bytes that have not started by `nowNs`.
    void DropNotStarted(std::uint64_t nowNs);
    void Clear() { bytes_.clear(); }
    // When the next byte arrives, if one is on the line.
    std::optional<std::uint64_t> NextArrivalNs() const;

private:
    bool lineTime_;
    std::deque<WireByte> bytes_;
    std::uint64_t lineFreeNs_ = 0;  // when the last byte sent is through
};

}  // namespace instrument_sim
