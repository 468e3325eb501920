#include <windows.h>

#include "app/cli/system_ports.h"

namespace cli {
namespace {

constexpr const char* kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
// Longest value name and data the registry allows for this key's entries.
constexpr DWORD kLongestName = 16384;
constexpr DWORD kLongestData = 1024;

// Closes a registry key on every way out.
class RegistryKey {
public:
    explicit RegistryKey(const char* path) {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~RegistryKey() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Each value of the key names a device ("\Device\Serial0"); its data is the
// COM name the system gave it ("COM1").
std::vector<ComPortEntry> ReadSerialComm() {
    std::vector<ComPortEntry> ports;
    const RegistryKey key(kSerialCommKey);
    if (key.get() == nullptr) return ports;  // no serial port at all
    std::string name(kLongestName, '\0');
    std::string data(kLongestData, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = kLongestName;
        DWORD dataLength = kLongestData;
        DWORD type = 0;
        const LONG result = RegEnumValueA(key.get(), index, name.data(), &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data.data()), &dataLength);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        std::string comName(data.data(), dataLength);
        while (!comName.empty() && comName.back() == '\0') comName.pop_back();
        if (comName.empty()) continue;
        ports.push_back(ComPortEntry{std::move(comName), std::string(name.data(), nameLength)});
    }
    return ports;
}

}  // namespace

std::string SystemPortListText(const std::string& /*iniPath*/) { return FormatComPortList(ReadSerialComm()); }

}  // namespace cli
