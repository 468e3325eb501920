#pragma once
// The process's standard input, output and error at start-up.

namespace platform {

// Gives each of the three standard streams that the process was started
// without (descriptor 0, 1 or 2 closed) the null device, so that no file or
// serial device opened later takes its number and receives what is printed.
// Call it first in main, before anything is opened. Returns false when a
// closed stream could not be given the null device.
bool EnsureStandardStreamsOpen();

}  // namespace platform
