#include "tools/instrument-sim/model/wire.h"

#include <algorithm>

namespace instrument_sim {

namespace {
constexpr std::uint64_t kBitsPerByte = 10;
constexpr std::uint64_t kNsPerSecond = 1'000'000'000;
}  // namespace

std::uint64_t ByteTimeNs(std::uint32_t baud) {
    return kBitsPerByte * kNsPerSecond / std::max<std::uint32_t>(baud, 1);
}

void Wire::Send(std::uint8_t byte, std::uint32_t baud, std::uint64_t nowNs) {
    WireByte sent;
    sent.byte = byte;
    sent.baud = baud;
    sent.startNs = std::max(nowNs, lineFreeNs_);
    sent.arriveNs = lineTime_ ? sent.startNs + ByteTimeNs(baud) : sent.startNs;
    lineFreeNs_ = sent.arriveNs;
    bytes_.push_back(sent);
}

std::vector<WireByte> Wire::TakeArrived(std::uint64_t nowNs) {
    std::vector<WireByte> arrived;
    while (auto byte = TakeOneArrived(nowNs)) arrived.push_back(*byte);
    return arrived;
}

std::optional<WireByte> Wire::TakeOneArrived(std::uint64_t nowNs) {
    if (bytes_.empty() || bytes_.front().arriveNs > nowNs) return std::nullopt;
    const WireByte byte = bytes_.front();
    bytes_.pop_front();
    return byte;
}

void Wire::DropNotStarted(std::uint64_t nowNs) {
    while (!bytes_.empty() && bytes_.back().startNs > nowNs) bytes_.pop_back();
    lineFreeNs_ = bytes_.empty() ? std::min(lineFreeNs_, nowNs) : bytes_.back().arriveNs;
}

std::optional<std::uint64_t> Wire::NextArrivalNs() const {
    if (bytes_.empty()) return std::nullopt;
    return bytes_.front().arriveNs;
}

}  // namespace instrument_sim
