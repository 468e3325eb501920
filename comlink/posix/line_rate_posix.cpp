// Systems without an arbitrary-rate interface: only the speed codes exist.

#include <cerrno>

#include "comlink/posix/line_rate.h"

bool SetArbitraryRate(int, std::uint32_t) {
    errno = EINVAL;
    return false;
}

bool ReadLineRates(int, std::uint32_t&, std::uint32_t&) { return false; }
