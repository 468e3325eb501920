#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cli/device_probe.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProcDir = "/proc";
constexpr const char* kProcLocks = "/proc/locks";
constexpr const char* kCharDeviceDir = "/sys/dev/char/";
constexpr const char* kTtySubsystem = "tty";
// Unix98 pseudo-terminal slaves have these major numbers.
constexpr unsigned kFirstPtyMajor = 136;
constexpr unsigned kLastPtyMajor = 143;
constexpr const char* kDialoutHint = "add the user to the 'dialout' group, then log in again";
constexpr const char* kModemManagerNames[] = {"ModemManager", "modem-manager"};

std::string ProcessName(const std::string& pid) {
    std::ifstream in(std::string(kProcDir) + "/" + pid + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

std::string DescribeProcess(const std::string& pid) {
    const std::string name = ProcessName(pid);
    return "pid " + pid + (name.empty() ? "" : " (" + name + ")");
}

bool IsTerminalDevice(const struct stat& info) {
    if (!S_ISCHR(info.st_mode)) return false;
    const unsigned major = ::major(info.st_rdev);
    if (major >= kFirstPtyMajor && major <= kLastPtyMajor) return true;
    std::error_code error;
    const fs::path subsystem = fs::read_symlink(
        std::string(kCharDeviceDir) + std::to_string(major) + ":" + std::to_string(::minor(info.st_rdev)) +
            "/subsystem",
        error);
    return !error && subsystem.filename() == kTtySubsystem;
}

// The holders of a flock on the file with this device and inode, from
// /proc/locks lines such as "1: FLOCK  ADVISORY  WRITE 1234 00:19:5 0 EOF".
std::vector<std::string> FlockHolders(const struct stat& info) {
    std::vector<std::string> holders;
    std::ifstream in(kProcLocks);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string number, type, mode, access, pid, where;
        if (!(fields >> number >> type)) continue;
        if (type == "->") fields >> type;  // a waiting lock
        if (!(fields >> mode >> access >> pid >> where) || type != "FLOCK") continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
        if (major == ::major(info.st_dev) && minor == ::minor(info.st_dev) && inode == info.st_ino) {
            holders.push_back(DescribeProcess(pid));
        }
    }
    return holders;
}

// Other processes with a descriptor on the device (those this user may see).
std::vector<std::string> OpenedBy(const fs::path& device) {
    std::vector<std::string> openers;
    const std::string self = std::to_string(::getpid());
    std::error_code error;
    for (const fs::directory_entry& process : fs::directory_iterator(kProcDir, error)) {
        const std::string pid = process.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
        std::error_code fdError;
        for (const fs::directory_entry& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError) == device && !linkError) {
                openers.push_back(DescribeProcess(pid));
                break;
            }
        }
    }
    return openers;
}

}  // namespace

DeviceProbe ProbeDevice(const std::string& path) {
    DeviceProbe probe;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return probe;
    probe.exists = true;
    probe.isSerial = IsTerminalDevice(info);
    probe.permitted = ::access(path.c_str(), R_OK | W_OK) == 0;
    if (!probe.permitted) probe.permissionHint = kDialoutHint;
    probe.lockHolders = FlockHolders(info);
    probe.busy = !probe.lockHolders.empty();
    std::error_code error;
    const fs::path device = fs::canonical(path, error);
    if (!error && probe.isSerial) probe.openedBy = OpenedBy(device);
    return probe;
}

std::optional<std::string> RunningModemManager() {
    std::error_code error;
    for (const fs::directory_entry& process : fs::directory_iterator(kProcDir, error)) {
        const std::string pid = process.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string name = ProcessName(pid);
        for (const char* manager : kModemManagerNames) {
            if (name == manager) return name + " (pid " + pid + ")";
        }
    }
    return std::nullopt;
}

}  // namespace cli
