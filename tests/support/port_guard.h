#pragma once
// Whether a device name reaches a pseudo-terminal, the only kind of device a
// test may open. One source file per system.

#include <string>

namespace test_support {

// True when opening `device` reaches a pseudo-terminal: on Linux a path that
// resolves into /dev/pts/; on Windows (under Wine) a COM port that Wine's
// HKLM\Software\Wine\Ports maps to a /dev/pts/ path. Anything else, a real
// Windows machine's ports included, is refused.
bool ReachesPseudoTerminal(const std::string& device);

// How a test makes a port reach a pseudo-terminal on this system.
extern const char* const kPseudoTerminalHint;

}  // namespace test_support
