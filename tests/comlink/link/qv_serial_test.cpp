#include <gtest/gtest.h>

#include <cstring>

#include "comlink/link_errors.h"
#include "comlink/qv_serial.h"
#include "fake_port.h"

namespace {

using fake::FakeLineTest;
using fake::FakePort;

class QvSerialRead : public FakeLineTest {
protected:
    FakePort port{line, 0};
    QvSerial link{port};
};

TEST_F(QvSerialRead, TimeOutZeroIsOneAttemptWithoutWaiting) {
    const auto start = clock.NowMs();
    const int idlesBefore = line->idleCalls;
    EXPECT_EQ(link.Read(0), LINK_ERR_NO_DATA);
    EXPECT_EQ(clock.NowMs(), start);
    EXPECT_EQ(line->idleCalls, idlesBefore);
    line->Receive("\xAA");
    EXPECT_EQ(link.Read(0), 0xAA);
}

TEST_F(QvSerialRead, WaitsForALateByteAndGivesUpExactlyAtTheDeadline) {
    const auto start = clock.NowMs();
    line->Receive("x", start + 30);
    EXPECT_EQ(link.Read(50), 'x');
    EXPECT_EQ(clock.NowMs(), start + 30);

    const auto second = clock.NowMs();
    EXPECT_EQ(link.Read(50), LINK_ERR_NO_DATA);
    EXPECT_EQ(clock.NowMs(), second + 50);
}

TEST_F(QvSerialRead, NegativeIdleResultStopsTheWait) {
    line->stopIdleAtCall = line->idleCalls + 3;
    line->idleStopCode = -42;
    EXPECT_EQ(link.Read(1000), -42);
}

// Starts 128 ms before the 32-bit counter wraps.
class QvSerialReadAcrossWrap : public FakeLineTest {
protected:
    static constexpr std::uint32_t kStart = 0xFFFFFF80u;
    QvSerialReadAcrossWrap() : FakeLineTest(kStart) {}
    FakePort port{line, 0};
    QvSerial link{port};
    char text[16] = {};
};

TEST_F(QvSerialReadAcrossWrap, ReadEndsNeitherEarlyNorLate) {
    EXPECT_EQ(link.Read(200), LINK_ERR_NO_DATA);
    EXPECT_EQ(clock.NowMs() - kStart, 200u);
}

TEST_F(QvSerialReadAcrossWrap, ReadTextWaitsThroughTheWrap) {
    line->Receive("ok\n", kStart + 150);
    EXPECT_EQ(link.ReadText(text, 10, '\n', 400), 3);
    EXPECT_STREQ(text, "ok\n");
    EXPECT_EQ(clock.NowMs() - kStart, 152u);  // one byte per poll
}

TEST_F(QvSerialReadAcrossWrap, EmptyReadTextEndsAtItsDeadline) {
    EXPECT_EQ(link.ReadText(text, 10, -1, 200), 0);
    EXPECT_EQ(clock.NowMs() - kStart, 200u);
}

class QvSerialReadText : public QvSerialRead {
protected:
    // A buffer filled with a marker, to see what ReadText writes.
    char buffer[32];
    void SetUp() override { std::memset(buffer, '#', sizeof buffer); }
};

TEST_F(QvSerialReadText, StopsAfterTheTerminatorAndLeavesTheRestQueued) {
    line->Receive("ab\ncd");
    EXPECT_EQ(link.ReadText(buffer, 100, '\n', 100), 3);
    EXPECT_EQ(std::memcmp(buffer, "ab\n\0#", 5), 0);
    EXPECT_EQ(link.Read(0), 'c');
    EXPECT_EQ(link.Read(0), 'd');
}

TEST_F(QvSerialReadText, StopsAtMaxCountAndClosesWithAZero) {
    line->Receive("0123456789");
    EXPECT_EQ(link.ReadText(buffer, 4, -1, 100), 4);
    EXPECT_EQ(std::memcmp(buffer, "0123\0#", 6), 0);
}

TEST_F(QvSerialReadText, NothingWaitingGivesAnEmptyTextAfterTheDeadline) {
    const auto start = clock.NowMs();
    EXPECT_EQ(link.ReadText(buffer, 10, -1, 100), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], '#');
    EXPECT_EQ(clock.NowMs() - start, 100u);
}

TEST_F(QvSerialReadText, DeadlineCoversTheWholeTextNotEachByte) {
    const auto start = clock.NowMs();
    line->ReceiveSpaced("abcdef", start + 10, 10);
    EXPECT_EQ(link.ReadText(buffer, 20, '\n', 35), 3);
    EXPECT_STREQ(buffer, "abc");
}

TEST_F(QvSerialReadText, BytesArrivingWithoutAGapAreTakenPastTheDeadline) {
    const auto start = clock.NowMs();
    line->ReceiveSpaced("abcdefghijklmnopqrst", start, 1);  // one per poll
    EXPECT_EQ(link.ReadText(buffer, 30, -1, 5), 20);
    EXPECT_STREQ(buffer, "abcdefghijklmnopqrst");
}

