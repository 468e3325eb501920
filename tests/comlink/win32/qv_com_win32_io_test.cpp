// The Win32 port's operations over scripted system calls: queue arithmetic of
// reads and writes, pending and short transfers, line format and handshake
// refusals, line ids and error bits, flushes, break, the dump, the mapping of
// system errors, and waits that do not keep a core busy.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "comlink/links.h"
#include "port_core_cases.h"
#include "scripted_comm.h"

namespace {

class PortIoTest : public Win32PortTest {
protected:
    void SetUp() override {
        port = std::make_unique<Links>(kPortIndex, kQueueSize, kQueueSize);
        ASSERT_EQ(port->LastError(), LINK_OK);
        comm.settingsSent.clear();
        comm.escapes.clear();
    }
    void TearDown() override { port.reset(); }

    std::unique_ptr<Links> port;
};

TEST_F(PortIoTest, WriteTakesOnlyTheRoomLeftInTheTransmitQueue) {
    const char text[] = "0123456789";
    comm.outQueue = kQueueSize - 4;  // the driver holds all but 4 bytes
    EXPECT_EQ(port->Write(text, 10), 4);
    EXPECT_EQ(port->TakeLastError(), LINK_ERR_WRITE_SHORT);
    EXPECT_EQ(port->WriteByte('x'), LINK_ERR_WRITE_SHORT);

    // Once the driver has sent what it held, the 4 follow and there is room.
    comm.outQueue = 0;
    EXPECT_TRUE(scripted::Eventually([&] { return comm.SentText() == "0123"; }));
    EXPECT_EQ(port->WriteString("abc"), 3);
    EXPECT_EQ(port->Write(text, -1), 0);
    EXPECT_EQ(port->TakeLastError(), LINK_ERR_WRITE_SHORT);  // only the full queue's
}

// Wine lets a later overlapped write pass an earlier one still pending: the
// device is given one write at a time, the bytes queued meanwhile follow in
// order as one write, and a device that counts nothing (Wine) still counts
// the unfinished write. The bytes outlive the caller's buffer.
TEST_F(PortIoTest, WritesWhileOneIsPendingWaitInOrderAndFollowAsOneWrite) {
    comm.writeAnswer = scripted::Answer::kPending;
    char stream[] = "stream";
    for (char& byte : stream) {
        if (byte != '\0') {
            EXPECT_EQ(port->WriteByte(static_cast<std::uint8_t>(byte)), LINK_OK);
        }
        byte = '\0';
    }
    const auto counted = [this](int expected) {
        return scripted::Eventually([&] {
            QvQueueStatus status;
            port->QueueStatus(status, kQueueDetailTransmitCount);
            return status.txCount == expected;
        });
    };
    EXPECT_TRUE(counted(6));
    EXPECT_EQ(comm.PendingWriteBytes(), 1u);
    comm.CompleteWrites();
    EXPECT_TRUE(scripted::Eventually([&] { return comm.PendingWriteBytes() == 5; }));
    EXPECT_TRUE(counted(5));
    comm.CompleteWrites();
    EXPECT_TRUE(counted(0));
    EXPECT_EQ(comm.SentText(), "stream");
    EXPECT_EQ(comm.writes, 2);
    EXPECT_EQ(comm.mostWritesPending, 1u);

    // A discard drops what waits behind the pending write, not the write.
    EXPECT_EQ(port->Write("abc", 3), 3);
    EXPECT_EQ(port->Write("def", 3), 3);
    EXPECT_EQ(port->Flush(1, 0), LINK_OK);
    comm.CompleteWrites();
    EXPECT_TRUE(counted(0));
    EXPECT_EQ(comm.SentText(), "streamabc");
}

TEST_F(PortIoTest, ReleaseEndsAWriteStillPendingBeforeClosing) {
    comm.writeAnswer = scripted::Answer::kPending;
    EXPECT_EQ(port->WriteByte('a'), LINK_OK);
    port.reset();
    EXPECT_EQ(comm.cancels, 1);
    EXPECT_FALSE(comm.WritesPending());
    EXPECT_EQ(comm.closes, 1);
}

TEST_F(PortIoTest, ReadTakesOnlyWhatTheDeviceReportsAndWaitsForAShortOrPendingRead) {
    char buffer[8] = {};
    EXPECT_EQ(port->Read(buffer, 8), 0);
    EXPECT_EQ(port->ReadByte(), LINK_ERR_NO_DATA);
    EXPECT_EQ(comm.readCalls, 0);

    comm.received = {'h', 'e', 'l', 'l', 'o'};
    comm.shortReadBy = 3;
    EXPECT_EQ(port->Read(buffer, 3), 3);
    EXPECT_EQ(std::string(buffer, 3), "hel");
    comm.readAnswer = scripted::Answer::kPending;
    EXPECT_EQ(port->Read(buffer, 8), 2);
    EXPECT_EQ(std::string(buffer, 2), "lo");

    comm.received = {'x'};
    comm.readAnswer = scripted::Answer::kFail;
    comm.errorsToReport = CE_FRAME;
    EXPECT_EQ(port->Read(buffer, 8), 0);
    EXPECT_EQ(port->Signal(LINE_FRAMING_ERROR, -1), 1);
}

TEST_F(PortIoTest, FlushDiscardsAQueueOrDrainsUpToItsLimit) {
    EXPECT_EQ(port->Flush(0, 0), LINK_OK);
    EXPECT_EQ(port->Flush(1, 0), LINK_OK);
    EXPECT_EQ(comm.purges, (std::vector<DWORD>{PURGE_RXCLEAR, PURGE_TXCLEAR}));

    comm.received = {1, 2, 3, 4, 5};
    EXPECT_EQ(port->Flush(0, 3), LINK_ERR_GENERAL);
    EXPECT_EQ(port->TakeLastError(), LINK_ERR_GENERAL);
    EXPECT_EQ(comm.received.size(), 2u);
    EXPECT_EQ(port->Flush(0, 3), LINK_OK);
    EXPECT_TRUE(comm.received.empty());
}

TEST_F(PortIoTest, SetFormatRefusesBadValuesInOrderAndKeepsWhatItSetBefore) {
    port_core_cases::ExpectRefusedBeforeTheDevice(*port);
    EXPECT_TRUE(comm.settingsSent.empty());
    const struct {
        char parity;
        int dataBits;
        int stopBits;
        BYTE sentStopBits;
    } cases[] = {
        {'N', 8, 2, TWOSTOPBITS},
        {'S', 5, 2, ONE5STOPBITS},
        {'M', 5, 1, ONE5STOPBITS},
        {'O', 7, 1, ONESTOPBIT},
    };
    for (const auto& c : cases) {
        comm.settingsSent.clear();
        EXPECT_EQ(port->SetFormat(9600, c.parity, c.dataBits, c.stopBits), LINK_OK) << c.parity << c.dataBits;
        ASSERT_EQ(comm.settingsSent.size(), 1u);
        EXPECT_EQ(comm.settingsSent[0].StopBits, c.sentStopBits);
    }
    // A refused letter changes nothing; a refused size keeps the rate and
    // letter already set; a device's refusal keeps everything.
    EXPECT_EQ(port->SetFormat(1200, 'X', 8, 1), LINK_ERR_PARITY);
    EXPECT_EQ(port->SetFormat(2400, 'E', 9, 1), LINK_ERR_DATA_BITS);
    std::int32_t baud = 0;
    char parity = 0;
    int dataBits = 0;
    int stopBits = 0;
    port->GetFormat(baud, parity, dataBits, stopBits);
    EXPECT_EQ(baud, 2400);
    EXPECT_EQ(parity, 'E');
    EXPECT_EQ(dataBits, 7);
    comm.refuseSettings = true;
    EXPECT_EQ(port->SetFormat(57600, 'N', 8, 2), LINK_ERR_GENERAL);
    port->GetFormat(baud, parity, dataBits, stopBits);
    EXPECT_EQ(baud, 57600);
    EXPECT_EQ(stopBits, 2);
}

TEST_F(PortIoTest, SetHandshakeSetsTheFlowFields) {
    EXPECT_EQ(port->SetHandshake(HANDSHAKE_RTS, HANDSHAKE_CTS), LINK_OK);
    EXPECT_EQ(port->SetHandshake(HANDSHAKE_XONXOFF, HANDSHAKE_DSR), LINK_OK);
    const DCB& s = comm.settingsSent.back();
    EXPECT_EQ(s.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));  // handshake taken back
    EXPECT_EQ(s.fInX, 1u);
    EXPECT_EQ(s.fOutxDsrFlow, 1u);
    EXPECT_EQ(s.fOutxCtsFlow, 0u);
    int rx = 0;
    int tx = 0;
    port->GetHandshake(rx, tx);
    EXPECT_EQ(rx, HANDSHAKE_XONXOFF);
    EXPECT_EQ(tx, HANDSHAKE_DSR);
}

