#include <windows.h>

#include "app/profile_source.h"

namespace app {

namespace {
constexpr char kDeviceNamespace[] = "\\\\.\\";
}  // namespace

bool UsableAsProfile(const std::string& path) {
    // "\\.\COM1" and the like name devices, never files.
    if (path.rfind(kDeviceNamespace, 0) == 0) return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // missing or unreachable: read as missing
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) return false;
    // The reserved names (NUL, CON, COM1, ...) open devices in any folder.
    char target[MAX_PATH];
    const std::string name = path.substr(path.find_last_of("\\/:") + 1);
    const std::string stem = name.substr(0, name.find('.'));
    return stem.empty() || QueryDosDeviceA(stem.c_str(), target, MAX_PATH) == 0;
}

}  // namespace app
