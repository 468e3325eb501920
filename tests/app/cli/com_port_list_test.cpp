// The --list-ports text of the COM ports the Windows registry lists.

#include <gtest/gtest.h>

#include "app/cli/system_ports.h"

namespace {

TEST(ComPortList, SortedByPortNumberWithTheDeviceBehindEach) {
    EXPECT_EQ(cli::FormatComPortList({{"COM10", "\\Device\\Serial9"},
                                      {"COM3", "\\Device\\VCP0"},
                                      {"CNCA0", "\\Device\\com0com10"},
                                      {"COM1", "\\Device\\Serial0"}}),
              "COM1   \\Device\\Serial0\n"
              "COM3   \\Device\\VCP0\n"
              "COM10  \\Device\\Serial9\n"
              "CNCA0  \\Device\\com0com10\n");
    EXPECT_EQ(cli::FormatComPortList({}), "No serial devices found.\n");
}

}  // namespace
