#pragma once
// Access to the image files: existence test and opening for raw byte reads.

#include <fstream>
#include <string>

namespace engine {

// True when `path` names an existing file that is not a directory.
bool ImageFileExists(const std::string& path);

// Opens `path` for reading raw bytes through a buffered stream. The stream is
// in a failed state when the file cannot be opened or is a directory.
std::ifstream OpenImage(const std::string& path);

}  // namespace engine
