#pragma once
// The look at the two images before the port opens, for every front end:
// what the command line refuses, what its --check reports, what a window may
// tell. The worker itself only tests that both exist; an image it cannot send
// would otherwise be found out only once the instrument sits in its boot side.

#include <optional>
#include <string>
#include <vector>

#include "engine/update_info.h"

namespace app {

// Largest byte count over both images that the worker's 32-bit counters carry.
inline constexpr long long kLargestImageTotal = 0x7FFFFFFF;
// The update image's last two bytes are held back, so it needs at least two.
inline constexpr long long kSmallestUpdateImage = 2;

struct ImageCheck {
    // One line per image the worker will report missing ("Missing an update
    // binary."): which key, which path, why. The run goes on and says so.
    std::vector<std::string> missing;
    // Why the run must not start (an image that exists but cannot be sent:
    // a folder, a device, unreadable, too short or too long together); only
    // when no image is missing.
    std::optional<std::string> refusal;
};

// Checks the images `info` names, as the worker will use them.
ImageCheck CheckImages(const update_info& info);

}  // namespace app
