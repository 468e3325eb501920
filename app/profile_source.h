#pragma once
// Whether a configuration path can be read as a profile at all.

#include <string>

namespace app {

// Returns false when `path` names a directory or a device: the one cannot be
// read as text and the other may never end (/dev/zero). A missing path, a
// regular file or a pipe gives true; the profile reader handles those.
bool UsableAsProfile(const std::string& path);

}  // namespace app