TEST_F(QvSerialReadText, MaxCountIsComparedUnsigned) {
    line->Receive("hi\n");
    EXPECT_EQ(link.ReadText(buffer, 0x80000000u, '\n', 10), 3);
    EXPECT_STREQ(buffer, "hi\n");
}

TEST_F(QvSerialReadText, NoRoomForAByteReadsNothing) {
    line->Receive("x");
    EXPECT_EQ(link.ReadText(buffer, 0, -1, 10), 0);
    EXPECT_EQ(std::memcmp(buffer, "\0#", 2), 0);
    EXPECT_EQ(link.Read(0), 'x');
}

TEST_F(QvSerialReadText, NegativeIdleResultIsReturnedWithoutClosingZero) {
    line->Receive("ab");
    line->stopIdleAtCall = line->idleCalls + 3;
    line->idleStopCode = -7;
    EXPECT_EQ(link.ReadText(buffer, 10, '\n', 100), -7);
    EXPECT_EQ(std::memcmp(buffer, "ab#", 3), 0);
}

class QvSerialWriteText : public QvSerialRead {};

TEST_F(QvSerialWriteText, AppendsEachKindOfTerminator) {
    EXPECT_EQ(link.WriteText("", kTerminatorLf), 1);
    EXPECT_EQ(link.WriteText("ab", kTerminatorCrLf), 4);
    EXPECT_EQ(link.WriteText("cd", kTerminatorNone), 2);
    EXPECT_EQ(link.WriteText("e", 0), 2);
    EXPECT_EQ(link.WriteText("f", 255), 2);
    EXPECT_EQ(line->sent, std::string("\nab\r\ncde\0f\xFF", 11));
}

TEST_F(QvSerialWriteText, RefusesBadTerminatorsAndNullText) {
    EXPECT_EQ(link.WriteText("abc", 256), 0);
    EXPECT_EQ(link.WriteText("abc", -4), 0);
    EXPECT_EQ(link.WriteText(nullptr, kTerminatorLf), 0);
    EXPECT_EQ(line->sent, "");
}

TEST_F(QvSerialWriteText, ShortWriteSendsNoTerminator) {
    line->txRoom = 3;
    EXPECT_EQ(link.WriteText("abcd", kTerminatorLf), 3);
    EXPECT_EQ(line->sent, "abc");
    EXPECT_EQ(port.TakeLastError(), LINK_ERR_WRITE_SHORT);
}

// Terminator bytes go through the link's own Write; this one refuses a CR.
class LinkRefusingCarriageReturn : public QvSerial {
public:
    using QvSerial::QvSerial;
    int Write(std::uint8_t byte) override {
        return byte == '\r' ? LINK_ERR_WRITE_SHORT : QvSerial::Write(byte);
    }
};

TEST_F(QvSerialWriteText, LineFeedOnlyWhenTheCarriageReturnWasTaken) {
    line->txRoom = 3;
    EXPECT_EQ(link.WriteText("ab", kTerminatorCrLf), 3);
    EXPECT_EQ(line->sent, "ab\r");

    line->txRoom = 100;
    LinkRefusingCarriageReturn refusing(port);
    EXPECT_EQ(refusing.WriteText("cd", kTerminatorCrLf), 2);
    EXPECT_EQ(line->sent, "ab\rcd");
}

TEST_F(QvSerialRead, CheckStatusTakesThePendingErrorFirst) {
    std::uint16_t word = 0xFFFF;
    port.SetPendingError(LINK_ERR_GENERAL);
    line->pendingLineErrors.SetField(LINE_PARITY_ERROR, 1);
    EXPECT_EQ(link.CheckStatus(word), LINK_ERR_GENERAL);
    EXPECT_EQ(word, 0);
    EXPECT_EQ(port.LastError(), 0);

    line->pendingLineErrors.SetField(LINE_OVERRUN, 1);
    line->pendingLineErrors.SetField(LINE_BREAK_RECEIVED, 1);
    EXPECT_EQ(link.CheckStatus(word), 0);
    EXPECT_EQ(word, kLineErrParity | kLineErrOverrun | kLineErrBreak);
    // Each check reports what happened since the previous one.
    EXPECT_EQ(link.CheckStatus(word), 0);
    EXPECT_EQ(word, 0);
}

TEST_F(QvSerialRead, QueueOperationsReachThePort) {
    line->txPending = 77;
    EXPECT_EQ(link.TxQueueCount(), 77);
    line->Receive("junk");
    EXPECT_EQ(link.FlushInput(0), 0);
    EXPECT_EQ(link.Read(0), LINK_ERR_NO_DATA);
    EXPECT_EQ(link.FlushOutput(), 0);
    EXPECT_EQ(line->EventsOf({"flush"}), (std::vector<std::string>{"flush 0 0", "flush 1 0"}));
    EXPECT_EQ(link.Reserved(), LINK_ERR_NOT_SUPPORTED);
}

}  // namespace
