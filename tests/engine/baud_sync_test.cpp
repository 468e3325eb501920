// Baud-rate synchronisation: rate change, pause, flushes and the probe loop.

#include <gtest/gtest.h>

#include "scripted_fixture.h"

namespace engine_test {
namespace {

constexpr std::uint8_t kProbe = 0x0D;
constexpr std::uint8_t kAnswer = 0xAA;

class BaudSyncTest : public ScriptedTest {
protected:
    // Answers probe n (1-based) with answers[n-1] after `delayMs`; later
    // probes get nothing.
    void AnswerProbes(std::vector<std::uint8_t> answers, std::uint32_t delayMs = 5) {
        line.onWrite = [answers, delayMs, n = std::size_t{0}](ScriptedLine& l, std::uint8_t byte) mutable {
            if (byte == kProbe && n < answers.size()) l.SendByte(answers[n++], delayMs);
        };
    }
    int Probes() const { return static_cast<int>(line.Times(LineEvent::kWrite, kProbe).size()); }
};

TEST_F(BaudSyncTest, FirstAnswerGivesSuccessOneSecondAfterTheRateChange) {
    DataExchange& w = OpenWorker();
    AnswerProbes({kAnswer});
    const std::uint32_t start = clock.NowMs();
    EXPECT_TRUE(w.SynchBaudRates());
    EXPECT_EQ(line.CurrentRate(), 38400);
    EXPECT_EQ(Last(LineEvent::kRate, 38400), start);
    EXPECT_EQ(Probes(), 1);
    EXPECT_EQ(Last(LineEvent::kWrite, kProbe), start + 1000);
    // Receive queue, then transmit queue cleared before the probe; the
    // transmit queue again right after it.
    const auto flushesIn = line.Times(LineEvent::kFlushInput);
    const auto flushesOut = line.Times(LineEvent::kFlushOutput);
    EXPECT_EQ(flushesIn.back(), start + 1000);
    ASSERT_GE(flushesOut.size(), 2U);
    EXPECT_EQ(flushesOut[flushesOut.size() - 2], start + 1000);
    const auto events = line.Events();
    EXPECT_EQ(events.back().kind, LineEvent::kFlushOutput);
    EXPECT_EQ(events[events.size() - 2].kind, LineEvent::kWrite);
}

TEST_F(BaudSyncTest, OtherBytesAreDroppedOnePerProbe) {
    DataExchange& w = OpenWorker();
    AnswerProbes({0x55, 0x00, kAnswer});
    EXPECT_TRUE(w.SynchBaudRates());
    EXPECT_EQ(Probes(), 3);
}

TEST_F(BaudSyncTest, LateAnswerIsReadByTheNextProbe) {
    DataExchange& w = OpenWorker();
    AnswerProbes({kAnswer}, 70);
    EXPECT_TRUE(w.SynchBaudRates());
    EXPECT_EQ(Probes(), 2);
}

TEST_F(BaudSyncTest, SilenceGivesUpAfterExactlyOneThousandProbes) {
    DataExchange& w = OpenWorker();
    const std::uint32_t start = clock.NowMs();
    EXPECT_FALSE(w.SynchBaudRates());
    EXPECT_EQ(Probes(), 1000);
    EXPECT_EQ(clock.NowMs() - start, 1000U + 1000U * 50U);
}

TEST_F(BaudSyncTest, WriteErrorStopsAtOnce) {
    DataExchange& w = OpenWorker();
    line.failWritesFrom = line.WriteCount() + 3;
    EXPECT_FALSE(w.SynchBaudRates());
    EXPECT_EQ(Probes(), 2);
}

}  // namespace
}  // namespace engine_test
