#pragma once
// The --report audit record: one JSON object per update, one line each,
// appended to a file. Members:
//   tool, tool_version       "updater-cli" and its version
//   device                   the device path
//   instrument, new_version  from the configuration
//   installed_version        as the instrument reported it ("Unknown" without one)
//   update_method            1 or 2 (0 when the link did not open)
//   kernel, update           {"file", "size", "sha256"} of the bytes the update
//                            read from the images it held open; size and
//                            sha256 are null when an image could not be read
//   start, end               UTC, ISO 8601 with milliseconds ("...T...Z")
//   steps                    the step texts reached, in order
//   final_text, status       the final text and the exit status
//   detail                   only when the link did not open: why
//   stage, reason            only after a failure with a known cause: the
//                            step and why, as short names (json_events.h)

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "app/cli/update_outcome.h"
#include "engine/update_info.h"

namespace cli {

// "2026-12-09T00:40:05.123Z" for `unixMs` milliseconds since 1970.
std::string IsoUtcTime(std::int64_t unixMs);

// The record of one finished update. Reads both images for their digests.
nlohmann::json BuildUpdateRecord(const UpdateOutcome& outcome, const update_info& info,
                                 const std::string& toolVersion);

}  // namespace cli
