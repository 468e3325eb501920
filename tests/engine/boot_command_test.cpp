// Boot-loader commands: echo, status byte, their time-outs, and command 5's
// transfer.

#include <gtest/gtest.h>

#include "scripted_fixture.h"

namespace engine_test {
namespace {

class BootCommandTest : public ScriptedTest {
protected:
    // Echoes the next byte written (the command) after `echoMs` and, unless
    // `status` is negative, sends `status` `statusMs` after that.
    void Respond(std::uint32_t echoMs, int status, std::uint32_t statusMs = 10) {
        line.onWrite = [=, answered = false](ScriptedLine& l, std::uint8_t byte) mutable {
            if (answered) return;  // image bytes
            answered = true;
            l.SendByte(byte, echoMs);
            if (status >= 0) l.SendByte(static_cast<std::uint8_t>(status), echoMs + statusMs);
        };
    }
};

TEST_F(BootCommandTest, StatusByteDecides) {
    struct Case {
        int status;
        bool ok;
    };
    for (const Case c : {Case{0x00, true}, Case{0x01, false}, Case{0xFF, false}}) {
        worker.reset();
        DataExchange& w = OpenWorker();
        Respond(10, c.status);
        EXPECT_EQ(w.SendBootCommand(bcClearFlash), c.ok) << c.status;
    }
}

TEST_F(BootCommandTest, StaleByteIsFlushedBeforeTheCommand) {
    DataExchange& w = OpenWorker();
    line.SendByte(0x00);  // would be taken as a wrong echo of command 2
    clock.Advance(1);
    Respond(10, 0x00);
    EXPECT_TRUE(w.SendBootCommand(bcEraseFlash));
    EXPECT_EQ(line.Written(), "\x02");
}

TEST_F(BootCommandTest, EchoWaitIsFiveSeconds) {
    DataExchange& w = OpenWorker();
    Respond(4999, 0x00);
    EXPECT_TRUE(w.SendBootCommand(bcProgramFlash));

    worker.reset();
    DataExchange& late = OpenWorker();
    Respond(5001, 0x00);
    const std::uint32_t start = clock.NowMs();
    EXPECT_FALSE(late.SendBootCommand(bcProgramFlash));
    EXPECT_EQ(clock.NowMs() - start, 5000U);
}

TEST_F(BootCommandTest, WrongEchoFailsWithoutAwaitingTheStatus) {
    DataExchange& w = OpenWorker();
    line.onWrite = [](ScriptedLine& l, std::uint8_t) {
        l.SendByte(0x00, 10);  // a late status of an earlier command
        l.SendByte(0x00, 20);
    };
    const std::uint32_t start = clock.NowMs();
    EXPECT_FALSE(w.SendBootCommand(bcClearFlash));
    EXPECT_EQ(clock.NowMs() - start, 10U);
}

TEST_F(BootCommandTest, StatusWaitIsFifteenSeconds) {
    DataExchange& w = OpenWorker();
    Respond(10, 0x00, 14999);
    EXPECT_TRUE(w.SendBootCommand(bcEraseFlash));

    worker.reset();
    DataExchange& silent = OpenWorker();
    Respond(10, -1);
    const std::uint32_t start = clock.NowMs();
    EXPECT_FALSE(silent.SendBootCommand(bcEraseFlash));
    EXPECT_EQ(clock.NowMs() - start, 10U + 15000U);
}

TEST_F(BootCommandTest, StartNewCodeNeedsOnlyItsEcho) {
    DataExchange& w = OpenWorker();
    Respond(10, -1);
    const std::uint32_t start = clock.NowMs();
    EXPECT_TRUE(w.SendBootCommand(bcStartNewCode));
    EXPECT_EQ(clock.NowMs() - start, 10U);

    worker.reset();
    DataExchange& silent = OpenWorker();
    line.onWrite = nullptr;
    EXPECT_FALSE(silent.SendBootCommand(bcStartNewCode));
}

TEST_F(BootCommandTest, SendUpdateStreamsTheImageAndTimesTheStatusFromItsEnd) {
    WriteImages(0, 300);
    DataExchange& w = OpenWorker();
    Respond(10, -1);
    EXPECT_FALSE(w.SendBootCommand(bcSendUpdate));
    EXPECT_EQ(line.Written(), "\x05" + update);
    EXPECT_EQ(clock.NowMs() - Last(LineEvent::kWrite), 15000U);

    // A byte sent during the transfer is not read by it: it is the status.
    worker.reset();
    DataExchange& again = OpenWorker();
    Respond(10, 0x00, 10);
    EXPECT_TRUE(again.SendBootCommand(bcSendUpdate));
    EXPECT_EQ(clock.NowMs(), Last(LineEvent::kWrite));
}

TEST_F(BootCommandTest, WriteErrorFails) {
    DataExchange& w = OpenWorker();
    line.failWritesFrom = 1;
    EXPECT_FALSE(w.SendBootCommand(bcClearFlash));
}

}  // namespace
}  // namespace engine_test
