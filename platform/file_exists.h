#pragma once
// The file-existence test.

#include <string>

namespace platform {

// Returns true when `path` names an existing file that is not a folder.
// Never throws; a path the system cannot examine counts as missing.
bool FileExists(const std::string& path);

}  // namespace platform
