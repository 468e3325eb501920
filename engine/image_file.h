#pragma once
// Opening the image files for raw byte reads. (Their existence is tested with
// platform::FileExists.)

#include <fstream>
#include <string>

namespace engine {

// Opens `path` for reading raw bytes through a buffered stream. The stream is
// in a failed state when the file cannot be opened or is a directory.
std::ifstream OpenImage(const std::string& path);

}  // namespace engine
