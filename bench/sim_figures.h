#pragma once
// What the benchmark programs read from the simulated instrument: its link
// appearing, the numbers of its JSON summary, its verdict on the images,
// and the bound of a whole update from its line times.

#include <optional>
#include <string>

namespace bench {

// Waits up to 5 s for the simulator's link to appear.
bool WaitForLink(const std::string& link);

// A number that follows "key": in a JSON text, or nothing.
std::optional<double> JsonNumber(const std::string& json, const std::string& key);

// The simulator received both images complete and equal to its files.
bool ImagesArrivedExact(const std::string& simJson);

long FileSize(const std::string& path);

struct UpdateBound {
    double lineMs = 0;           // every byte each way at its line time
    double simShareMs = 0;       // the simulator's own lateness on the echoes
    double holdBackExtraMs = 0;  // the part of the hold-back the line does not fill
    double boundMs = 0;          // all of it, with the pauses the line does not fill
};

// The shortest a whole update can take, from the simulator's summary.
// Without line time the transmit queue is empty at once: the whole
// hold-back pause counts.
UpdateBound BoundOfUpdate(const std::string& simJson, double updateBytes, const std::string& parentTag,
                          bool lineTime);

double ByteTimeMs(unsigned baud);
inline constexpr unsigned kBootBaud = 38400;
inline constexpr double kNsPerMs = 1e6;
inline constexpr double kNsPerSecond = 1e9;
// The parent tag of the benchmark's update.ini (bench/run.sh writes it).
inline constexpr const char* kParentTag = "<ORV72>";

}  // namespace bench
