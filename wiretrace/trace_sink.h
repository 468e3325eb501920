#pragma once
// Where a traced port reports what crossed its wire: bytes in each direction
// with the line rate at that moment, and step markers from above.

#include <cstddef>
#include <cstdint>
#include <string>

enum class TraceDirection {
    kSent,      // from the host to the instrument
    kReceived,  // from the instrument to the host
};

class TraceSink {
public:
    virtual ~TraceSink() = default;
    // `count` bytes at `bytes` crossed the wire in `direction` at `baud`.
    // Called on the thread that uses the port.
    virtual void Bytes(TraceDirection direction, const std::uint8_t* bytes, std::size_t count,
                       std::int32_t baud) = 0;
    // A text that marks a point in the trace (the step texts). Any thread.
    virtual void Marker(const std::string& text) = 0;
};
