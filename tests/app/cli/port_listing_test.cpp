// The serial device list, read from a made-up copy of the kernel's tty class
// folder: which entries count as serial devices, what is told about USB
// adapters, and which COM numbers open them.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/cli/port_listing.h"

namespace {
namespace fs = std::filesystem;

class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("updater-cli-sysfs-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(Class());
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path Class() const { return root_ / "class" / "tty"; }

    static void Write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << "\n";
    }
    // A tty entry whose "device" link points at `deviceDir` under devices/.
    void AddTty(const std::string& name, const fs::path& deviceDir) {
        fs::create_directories(Class() / name);
        fs::create_directories(root_ / deviceDir);
        fs::create_directory_symlink(root_ / deviceDir, Class() / name / "device");
    }
    void AddDriver(const fs::path& deviceDir, const std::string& driver) {
        fs::create_directories(root_ / "bus" / driver);
        fs::create_directory_symlink(root_ / "bus" / driver, root_ / deviceDir / "driver");
    }

    fs::path root_;
};

TEST_F(FakeSysfs, KeepsRealPortsAndUsbAdaptersOnly) {
    // Virtual consoles: no device behind them.
    fs::create_directories(Class() / "tty");
    fs::create_directories(Class() / "tty1");
    fs::create_directories(Class() / "console");
    // A UART that was found, and a ttyS entry without hardware (type 0).
    AddTty("ttyS0", "devices/pnp0/00:01");
    Write(Class() / "ttyS0" / "type", "4");
    AddDriver("devices/pnp0/00:01", "serial");
    AddTty("ttyS3", "devices/platform/serial8250");
    Write(Class() / "ttyS3" / "type", "0");
    // An FTDI adapter: the USB device two folders above the tty's device.
    const fs::path usb = "devices/pci0/usb1/1-2";
    Write(root_ / usb / "idVendor", "0403");
    Write(root_ / usb / "idProduct", "6001");
    Write(root_ / usb / "manufacturer", "FTDI");
    Write(root_ / usb / "product", "FT232R USB UART");
    Write(root_ / usb / "serial", "A50285BI");
    AddTty("ttyUSB0", usb / "1-2:1.0" / "ttyUSB0");
    AddDriver(usb / "1-2:1.0" / "ttyUSB0", "ftdi_sio");

    const std::vector<cli::SerialDeviceInfo> devices = cli::ListSerialDevices(Class().string());
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].devicePath, "/dev/ttyS0");
    EXPECT_EQ(devices[0].driver, "serial");
    EXPECT_EQ(devices[0].usbVendorId, "");
    EXPECT_EQ(devices[1].devicePath, "/dev/ttyUSB0");
    EXPECT_EQ(devices[1].driver, "ftdi_sio");
    EXPECT_EQ(devices[1].usbVendorId, "0403");
    EXPECT_EQ(devices[1].usbProductId, "6001");
    EXPECT_EQ(devices[1].serialNumber, "A50285BI");
}

TEST_F(FakeSysfs, MissingFolderGivesNoDevices) {
    EXPECT_TRUE(cli::ListSerialDevices((root_ / "absent").string()).empty());
    EXPECT_EQ(cli::FormatDeviceList({}), "No serial devices found.\n");
}

TEST(PortListing, ComNumbersFromThePortsSectionAndTheDefaults) {
    std::vector<cli::SerialDeviceInfo> devices(2);
    devices[0].name = "ttyS0";
    devices[0].devicePath = "/dev/ttyS0";
    devices[0].driver = "serial";
    devices[1].name = "ttyUSB0";
    devices[1].devicePath = "/dev/ttyUSB0";
    devices[1].usbVendorId = "0403";
    devices[1].usbProductId = "6001";
    devices[1].manufacturer = "FTDI";
    devices[1].serialNumber = "A5";

    // COM1 is moved away from ttyS0; COM3 and COM12 both name the adapter.
    cli::AssignComNumbers(devices, {{1, "/dev/ttyUSB0"}, {3, "/dev/ttyUSB0"}, {12, "/dev/ttyUSB0"}});
    EXPECT_TRUE(devices[0].comNumbers.empty());
    EXPECT_EQ(devices[1].comNumbers, (std::vector<int>{1, 3, 12}));

    cli::AssignComNumbers(devices, {});
    EXPECT_EQ(devices[0].comNumbers, std::vector<int>{1});
    EXPECT_TRUE(devices[1].comNumbers.empty());
    EXPECT_EQ(cli::FormatDeviceList(devices),
              "/dev/ttyS0    COM1  serial port (serial)\n"
              "/dev/ttyUSB0  -  USB 0403:6001 FTDI, serial A5\n");
}

}  // namespace
