// Profile reader: any bytes as update.ini. Values stay within the reader's
// limit, a key listed by Keys is found by GetString, nothing crashes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/fuzz-profile-" + std::to_string(::getpid()) + ".ini";
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
    const platform::ProfileFile profile(path);
    for (const char* section : {"UPDATE", "PORTS", ""}) {
        for (const std::string& key : profile.Keys(section)) {
            const std::string value = profile.GetString(section, key, "a");
            if (value.size() > platform::kProfileValueMax) std::abort();
            // A listed key must be found: no two defaults both come back.
            if (value == "a" && profile.GetString(section, key, "b") == "b") std::abort();
        }
        if (profile.GetString(section, "version", "Unknown").size() > platform::kProfileValueMax) std::abort();
    }
    return 0;
}