TEST_F(PortIoTest, SignalAnswersEveryLineIdAndGathersEachLineErrorUntilTheRecordIsRead) {
    comm.modemLines = MS_CTS_ON | MS_RLSD_ON;
    const struct {
        int lineId;
        int result;
    } reads[] = {
        {LINE_DTR, 1}, {LINE_RTS, 1}, {LINE_CTS, 1}, {LINE_DSR, 0}, {LINE_RI, 0}, {LINE_CD, 1},
        {17, 0},       {18, 0},       {19, 0},       {20, 0},       {5, 2},       {0, 2},
    };
    for (const auto& c : reads) EXPECT_EQ(port->Signal(c.lineId, -1), c.result) << c.lineId;
    EXPECT_TRUE(comm.escapes.empty());

    EXPECT_EQ(port->Signal(LINE_DTR, 0), 0);
    EXPECT_EQ(port->Signal(LINE_RTS, 5), 1);
    EXPECT_EQ(comm.escapes, (std::vector<DWORD>{CLRDTR, SETRTS}));
    EXPECT_TRUE(comm.settingsSent.empty());

    const struct {
        DWORD bit;
        int lineId;
    } errors[] = {
        {CE_RXOVER, LINE_RX_OVERFLOW}, {CE_OVERRUN, LINE_OVERRUN},         {CE_RXPARITY, LINE_PARITY_ERROR},
        {CE_FRAME, LINE_FRAMING_ERROR}, {CE_BREAK, LINE_BREAK_RECEIVED},
    };
    for (const auto& c : errors) {
        comm.errorsToReport = c.bit;
        QvQueueStatus status;
        port->QueueStatus(status, 2);
        for (const auto& other : errors) {
            EXPECT_EQ(port->Signal(other.lineId, -1), other.bit == c.bit ? 1 : 0) << c.bit << " " << other.lineId;
        }
        QvLineRecord record;
        port->ReadLineStatus(record);
        EXPECT_EQ(record.Field(c.lineId), 1);
        EXPECT_EQ(port->Signal(c.lineId, -1), 0);
    }
}

