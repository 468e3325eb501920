#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comlink/link_errors.h"
#include "comlink/qv_data_format.h"
#include "comlink/qv_line_status.h"
#include "comlink/qv_serial.h"
#include "fake_port.h"

namespace {

using fake::FakeLineTest;
using fake::FakePort;
using Events = std::vector<std::string>;

class LinkFormat : public FakeLineTest {};

TEST_F(LinkFormat, LinkSetsItsFormatAndPutsBackWhatItFound) {
    FakePort port(line, 2);
    {
        QvSerial link(port);
        EXPECT_EQ(line->FormatHistory(), (Events{"format 115200 N 8 1", "format 1200 N 8 1",
                                                 "format 9600 N 8 1", "handshake 0 0"}));
        line->events.clear();
    }
    EXPECT_EQ(line->FormatHistory(), (Events{"handshake 0 0", "format 115200 N 8 1"}));
}

TEST_F(LinkFormat, LinkPutsBackTheHandshakeModesItFound) {
    line->initialRxMode = HANDSHAKE_XONXOFF;
    line->initialTxMode = HANDSHAKE_CTS;
    FakePort port(line, 0);
    {
        QvSerial link(port);
        QvLineStatus& status = *link.Status();
        EXPECT_EQ(status.InitialRxMode(), HANDSHAKE_XONXOFF);
        EXPECT_EQ(status.InitialTxMode(), HANDSHAKE_CTS);
        EXPECT_EQ(status.SetHandshake(HANDSHAKE_RTS, HANDSHAKE_DSR), 0);
        EXPECT_EQ(status.RxMode(), HANDSHAKE_RTS);
        EXPECT_EQ(status.TxMode(), HANDSHAKE_DSR);
        line->events.clear();
    }
    EXPECT_EQ(line->FormatHistory(), (Events{"handshake 1 12", "format 115200 N 8 1"}));
}

TEST_F(LinkFormat, RefusedRateKeepsThePreviousOneWithoutWritingThePortAgain) {
    FakePort port(line, 0);
    QvSerial link(port);
    QvDataFormat& format = *link.Format();
    line->refusedBauds.insert(14400);
    line->events.clear();

    EXPECT_EQ(format.SetBaudRate(14400), LINK_ERR_GENERAL);
    EXPECT_EQ(format.Baud(), 9600);
    EXPECT_EQ(line->EventsOf({"format", "refused"}), (Events{"refused 14400"}));

    EXPECT_EQ(format.SetBaudRate(38400), 0);
    EXPECT_EQ(format.Baud(), 38400);
    EXPECT_EQ(format.Parity(), 'N');
    EXPECT_EQ(format.SavedBaud(), 115200);
}

TEST_F(LinkFormat, DetachedFormatReachesNoPort) {
    {
        QvDataFormat format;
        EXPECT_FALSE(format.IsAttached());
        EXPECT_EQ(format.Apply(), LINK_ERR_GENERAL);
        EXPECT_EQ(format.ReadBack(), LINK_ERR_GENERAL);
        EXPECT_EQ(format.Set(9600, 'E', 7, 2), LINK_ERR_GENERAL);
        EXPECT_EQ(format.SavedBaud(), 1200);
    }
    EXPECT_TRUE(line->events.empty());
}

TEST_F(LinkFormat, PortFailedAtConstructionIsLeftAlone) {
    line->errorAtOpen = LINK_ERR_GENERAL;
    FakePort port(line, 0);
    {
        QvSerial link(port);
        EXPECT_FALSE(link.PortReady());
        EXPECT_EQ(link.Format(), nullptr);
        EXPECT_EQ(link.Status(), nullptr);
        QvDataFormat format(link);
        EXPECT_FALSE(format.IsAttached());
        std::uint16_t word = 0;
        EXPECT_EQ(link.CheckStatus(word), LINK_ERR_GENERAL);
        EXPECT_EQ(link.CheckStatus(word), 0);
    }
    EXPECT_TRUE(line->events.empty());
}

}  // namespace
