#include <gtest/gtest.h>

#include "comlink/link_errors.h"
#include "comlink/port_devices.h"
#include "comlink/qv_com_link.h"
#include "fake_port.h"

namespace {

using fake::FakeLineTest;
using fake::FakePort;

// A port type that provides none of the operations.
class PortWithoutOperations : public QvComLink {};

TEST(FailureReport, TextNamesTheSourceAndTheLine) {
    EXPECT_EQ(QvFailureReportText(255),
              "Pure Virtual function called @CPP_ALL\\COMLINK,255\nUnable to continue execution");
}

TEST(FailureReportDeathTest, MissingOperationReportsAndExitsWithStatusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    PortWithoutOperations port;
    EXPECT_EXIT(port.SetBufferSizes(0, 0, 0), ::testing::ExitedWithCode(1),
                "Library Error: Pure Virtual function called @CPP_ALL.COMLINK,255\n"
                "Unable to continue execution");
}

TEST(FailureReportDeathTest, InstalledReporterGetsTitleAndText) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    PortWithoutOperations port;
    EXPECT_EXIT(
        {
            SetFailureReporter([](const std::string& text, const std::string& title) {
                std::fprintf(stderr, "[%s|%s]", title.c_str(), text.c_str());
            });
            port.Idle();
        },
        ::testing::ExitedWithCode(1), "\\[Library Error\\|Pure Virtual function called @CPP_ALL.COMLINK,241\n");
}

class QvComLinkBase : public FakeLineTest {};

TEST_F(QvComLinkBase, ReservedSlotsAreNotSupported) {
    PortWithoutOperations bare;
    FakePort port(line, 0);
    for (QvComLink* link : {static_cast<QvComLink*>(&bare), static_cast<QvComLink*>(&port)}) {
        EXPECT_EQ(link->Reserved1(), LINK_ERR_NOT_SUPPORTED);
        EXPECT_EQ(link->Reserved2(), LINK_ERR_NOT_SUPPORTED);
    }
}

TEST_F(QvComLinkBase, TakeLastErrorClearsThePendingCode) {
    FakePort port(line, 0);
    port.SetPendingError(LINK_ERR_WRITE_SHORT);
    EXPECT_EQ(port.LastError(), LINK_ERR_WRITE_SHORT);
    EXPECT_EQ(port.TakeLastError(), LINK_ERR_WRITE_SHORT);
    EXPECT_EQ(port.TakeLastError(), 0);
}

TEST_F(QvComLinkBase, UseCountFollowsTheHolderOfAnIndex) {
    {
        FakePort holder(line, 5);
        EXPECT_EQ(holder.LastError(), 0);
        {
            FakePort second(line, 5);
            EXPECT_EQ(second.LastError(), LINK_ERR_IN_USE);
            EXPECT_EQ(PortUseCount(5), 1);
        }
        EXPECT_EQ(PortUseCount(5), 1);
    }
    EXPECT_EQ(PortUseCount(5), 0);
    FakePort again(line, 5);
    EXPECT_EQ(again.LastError(), 0);
    // The count belongs to the device: another index mapped to it is refused.
    SetPortDevicePath(40, PortDevicePath(5));
    FakePort sameDevice(line, 40);
    EXPECT_EQ(sameDevice.LastError(), LINK_ERR_IN_USE);
    SetPortDevicePath(40, "");
    FakePort outside(line, -1);
    EXPECT_EQ(outside.LastError(), LINK_ERR_PORT);
}

}  // namespace
