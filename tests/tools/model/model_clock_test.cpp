// Model time in nanoseconds: bytes keep their exact line time, below the
// millisecond, and the millisecond views round the same clock.
#include <gtest/gtest.h>

#include "model_host.h"
#include "tools/instrument-sim/model/wire.h"

namespace instrument_sim::testing {
namespace {

TEST(ModelClock, AnEchoedByteTakesExactlyTwoByteTimes) {
    InstrumentConfig config;
    config.updateMethod = 1;
    InstrumentModel model(config);
    const std::uint64_t byteNs = ByteTimeNs(kBootBaud);
    const std::uint64_t sentNs = 1'000'123'456;
    model.AdvanceToNs(sentNs);
    model.SetHostRate(kBootBaud);
    const std::uint8_t probe = kSyncProbe;
    model.HostWrite(&probe, 1);
    ASSERT_EQ(model.NextDueNs(), sentNs + byteNs);

    model.AdvanceToNs(sentNs + byteNs - 1);
    EXPECT_EQ(model.Record().syncProbes, 0);
    model.AdvanceToNs(sentNs + byteNs);
    EXPECT_EQ(model.Record().syncProbes, 1);
    ASSERT_EQ(model.NextDueNs(), sentNs + 2 * byteNs);
    model.AdvanceToNs(sentNs + 2 * byteNs - 1);
    EXPECT_TRUE(model.HostRead().empty());
    model.AdvanceToNs(sentNs + 2 * byteNs);
    EXPECT_EQ(model.HostRead(), Bytes{0xAA});

    // The millisecond views of the same clock: now rounds down, due rounds up.
    EXPECT_EQ(model.NowNs(), sentNs + 2 * byteNs);
    EXPECT_EQ(model.NowMs(), (sentNs + 2 * byteNs) / 1'000'000);
    model.HostWrite(&probe, 1);
    EXPECT_EQ(model.NextDueMs(), (sentNs + 3 * byteNs) / 1'000'000 + 1);
    // Time never goes back, in either unit.
    model.AdvanceTo(1);
    model.AdvanceToNs(1);
    EXPECT_EQ(model.NowNs(), sentNs + 2 * byteNs);
}

TEST(ModelClock, BytesFedAsTheLineTakesThemGoBackToBack) {
    InstrumentConfig config;
    config.updateMethod = 1;
    InstrumentModel model(config);
    model.SetHostRate(kBootBaud);
    const std::uint64_t byteNs = ByteTimeNs(kBootBaud);
    // Each byte is handed over late, while the one before it is still on
    // the wire: the line never idles, so 100 bytes (a probe, then 99 kernel
    // bytes) take 100 byte times.
    const std::uint8_t probe = kSyncProbe;
    const std::uint8_t kernelByte = 0x01;  // a probe this close would be another probe
    model.HostWrite(&probe, 1);
    for (int i = 1; i < 100; ++i) {
        model.AdvanceToNs(i * byteNs - byteNs / 3);
        model.HostWrite(&kernelByte, 1);
    }
    model.AdvanceToNs(100 * byteNs - 1);
    EXPECT_EQ(model.Record().kernel.bytes.size(), 98u);
    model.AdvanceToNs(100 * byteNs);
    EXPECT_EQ(model.Record().kernel.bytes.size(), 99u);
}

}  // namespace
}  // namespace instrument_sim::testing
