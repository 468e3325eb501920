// Opening and releasing the Win32 port over scripted system calls: the name
// it opens, the settings and time-outs it applies, the hold on the port index,
// the cause it keeps when the device fails, and what it gives back.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "comlink/links.h"
#include "comlink/port_device_defaults.h"
#include "comlink/port_devices.h"
#include "comlink/win32/win32_device_name.h"
#include "scripted_comm.h"

namespace {

using OpenTest = Win32PortTest;

TEST_F(OpenTest, OpensTheComNameOfTheIndexOrOfItsMappingExclusivelyForOverlappedIo) {
    const struct {
        int index;
        std::string mapping;
        std::string opened;
    } cases[] = {
        {0, "", "\\\\.\\COM1"},
        {33, "", "\\\\.\\COM34"},
        {34, "", "\\\\.\\COM35"},
        {2, "COM7", "\\\\.\\COM7"},
        {2, "com12", "\\\\.\\com12"},
        {2, "\\\\.\\COM12", "\\\\.\\COM12"},
        {2, "COM", "COM"},
        {2, "COM1x", "COM1x"},
    };
    for (const auto& c : cases) {
        SetPortDevicePath(c.index, c.mapping);
        comm.opens.clear();
        {
            Links port(c.index, kQueueSize, kQueueSize);
            EXPECT_EQ(port.LastError(), LINK_OK) << c.opened;
        }
        SetPortDevicePath(c.index, "");
        ASSERT_EQ(comm.opens.size(), 1u);
        const scripted::OpenCall& call = comm.opens[0];
        EXPECT_EQ(call.name, c.opened);
        EXPECT_EQ(call.access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
        EXPECT_EQ(call.shareMode, 0u);
        EXPECT_EQ(call.creation, static_cast<DWORD>(OPEN_EXISTING));
        EXPECT_EQ(call.flags, static_cast<DWORD>(FILE_FLAG_OVERLAPPED));
    }
}

TEST_F(OpenTest, Applies115200EightNoneOneWithoutFlowControlAndKeepsTheDeviceOtherFields) {
    comm.deviceSettings.DCBlength = sizeof(DCB);
    comm.deviceSettings.fParity = 1;
    comm.deviceSettings.fDsrSensitivity = 1;
    comm.deviceSettings.fOutX = 1;
    comm.deviceSettings.fOutxCtsFlow = 1;
    comm.deviceSettings.fRtsControl = RTS_CONTROL_HANDSHAKE;
    comm.deviceSettings.Parity = EVENPARITY;
    comm.deviceSettings.EvtChar = 'x';

    Links port(kPortIndex, kQueueSize, kQueueSize);
    ASSERT_EQ(port.LastError(), LINK_OK);
    EXPECT_EQ(PortUseCount(kPortIndex), 1);
    EXPECT_EQ(comm.queueSizes, (std::vector<DWORD>{8192, 8192}));
    EXPECT_EQ(comm.masksSet, std::vector<DWORD>{0});
    ASSERT_EQ(comm.settingsSent.size(), 1u);
    const DCB& s = comm.settingsSent[0];
    EXPECT_EQ(s.BaudRate, 115200u);
    EXPECT_EQ(s.ByteSize, 8);
    EXPECT_EQ(s.Parity, NOPARITY);
    EXPECT_EQ(s.StopBits, ONESTOPBIT);
    EXPECT_EQ(s.fBinary, 1u);
    EXPECT_EQ(s.fOutxCtsFlow, 0u);
    EXPECT_EQ(s.fOutxDsrFlow, 0u);
    EXPECT_EQ(s.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(s.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(s.fNull, 0u);
    EXPECT_EQ(s.fAbortOnError, 0u);
    EXPECT_EQ(s.XonChar, 0x11);
    EXPECT_EQ(s.XoffChar, 0x13);
    EXPECT_EQ(s.EofChar, 0);
    EXPECT_EQ(s.EvtChar, 0);
    EXPECT_EQ(s.XonLim, 2048);
    EXPECT_EQ(s.XoffLim, 128);
    // Fields the port does not write keep what the device reported.
    EXPECT_EQ(s.fParity, 1u);
    EXPECT_EQ(s.fDsrSensitivity, 1u);
    EXPECT_EQ(s.fOutX, 1u);

    EXPECT_EQ(comm.timeoutsSet.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(comm.timeoutsSet.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(comm.timeoutsSet.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(comm.timeoutsSet.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(comm.timeoutsSet.WriteTotalTimeoutConstant, 0u);
    // DTR, then RTS, raised after the settings.
    EXPECT_EQ(comm.escapes, (std::vector<DWORD>{SETDTR, SETRTS}));
    EXPECT_EQ(port.Signal(LINE_DTR, -1), 1);
    EXPECT_EQ(port.Signal(LINE_RTS, -1), 1);
}

TEST_F(OpenTest, ReleaseEmptiesBothQueuesDropsDtrThenRtsAndGivesBackIndexAndTimer) {
    {
        Links port(kPortIndex, kQueueSize, kQueueSize);
        ASSERT_EQ(port.LastError(), LINK_OK);
        EXPECT_EQ(comm.timerPeriods, 1);
        comm.escapes.clear();
        comm.purges.clear();
    }
    EXPECT_EQ(comm.purges, (std::vector<DWORD>{PURGE_RXCLEAR, PURGE_TXCLEAR}));
    EXPECT_EQ(comm.escapes, (std::vector<DWORD>{CLRDTR, CLRRTS}));
    EXPECT_EQ(comm.closes, 1);
    EXPECT_EQ(comm.timerPeriods, 0);
    EXPECT_EQ(PortUseCount(kPortIndex), 0);
}

TEST_F(OpenTest, ASecondPortOnAHeldIndexIsRefusedWithoutTouchingTheDeviceAndLeavesTheFirstCounted) {
    auto first = std::make_unique<Links>(kPortIndex, kQueueSize, kQueueSize);
    ASSERT_EQ(first->LastError(), LINK_OK);
    comm.opens.clear();
    {
        Links second(kPortIndex, kQueueSize, kQueueSize);
        EXPECT_EQ(second.LastError(), LINK_ERR_IN_USE);
        EXPECT_EQ(second.NativeHandle(), 0);
        EXPECT_EQ(PortUseCount(kPortIndex), 1);
    }
    EXPECT_TRUE(comm.opens.empty());
    EXPECT_EQ(comm.closes, 0);
    EXPECT_EQ(PortUseCount(kPortIndex), 1);
    first.reset();
    EXPECT_EQ(PortUseCount(kPortIndex), 0);
    Links again(kPortIndex, kQueueSize, kQueueSize);
    EXPECT_EQ(again.LastError(), LINK_OK);
}

TEST_F(OpenTest, ADeviceThatCannotBeOpenedGives801KeepsTheSystemCauseAndReleasesNothing) {
    comm.openError = ERROR_FILE_NOT_FOUND;
    {
        Links port(kPortIndex, kQueueSize, kQueueSize);
        EXPECT_EQ(port.LastError(), LINK_ERR_GENERAL);
        EXPECT_EQ(port.NativeHandle(), 0);
        EXPECT_EQ(PortUseCount(kPortIndex), 0);
        const auto failure = port.OpenFailure();
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->step, DeviceOpenFailure::Step::kOpen);
        EXPECT_EQ(DescribeDeviceOpenFailure(*failure), "COM5 (\\\\.\\COM5): no such port");
    }
    EXPECT_EQ(comm.closes, 0);
    EXPECT_EQ(PortUseCount(kPortIndex), 0);
}

TEST_F(OpenTest, RefusedSettingsAtOpenGive801WhileTheDeviceStaysHeldUntilDestruction) {
    comm.refuseSettings = true;
    {
        Links port(kPortIndex, kQueueSize, kQueueSize);
        EXPECT_EQ(port.LastError(), LINK_ERR_GENERAL);
        EXPECT_NE(port.NativeHandle(), 0);
        EXPECT_EQ(PortUseCount(kPortIndex), 1);
        const auto failure = port.OpenFailure();
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->step, DeviceOpenFailure::Step::kSettings);
        EXPECT_EQ(failure->systemError, ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(comm.closes, 1);
    EXPECT_EQ(PortUseCount(kPortIndex), 0);
}

TEST_F(OpenTest, AFailingReleaseGives829AndIsNotRepeatedAtDestruction) {
    comm.closeFails = true;
    {
        Links port(kPortIndex, kQueueSize, kQueueSize);
        EXPECT_EQ(port.CloseDevice(), LINK_ERR_CLOSE);
        EXPECT_EQ(port.TakeLastError(), LINK_ERR_CLOSE);
        EXPECT_EQ(port.NativeHandle(), 0);
    }
    EXPECT_EQ(comm.closes, 1);
    EXPECT_EQ(PortUseCount(kPortIndex), 0);
}

TEST(Win32DeviceOpenCause, NamesTheSystemCauseInWords) {
    const struct {
        DeviceOpenFailure::Step step;
        DWORD systemError;
        std::string text;
    } cases[] = {
        {DeviceOpenFailure::Step::kOpen, ERROR_FILE_NOT_FOUND, "no such port"},
        {DeviceOpenFailure::Step::kOpen, ERROR_PATH_NOT_FOUND, "no such port"},
        {DeviceOpenFailure::Step::kOpen, ERROR_ACCESS_DENIED, "access denied (in use by another program)"},
        {DeviceOpenFailure::Step::kOpen, ERROR_SHARING_VIOLATION, "in use by another program"},
        {DeviceOpenFailure::Step::kSettings, ERROR_NOT_SUPPORTED, "not a serial device"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeviceOpenCauseText({1, "COM2", c.step, static_cast<int>(c.systemError)}), c.text);
    }
    const std::string refused = DeviceOpenCauseText(
        {1, "COM2", DeviceOpenFailure::Step::kSettings, static_cast<int>(ERROR_INVALID_PARAMETER)});
    EXPECT_EQ(refused.rfind("the device refused the line settings (", 0), 0u) << refused;
    EXPECT_EQ(PortDevicePath(34), "\\\\.\\COM35");
}

}  // namespace
