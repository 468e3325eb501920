// The traced port: what it reports of the bytes that pass, and that the link
// above still sees the inner port's results and errors; the trace line format
// read back, cut-short lines included.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "wiretrace/trace_format.h"
#include "wiretrace/tracing_port.h"

namespace {

using wire_trace::ParseTraceLine;
using wire_trace::TraceEvent;

// Takes up to `room` bytes per write, hands out `incoming`, keeps one rate.
class InnerPort final : public QvComLink {
public:
    int room = 100;
    std::string incoming;
    std::int32_t baud = 115200;

    void GetFormat(std::int32_t& b, char& parity, int& dataBits, int& stopBits) override {
        b = baud;
        parity = 'N';
        dataBits = 8;
        stopBits = 1;
    }
    int SetFormat(std::int32_t b, char, int, int) override {
        baud = b;
        return LINK_OK;
    }
    int Write(const void*, int length) override {
        const int taken = std::min(length, room);
        if (taken < length) lastError = LINK_ERR_WRITE_SHORT;
        return taken;
    }
    int WriteByte(std::uint8_t byte) override { return Write(&byte, 1) == 1 ? LINK_OK : LINK_ERR_WRITE_SHORT; }
    int Read(void* buffer, int length) override {
        const int count = std::min<int>(length, static_cast<int>(incoming.size()));
        incoming.copy(static_cast<char*>(buffer), static_cast<std::size_t>(count));
        incoming.erase(0, static_cast<std::size_t>(count));
        return count;
    }
    int ReadByte() override {
        std::uint8_t byte = 0;
        return Read(&byte, 1) == 1 ? byte : LINK_ERR_NO_DATA;
    }
};

struct Seen {
    TraceDirection direction;
    std::string bytes;
    std::int32_t baud;
};

class RecordingSink final : public TraceSink {
public:
    std::vector<Seen> seen;
    void Bytes(TraceDirection direction, const std::uint8_t* bytes, std::size_t count, std::int32_t baud) override {
        seen.push_back({direction, std::string(reinterpret_cast<const char*>(bytes), count), baud});
    }
    void Marker(const std::string&) override {}
};

TEST(TracingPort, ReportsWhatPassedWithTheRateAndKeepsResultsAndErrors) {
    auto inner = std::make_unique<InnerPort>();
    InnerPort& line = *inner;
    auto sink = std::make_shared<RecordingSink>();
    TracingPort port(std::move(inner), sink);

    EXPECT_EQ(port.Write("abc", 3), 3);
    EXPECT_EQ(port.SetFormat(9600, 'N', 8, 1), LINK_OK);
    line.room = 2;
    EXPECT_EQ(port.Write("wxyz", 4), 2);  // a short write: only what was taken is traced
    EXPECT_EQ(port.TakeLastError(), LINK_ERR_WRITE_SHORT);
    EXPECT_EQ(port.LastError(), LINK_OK);
    line.room = 0;
    EXPECT_EQ(port.WriteByte('q'), LINK_ERR_WRITE_SHORT);
    port.TakeLastError();
    line.incoming = "\xAA" "OK";
    EXPECT_EQ(port.ReadByte(), 0xAA);
    char buffer[8];
    EXPECT_EQ(port.Read(buffer, 8), 2);
    EXPECT_EQ(port.ReadByte(), LINK_ERR_NO_DATA);  // nothing came: nothing traced

    ASSERT_EQ(sink->seen.size(), 4u);
    EXPECT_EQ(sink->seen[0].direction, TraceDirection::kSent);
    EXPECT_EQ(sink->seen[0].bytes, "abc");
    EXPECT_EQ(sink->seen[0].baud, 115200);
    EXPECT_EQ(sink->seen[1].bytes, "wx");
    EXPECT_EQ(sink->seen[1].baud, 9600);
    EXPECT_EQ(sink->seen[2].direction, TraceDirection::kReceived);
    EXPECT_EQ(sink->seen[2].bytes, "\xAA");
    EXPECT_EQ(sink->seen[3].bytes, "OK");
}

TEST(TraceFormat, LinesReadBack) {
    const std::string sent = wire_trace::FormatRunStart(1200, wire_trace::kSentMark, 38400) +
                             wire_trace::FormatByte(0x0D) + wire_trace::FormatByte(0xAA);
    EXPECT_EQ(sent, "1200 > 38400 0D AA");
    const auto parsed = ParseTraceLine(sent);
    ASSERT_TRUE(parsed.event);
    EXPECT_EQ(parsed.event->kind, TraceEvent::Kind::kSent);
    EXPECT_EQ(parsed.event->timeUs, 1200);
    EXPECT_EQ(parsed.event->baud, 38400);
    EXPECT_EQ(parsed.event->bytes, (std::vector<std::uint8_t>{0x0D, 0xAA}));

    const auto marker = ParseTraceLine(wire_trace::FormatMarker(5, "Sending kernel.\n"));
    ASSERT_TRUE(marker.event);
    EXPECT_EQ(marker.event->kind, TraceEvent::Kind::kMarker);
    EXPECT_EQ(marker.event->text, "Sending kernel. ");

    // A trace cut short mid-byte keeps the whole bytes before the cut.
    const auto cut = ParseTraceLine("7 < 9600 3C 4");
    ASSERT_TRUE(cut.event);
    EXPECT_EQ(cut.event->bytes, (std::vector<std::uint8_t>{0x3C}));

    EXPECT_FALSE(ParseTraceLine(std::string(wire_trace::kHeaderLine)).event);
    EXPECT_FALSE(ParseTraceLine("").event);
    for (const char* bad : {"x > 9600 00", "5 ? 9600 00", "5 > fast 00", "5 > 9600 0G 00", "5 > 9600 123"}) {
        const auto refused = ParseTraceLine(bad);
        EXPECT_FALSE(refused.event) << bad;
        EXPECT_FALSE(refused.error.empty()) << bad;
    }
}

}  // namespace