TEST_F(PortIoTest, BreakKeepsTheStateItSetAndReadsItBackWithoutTouchingTheLine) {
    EXPECT_EQ(port->Break(-1), 0);
    EXPECT_EQ(port->Break(1), 1);
    EXPECT_EQ(port->Signal(LINE_BREAK, -1), 1);
    EXPECT_EQ(port->Break(0), 0);
    port->CloseDevice();
    EXPECT_EQ(port->Break(1), LINK_ERR_BREAK);
    EXPECT_EQ(port->Break(-1), 0);
}

TEST_F(PortIoTest, DumpShowsTheSettingsAndQueuesWithSignWidenedCharacters) {
    EXPECT_NE(port->SetEventChar('\x80'), 0);
    comm.received = {1, 2, 3};
    comm.outQueue = 7;
    std::vector<std::string> lines;
    port->Dump([&lines](const char* line) { lines.emplace_back(line); });
    const std::vector<std::string> expected = {
        "Port type: MS Win32  BaudRate: 115200  ByteSize: 8  Parity: 0",
        "StopBits: 0  fBinary: 1  fRtsControl: 0",
        "Parity: 0  OutCtsFlow: 0  OutDsrFlow: 0  DtrControl: 1  OutX: 0  InX: 0",
        "Null: 0  XonChar: 11  XoffChar: 13",
        "XonLim: 2048  XoffLim: 128   EofChr: 00  EvtChr: ffffff80",
        "RX sz/ct:  8192/3      TX sz/ct:  8192/7      BLOCK SENT:0  BLOCK RECEIVED:0",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(PortIoTest, SetBufferSizesKeepsAZeroSizeAndDerivesTheXonLimit) {
    EXPECT_EQ(port->SetBufferSizes(4096, 0, 0), LINK_OK);
    EXPECT_EQ(comm.queueSizes, (std::vector<DWORD>{4096, 8192}));
    EXPECT_EQ(comm.settingsSent.back().XonLim, 1024);
    EXPECT_EQ(comm.settingsSent.back().XoffLim, 128);
    EXPECT_EQ(port->SetBufferSizes(0, 300, 1024), LINK_OK);
    EXPECT_EQ(comm.queueSizes, (std::vector<DWORD>{4096, 1024}));
    EXPECT_EQ(comm.settingsSent.back().XoffLim, 300);
    comm.refuseSettings = true;
    EXPECT_EQ(port->SetBufferSizes(0, 0, 0), LINK_ERR_GENERAL);
    EXPECT_EQ(port->TakeLastError(), LINK_ERR_GENERAL);
}

TEST_F(PortIoTest, EventMaskCallsReportMappedFailuresWithoutRecordingThem) {
    EXPECT_EQ(port->SetEventMask(EV_BREAK), 0);
    std::uint32_t mask = 0;
    EXPECT_EQ(port->GetEventMask(mask), 0);
    EXPECT_EQ(mask, static_cast<std::uint32_t>(EV_BREAK));
    // Idle leaves a mask chosen by the caller alone and sleeps instead.
    EXPECT_EQ(port->Idle(), 0);
    EXPECT_EQ(comm.masksSet.back(), static_cast<DWORD>(EV_BREAK));
    EXPECT_EQ(comm.sleeps, 1);

    comm.eventWaitAnswer = scripted::Answer::kFail;
    EXPECT_EQ(port->WaitEvent(mask), LINK_ERR_GENERAL);
    EXPECT_EQ(port->LastError(), LINK_OK);
}

TEST(Win32MapSystemError, LegacyCommErrorsHaveTheirCodesAndEveryOtherValueIs801) {
    const struct {
        std::int32_t value;
        int code;
    } cases[] = {
        {-1, LINK_ERR_PORT},      {-2, LINK_ERR_IN_USE},    {-3, LINK_ERR_PORT},
        {-4, LINK_ERR_NO_MEMORY}, {-5, LINK_ERR_TX_HANDSHAKE}, {-10, LINK_ERR_PORT},
        {-11, LINK_ERR_DATA_BITS}, {-12, LINK_ERR_BAUD},    {-6, LINK_ERR_GENERAL},
        {0, LINK_ERR_GENERAL},    {2, LINK_ERR_GENERAL},    {995, LINK_ERR_GENERAL},
    };
    for (const auto& c : cases) EXPECT_EQ(QvComWin32::MapSystemErrorValue(c.value), c.code) << c.value;
}

TEST_F(PortIoTest, IdleReturnsForUnreadInputOnceAndOtherwiseWaitsOrSleeps) {
    comm.received = {'a'};
    EXPECT_EQ(port->Idle(), 0);
    EXPECT_EQ(comm.eventWaits, 0);
    EXPECT_EQ(comm.sleeps, 0);

    // Input already reported is waited past; the device's event wait stays
    // pending from one Idle to the next.
    EXPECT_EQ(port->Idle(), 0);
    EXPECT_EQ(port->Idle(), 0);
    EXPECT_EQ(comm.eventWaits, 1);
    EXPECT_EQ(comm.masksSet.back(), static_cast<DWORD>(EV_RXCHAR));
    EXPECT_EQ(comm.sleeps, 0);
}

TEST_F(PortIoTest, IdleSleepsWhereTheDeviceCannotWaitForAnEvent) {
    comm.eventWaitAnswer = scripted::Answer::kFail;  // as Wine answers
    for (int k = 0; k < 5; ++k) EXPECT_EQ(port->Idle(), 0);
    EXPECT_EQ(comm.eventWaits, 3);
    EXPECT_EQ(comm.sleeps, 5);
}

// Wine cannot wait for a device event on a pty: Idle then waits in a one-byte
// read that the next byte ends, and the next read delivers that byte first.
TEST_F(PortIoTest, WithoutDeviceEventsIdleWaitsInAOneByteReadThatTheNextReadDelivers) {
    comm.eventWaitAnswer = scripted::Answer::kFail;
    comm.readAnswer = scripted::Answer::kPending;
    comm.arriving = {'k'};
    EXPECT_EQ(port->Idle(), 0);
    EXPECT_EQ(comm.sleeps, 0);
    EXPECT_EQ(comm.timeoutsSet.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(comm.timeoutsSet.ReadTotalTimeoutMultiplier, MAXDWORD);
    EXPECT_GT(comm.timeoutsSet.ReadTotalTimeoutConstant, 0u);
    QvQueueStatus status;
    port->QueueStatus(status, kQueueDetailCounts);
    EXPECT_EQ(status.rxCount, 1);

    comm.received = {'o'};
    char buffer[4] = {};
    EXPECT_EQ(port->Read(buffer, 4), 2);
    EXPECT_EQ(std::string(buffer, 2), "ko");
}

// Wine never ends such a read by its own time-out: a wait that ends with the
// read still pending cancels it, and the port goes on waiting in reads
// rather than taking the device for one that cannot wait and sleeping.
TEST_F(PortIoTest, AFirstByteReadStillPendingWhenTheWaitEndsIsCancelledAndTheNextWaitReadsAgain) {
    comm.eventWaitAnswer = scripted::Answer::kFail;
    comm.readAnswer = scripted::Answer::kPending;
    for (int k = 0; k < 5; ++k) EXPECT_EQ(port->Idle(), 0);
    EXPECT_EQ(comm.readCalls, 5);
    EXPECT_EQ(comm.cancels, 5);
    EXPECT_EQ(comm.sleeps, 0);
}

// A caller polling a full queue is answered once the line has made room, not
// after a query of the device every millisecond.
TEST_F(PortIoTest, ANearlyFullTransmitQueueIsReportedAtOnce) {
    comm.outQueue = kQueueSize - 1;
    QvQueueStatus status;
    port->QueueStatus(status, kQueueDetailTransmitCount);
    EXPECT_EQ(status.txCount, kQueueSize - 1);
    EXPECT_EQ(status.txSize, kQueueSize);
    EXPECT_EQ(status.rxTag, 1);
    EXPECT_LE(comm.statusQueries, 5);
}

}  // namespace
