// The guard's verdict under Wine: only a COM port that Wine's port table maps
// to a /dev/pts/ device passes; unmapped ports (which Wine gives the machine's
// /dev/ttyS* devices) and other names do not.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/port_guard.h"

namespace {

constexpr const char* kWinePortsKey = "Software\\Wine\\Ports";
// High port numbers no other test maps.
constexpr const char* kMappedPort = "COM249";
constexpr const char* kMappedToSerial = "COM248";

void Map(const char* port, const std::string& target) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, kWinePortsKey, port, REG_SZ, target.c_str(),
                              static_cast<DWORD>(target.size() + 1)),
              ERROR_SUCCESS);
}

void Unmap(const char* port) { RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kWinePortsKey, port); }

TEST(PortGuard, OnlyComPortsMappedToPseudoTerminalsPass) {
    Map(kMappedPort, "/dev/pts/7");
    Map(kMappedToSerial, "/dev/ttyUSB97");  // a serial device name, not a pty
    EXPECT_TRUE(test_support::ReachesPseudoTerminal("COM249"));
    EXPECT_TRUE(test_support::ReachesPseudoTerminal("\\\\.\\com249"));
    for (const char* refused : {"COM248", "\\\\.\\COM247", "COM1", "COM0249", "/dev/pts/7", "NUL", ""}) {
        EXPECT_FALSE(test_support::ReachesPseudoTerminal(refused)) << refused;
    }
    Unmap(kMappedPort);
    Unmap(kMappedToSerial);
    EXPECT_FALSE(test_support::ReachesPseudoTerminal("COM249"));
}

}  // namespace
