#pragma once
// Whether a configuration path can be read as a profile at all.

#include <string>

namespace app {

// Returns false when `path` names something other than a regular file (a
// directory, a device, a FIFO, a socket), which the profile reader reads as
// missing. A missing path or a regular file gives true.
bool UsableAsProfile(const std::string& path);

}  // namespace app
