#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "comlink/link_errors.h"
#include "comlink/qv_data_format.h"
#include "comlink/qv_line_status.h"
#include "comlink/serial.h"
#include "fake_port.h"

namespace {

using fake::FakeLineTest;
using fake::FakePort;
using Events = std::vector<std::string>;

// Serial over fake ports built by an installed factory.
class SerialLink : public FakeLineTest {
protected:
    ScopedPortFactory useFakePorts{[this](int index, int rxSize, int txSize) {
        queueSizes.push_back({rxSize, txSize});
        return std::make_unique<FakePort>(line, index);
    }};
    std::vector<std::pair<int, int>> queueSizes;
    Serial serial;
};

TEST_F(SerialLink, FormatHistoryFromOpenToClose) {
    ASSERT_TRUE(serial.Open(4));
    EXPECT_EQ(queueSizes, (std::vector<std::pair<int, int>>{{8192, 8192}}));
    EXPECT_EQ(line->FormatHistory(),
              (Events{"format 115200 N 8 1", "format 1200 N 8 1", "format 9600 N 8 1",
                      "handshake 0 0", "format 1200 N 8 1", "handshake 0 0"}));
    EXPECT_EQ(line->EventsOf({"open", "signal"}), (Events{"open 4", "signal 3 1", "signal 4 1"}));
    line->events.clear();

    EXPECT_TRUE(serial.SetBaudRate(9600));
    ASSERT_NE(serial.DataFormat(), nullptr);
    // The rate went through the link's own format, not this one.
    EXPECT_EQ(serial.DataFormat()->Baud(), 1200);
    EXPECT_EQ(serial.DataFormat()->SetBaudRate(38400), 0);
    EXPECT_EQ(line->FormatHistory(), (Events{"format 9600 N 8 1", "format 38400 N 8 1"}));
    line->events.clear();

    serial.Close();
    EXPECT_FALSE(serial.IsOpen());
    EXPECT_EQ(line->events,
              (Events{"format 9600 N 8 1", "handshake 0 0", "format 115200 N 8 1", "flush 0 0",
                      "flush 1 0", "signal 3 0", "signal 4 0", "release 4"}));
    line->events.clear();
    serial.Close();
    EXPECT_TRUE(line->events.empty());
}

TEST_F(SerialLink, IndexHeldOpenIsRefusedUntilClosed) {
    ASSERT_TRUE(serial.Open(5));
    EXPECT_EQ(PortUseCount(5), 1);
    Serial second;
    EXPECT_FALSE(second.Open(5));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(PortUseCount(5), 1);
    EXPECT_TRUE(serial.IsOpen());

    serial.Close();
    EXPECT_EQ(PortUseCount(5), 0);
    EXPECT_TRUE(second.Open(5));
    EXPECT_FALSE(serial.Open(5));
}

TEST_F(SerialLink, IndexesPastTheWindowsRangeOpen) {
    constexpr int kWindowPorts = 35;  // COM1 to COM35
    EXPECT_TRUE(serial.Open(kWindowPorts - 1));
    Serial more;
    EXPECT_TRUE(more.Open(kWindowPorts + 28));  // 64 instruments at once
}

TEST_F(SerialLink, PortErrorAtConstructionFailsOpenWithoutTouchingTheDevice) {
    line->errorAtOpen = LINK_ERR_GENERAL;
    EXPECT_FALSE(serial.Open(0));
    EXPECT_FALSE(serial.IsOpen());
    EXPECT_TRUE(line->events.empty());
}

TEST_F(SerialLink, RefusedFormatFailsOpenAndReleasesThePort) {
    line->refusedBauds.insert(1200);
    EXPECT_FALSE(serial.Open(1));
    EXPECT_FALSE(serial.IsOpen());
    EXPECT_EQ(PortUseCount(1), 0);
    EXPECT_EQ(line->events.back(), "release 1");
}

TEST_F(SerialLink, MissingPortFailsOpen) {
    ScopedPortFactory noPort([](int, int, int) { return std::unique_ptr<QvComLink>(); });
    EXPECT_FALSE(serial.Open(0));
    EXPECT_FALSE(serial.IsOpen());
}

TEST_F(SerialLink, SetBaudRateAcceptsOnlyDivisorsOf115200) {
    ASSERT_TRUE(serial.Open(0));
    line->events.clear();
    EXPECT_FALSE(serial.SetBaudRate(7));
    EXPECT_FALSE(serial.SetBaudRate(1000));
    EXPECT_FALSE(serial.SetBaudRate(0));
    EXPECT_TRUE(line->events.empty());

    EXPECT_TRUE(serial.SetBaudRate(14400));
    EXPECT_TRUE(serial.SetBaudRate(115200));
    EXPECT_EQ(line->FormatHistory(), (Events{"format 14400 N 8 1", "format 115200 N 8 1"}));
}

TEST_F(SerialLink, SetBaudRateFailsWhenTheDeviceRefusesOrAnErrorIsPending) {
    ASSERT_TRUE(serial.Open(0));
    line->refusedBauds.insert(300);
    EXPECT_FALSE(serial.SetBaudRate(300));

    ASSERT_TRUE(serial.SetBaudRate(9600));
    ASSERT_EQ(serial.WriteText("toolong", kTerminatorNone), 7);
    line->txRoom = 0;
    EXPECT_EQ(serial.WriteByte('x'), LINK_ERR_WRITE_SHORT);
    EXPECT_FALSE(serial.SetBaudRate(19200));  // the pending -805 is taken
    EXPECT_TRUE(serial.SetBaudRate(19200));
}

TEST_F(SerialLink, ClosedLinkAnswersZeroFalseOrNull) {
    char buffer[4] = {'#', '#', '#', '#'};
    EXPECT_FALSE(serial.IsOpen());
    EXPECT_FALSE(serial.SetBaudRate(9600));
    EXPECT_EQ(serial.WriteText("abc", kTerminatorLf), 0);
    EXPECT_EQ(serial.ReadText(buffer, 3, '\n', 100), 0);
    EXPECT_EQ(std::string(buffer, 4), "####");
    EXPECT_EQ(serial.WriteByte('a'), 0);
    EXPECT_EQ(serial.ReadByte(100), 0);
    EXPECT_EQ(serial.FlushInput(), 0);
    EXPECT_EQ(serial.FlushOutput(), 0);
    EXPECT_EQ(serial.TxQueueCount(), 0);
    EXPECT_EQ(serial.LineStatus(), nullptr);
    EXPECT_EQ(serial.DataFormat(), nullptr);
    EXPECT_EQ(serial.Handle(), 0);
    EXPECT_TRUE(line->events.empty());
    EXPECT_TRUE(queueSizes.empty());
}

TEST_F(SerialLink, OpenLinkPassesThroughToThePort) {
    ASSERT_TRUE(serial.Open(3));
    EXPECT_EQ(serial.Handle(), 1003);
    ASSERT_NE(serial.LineStatus(), nullptr);
    EXPECT_EQ(serial.LineStatus()->RxMode(), HANDSHAKE_NONE);

    EXPECT_EQ(serial.WriteText("<A>?</A>", kTerminatorLf), 9);
    EXPECT_EQ(serial.WriteByte(0x0D), 0);
    EXPECT_EQ(line->sent, "<A>?</A>\n\r");

    line->Receive("\xAA" "reply\n");
    EXPECT_EQ(serial.ReadByte(0), 0xAA);
    char reply[16];
    EXPECT_EQ(serial.ReadText(reply, 15, '\n', 100), 6);
    EXPECT_STREQ(reply, "reply\n");

    line->txPending = 12;
    EXPECT_EQ(serial.TxQueueCount(), 12);
    line->Receive("stale");
    EXPECT_EQ(serial.FlushInput(), 0);
    EXPECT_EQ(serial.ReadByte(0), LINK_ERR_NO_DATA);
}

TEST_F(SerialLink, OpenOnAnOpenLinkKeepsTheLink) {
    ASSERT_TRUE(serial.Open(6));
    EXPECT_FALSE(serial.Open(7));
    EXPECT_TRUE(serial.IsOpen());
    EXPECT_EQ(serial.Handle(), 1006);
    EXPECT_EQ(queueSizes.size(), 1u);
}

TEST(PortFactory, ScopedFactoryPutsThePreviousOneBack) {
    int built = 0;
    {
        ScopedPortFactory outer([&built](int, int, int) {
            ++built;
            return std::unique_ptr<QvComLink>();
        });
        {
            ScopedPortFactory inner([](int, int, int) { return std::unique_ptr<QvComLink>(); });
            EXPECT_EQ(MakePort(0, 1, 1), nullptr);
            EXPECT_EQ(built, 0);
        }
        EXPECT_EQ(MakePort(0, 1, 1), nullptr);
        EXPECT_EQ(built, 1);
    }
}

}  // namespace
