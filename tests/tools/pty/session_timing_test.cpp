// The pty session's own timing of the line: which intervals count as the
// host's echo turnaround, which as the session's share, and the percentiles.
#include <gtest/gtest.h>

#include <vector>

#include "tools/instrument-sim/model/wire.h"
#include "tools/instrument-sim/pty/session_timing.h"

namespace instrument_sim {
namespace {

constexpr std::uint32_t kBaud = 38400;
const std::uint64_t kByteNs = ByteTimeNs(kBaud);

HostRead KernelByte(std::uint64_t atNs) { return {atNs, 1, 15, kBaud, TimedPhase::kKernel, 0}; }

TEST(SessionTimingTest, EchoTurnaroundRunsFromEachEchoToTheNextKernelByte) {
    SessionTiming timing;
    const std::uint64_t firstRead = 1'000'000;
    timing.HostBytesRead(KernelByte(firstRead));
    // The echo is handed over 3 us after its two byte times: the session's share.
    const std::uint64_t firstEcho = firstRead + 2 * kByteNs + 3'000;
    timing.BytesToHost(firstEcho, 1, kBaud, TimedPhase::kKernel);
    const std::uint64_t secondRead = firstEcho + 40'000;
    timing.HostBytesRead(KernelByte(secondRead));
    timing.BytesToHost(secondRead + 2 * kByteNs, 1, kBaud, TimedPhase::kKernel);
    // The end code and the next command are no kernel echo.
    timing.BytesToHost(3'000'000, 1, kBaud, TimedPhase::kOther);
    timing.HostBytesRead({3'500'000, 1, 15, kBaud, TimedPhase::kOther, 0});

    EXPECT_EQ(timing.TurnaroundsNs(), std::vector<std::uint64_t>{40'000});
    EXPECT_EQ(timing.EchoedBytes(), 2U);
    EXPECT_EQ(timing.EchoShareNs(), 3'000U);
    EXPECT_EQ(timing.ToInstrumentNs(), 3 * kByteNs);
    EXPECT_EQ(timing.ToHostNs(), 3 * kByteNs);
}

TEST(SessionTimingTest, IdleLineCountsAsTheSessionsOnlyWhenAFullReadFoundBytesWaiting) {
    SessionTiming timing;
    // The first image read follows the command's echo: the gap is the host's.
    timing.HostBytesRead({10'000'000, 15, 15, kBaud, TimedPhase::kUpdate, 9'000'000});
    // A full read 500 us after the line fell idle: the session woke late.
    timing.HostBytesRead({20'500'000, 15, 15, kBaud, TimedPhase::kUpdate, 20'000'000});
    // A short read: the host had no more, its gap.
    timing.HostBytesRead({31'000'000, 2, 15, kBaud, TimedPhase::kUpdate, 30'000'000});
    // A full read while the line is still busy costs nothing.
    timing.HostBytesRead({32'000'000, 15, 15, kBaud, TimedPhase::kUpdate, 33'000'000});

    EXPECT_EQ(timing.StreamShareNs(), 500'000U);
    EXPECT_NE(timing.Json(1234).find("\"session_share_ns\":500000"), std::string::npos);
    EXPECT_NE(timing.Json(1234).find("\"stream_ms\":1234"), std::string::npos);
    EXPECT_EQ(timing.Json(std::nullopt).find("stream_ms"), std::string::npos);
}

TEST(SessionTimingTest, PercentileTakesTheSampleAtTheRoundedUpRank) {
    std::vector<std::uint64_t> samples;
    for (std::uint64_t value = 200; value >= 1; --value) samples.push_back(value);
    EXPECT_EQ(Percentile(samples, 0.5), 100U);
    EXPECT_EQ(Percentile(samples, 0.99), 198U);
    EXPECT_EQ(Percentile(samples, 1.0), 200U);
    EXPECT_EQ(Percentile(samples, 0.0), 1U);
    EXPECT_EQ(Percentile({}, 0.5), 0U);
    EXPECT_EQ(Percentile({7}, 0.99), 7U);
}

}  // namespace
}  // namespace instrument_sim
