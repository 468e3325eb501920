#include <gtest/gtest.h>

#include "app/configuration.h"
#include "app/port_map.h"
#include "app/profile_source.h"
#include "platform/executable_path.h"
#include "temp_ini.h"

namespace {

// The few rules that differ between the systems are checked for the one
// this test runs on.
constexpr bool kOnWindows = platform::kPathSeparator == '\\';

TEST(Configuration, ReadsTheFiveKeysOfSectionUpdate) {
    TempIni ini("[PORTS]\nversion=wrong section\n"
                "[update]\n"
                "Version = 2.1.0\n"
                "INSTRUMENT=\"Orvane\"\n"
                "parent_tag=<ORV99>\n"
                "update_file= images/update.bin \n"
                "kernel_file='images/kernel.bin'\n");
    const update_info info = app::ReadUpdateInfo(ini.Path());
    EXPECT_EQ(info.version, "2.1.0");
    EXPECT_EQ(info.instrument, "Orvane");
    EXPECT_EQ(info.parent_tag, "<ORV99>");
    EXPECT_EQ(info.update_file, "images/update.bin");
    EXPECT_EQ(info.kernel_file, "images/kernel.bin");

    EXPECT_EQ(app::ApplicationTitle(info), "Orvane Update");
    EXPECT_EQ(app::WindowCaption(info), "Orvane Update(Mar 22 2010)");
    EXPECT_EQ(app::TitleLabel(info), "Orvane Instrument Software Update (2.1.0)");
}

TEST(Configuration, DefaultsWithoutTheFileOrKeys) {
    TempIni partial("[UPDATE]\ninstrument=Orvane\n");
    const update_info some = app::ReadUpdateInfo(partial.Path());
    EXPECT_EQ(some.instrument, "Orvane");
    EXPECT_EQ(some.version, "Unknown");

    const update_info none = app::ReadUpdateInfo(partial.Path() + ".missing");
    EXPECT_EQ(none.version, "Unknown");
    EXPECT_EQ(none.instrument, "Unknown");
    EXPECT_EQ(none.parent_tag, "<ORV72>");
    EXPECT_EQ(none.update_file, "");
    EXPECT_EQ(none.kernel_file, "");
    EXPECT_EQ(app::WindowCaption(none), "Unknown Update(Mar 22 2010)");
    EXPECT_EQ(app::TitleLabel(none), "Unknown Instrument Software Update (Unknown)");
}

TEST(Configuration, DirectoriesAndDevicesReadAsMissing) {
    TempIni file("[UPDATE]\ninstrument=Orvane\n[PORTS]\nCOM2=/dev/pts/9\n");
    const std::string folder = std::filesystem::temp_directory_path().string();
    EXPECT_TRUE(app::UsableAsProfile(file.Path()));
    EXPECT_TRUE(app::UsableAsProfile(file.Path() + ".missing"));
    EXPECT_FALSE(app::UsableAsProfile(folder));
    if (kOnWindows) {
        EXPECT_FALSE(app::UsableAsProfile("NUL"));  // a device
    } else {
        EXPECT_FALSE(app::UsableAsProfile("/dev/zero"));  // never ends
    }

    EXPECT_EQ(app::ReadUpdateInfo(folder).instrument, "Unknown");
    EXPECT_EQ(app::ReadUpdateInfo("/dev/zero").version, "Unknown");
    EXPECT_TRUE(app::ReadPortMap(folder).empty());
    EXPECT_TRUE(app::ReadPortMap("/dev/zero").empty());
    EXPECT_EQ(app::ReadPortMap(file.Path()).at(2), "/dev/pts/9");
}

TEST(Configuration, LivesBesideTheExecutable) {
    const std::string sep(1, platform::kPathSeparator);
    EXPECT_EQ(app::ConfigurationPathFor("/opt/updater/bin/updater"), "/opt/updater/bin" + sep + "update.ini");
    EXPECT_EQ(app::ConfigurationPathFor("/updater"), "/update.ini");
    const std::string path = app::DefaultConfigurationPath();
    EXPECT_TRUE(path.ends_with(sep + "update.ini")) << path;
    EXPECT_NE(path.find(sep + "tests" + sep), std::string::npos) << path;  // beside this test program
}

TEST(Configuration, BesideTheProgramFirstThenTheUsersFolder) {
    TempIni beside("");
    TempIni users("");
    const std::string missing = beside.Path() + ".missing";
    const std::string besideProgram = app::ConfigurationPathFor("/usr/bin/updater");
    const std::string usersOwn = platform::JoinPath("/home/tech/.config/instrument-updater", "update.ini");
    EXPECT_EQ(app::ConfigurationCandidates("/usr/bin/updater", "/home/tech/.config/instrument-updater"),
              (std::vector<std::string>{besideProgram, usersOwn}));
    EXPECT_EQ(app::ConfigurationCandidates("/usr/bin/updater", ""), std::vector<std::string>{besideProgram});
    EXPECT_EQ(app::FirstExistingConfiguration({beside.Path(), users.Path()}), beside.Path());
    EXPECT_EQ(app::FirstExistingConfiguration({missing, users.Path()}), users.Path());
    EXPECT_EQ(app::FirstExistingConfiguration({missing, missing + "2"}), missing);
}

TEST(Configuration, WindowsTakeRelativeImagePathsFromTheFolderOfUpdateIni) {
    const struct {
        const char* folder;
        const char* image;
        char separator;
        const char* expected;
    } rows[] = {
        {"/opt/updater", "images/k.bin", '/', "/opt/updater/images/k.bin"},
        {"/opt/updater", "/srv/k.bin", '/', "/srv/k.bin"},
        {"/opt/updater", "", '/', ""},
        {"/", "k.bin", '/', "/k.bin"},
        {"", "k.bin", '/', "k.bin"},
        {"/opt/updater", "C:k.bin", '/', "/opt/updater/C:k.bin"},  // only a name on POSIX
        {"D:\\Tools", "images\\k.bin", '\\', "D:\\Tools\\images\\k.bin"},
        {"D:\\Tools", "C:\\k.bin", '\\', "C:\\k.bin"},
        {"D:\\Tools", "C:k.bin", '\\', "C:k.bin"},
        {"D:\\Tools", "\\images\\k.bin", '\\', "D:\\images\\k.bin"},
        {"D:\\Tools", "\\\\server\\share\\k.bin", '\\', "\\\\server\\share\\k.bin"},
        {"\\\\server\\share", "k.bin", '\\', "\\\\server\\share\\k.bin"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(app::ImagePathFrom(row.folder, row.image, row.separator), row.expected)
            << row.folder << " + " << row.image;
    }

    // The windows read them so; the command line keeps them as written.
    TempIni ini("[UPDATE]\nkernel_file=k.bin\nupdate_file=\n");
    const std::string folder = platform::DirectoryOf(ini.Path());
    EXPECT_EQ(app::ReadWindowConfiguration(ini.Path()).kernel_file, platform::JoinPath(folder, "k.bin"));
    EXPECT_EQ(app::ReadWindowConfiguration(ini.Path()).update_file, "");
    EXPECT_EQ(app::ReadUpdateInfo(ini.Path()).kernel_file, "k.bin");
}

TEST(PortMap, NamedPortsOpenTheirDeviceOthersTheSystemSerialPort) {
    TempIni ini("[ports]\n"
                "COM1=/dev/pts/7\n"
                "com12 = \"/dev/ttyUSB0\"\n"
                "COM1=/dev/ignored\n"
                "COM05=/dev/leading-zero\n"
                "COM36=/dev/out-of-range\n"
                "COM0=/dev/zero-port\n"
                "COM3=\n"
                "COMX=/dev/not-a-number\n");
    const app::PortMap ports = app::ReadPortMap(ini.Path());
    EXPECT_EQ(ports, (app::PortMap{{1, "/dev/pts/7"}, {12, "/dev/ttyUSB0"}}));
    EXPECT_EQ(app::DevicePathForPort(1, ports), "/dev/pts/7");
    EXPECT_EQ(app::DevicePathForPort(3, ports), app::DefaultDevicePathForPort(3));
    EXPECT_TRUE(app::ReadPortMap(ini.Path() + ".missing").empty());
}

TEST(PortMap, TheSystemsOwnDeviceForAPortNumber) {
    if (kOnWindows) {
        EXPECT_EQ(app::DefaultDevicePathForPort(3), "\\\\.\\COM3");
        EXPECT_EQ(app::DefaultDevicePathForPort(35), "\\\\.\\COM35");
        EXPECT_EQ(app::PortNumberOfDeviceName("COM7"), 7);
        EXPECT_EQ(app::PortNumberOfDeviceName("com12"), 12);
        EXPECT_EQ(app::PortNumberOfDeviceName("\\\\.\\COM12"), 12);
        EXPECT_EQ(app::PortNumberOfDeviceName("\\\\.\\COM36"), 0);  // opened by its name, as port 1
        EXPECT_EQ(app::PortNumberOfDeviceName("\\\\?\\COM3"), 0);
    } else {
        EXPECT_EQ(app::DefaultDevicePathForPort(3), "/dev/ttyS2");
        EXPECT_EQ(app::DefaultDevicePathForPort(35), "/dev/ttyS34");
        EXPECT_EQ(app::PortNumberOfDeviceName("COM7"), 0);  // a file name like any other
    }
}

}  // namespace
