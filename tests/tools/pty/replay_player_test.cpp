// The replay's player in made-up time: replies after the host bytes that
// preceded them with the trace's delays, and the verdict on the host's bytes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/instrument-sim/replay/replay_player.h"

namespace {

using instrument_sim::ReplayPlayer;
using wire_trace::TraceEvent;

TraceEvent Bytes(TraceEvent::Kind kind, std::int64_t timeUs, std::vector<std::uint8_t> bytes) {
    TraceEvent event;
    event.kind = kind;
    event.timeUs = timeUs;
    event.baud = 38400;
    event.bytes = std::move(bytes);
    return event;
}

TraceEvent Marker(std::int64_t timeUs, std::string text) {
    TraceEvent event;
    event.kind = TraceEvent::Kind::kMarker;
    event.timeUs = timeUs;
    event.text = std::move(text);
    return event;
}

// Host sends 0D, instrument answers AA 300 us later; host sends 01 02,
// instrument echoes 01 after 1000 us and 00 a further 5000 us later.
std::vector<TraceEvent> Conversation() {
    return {Marker(0, "Synching baud rates."),        Bytes(TraceEvent::Kind::kSent, 100, {0x0D}),
            Bytes(TraceEvent::Kind::kReceived, 400, {0xAA}), Marker(500, "Clearing flash."),
            Bytes(TraceEvent::Kind::kSent, 2000, {0x01, 0x02}), Bytes(TraceEvent::Kind::kReceived, 3000, {0x01}),
            Bytes(TraceEvent::Kind::kReceived, 8000, {0x00})};
}

void Send(ReplayPlayer& player, std::vector<std::uint8_t> bytes, std::int64_t nowUs) {
    player.HostBytes(bytes.data(), bytes.size(), nowUs);
}

TEST(ReplayPlayer, RepliesFollowTheHostWithTheTracesDelays) {
    ReplayPlayer player(Conversation());
    EXPECT_FALSE(player.NextDueUs());  // the first reply waits for the host
    EXPECT_TRUE(player.TakeDue(50'000).empty());
    Send(player, {0x0D}, 60'000);
    Send(player, {0x0D}, 60'100);  // probed again, the answer being late: no difference
    EXPECT_EQ(player.NextDueUs(), 60'300);
    EXPECT_TRUE(player.TakeDue(60'299).empty());
    EXPECT_EQ(player.TakeDue(60'300), (std::vector<std::uint8_t>{0xAA}));
    Send(player, {0x01}, 70'000);
    EXPECT_FALSE(player.NextDueUs());  // half the host's run is not enough
    Send(player, {0x02}, 70'500);
    EXPECT_EQ(player.TakeDue(71'500), (std::vector<std::uint8_t>{0x01}));
    EXPECT_EQ(player.NextDueUs(), 76'500);
    EXPECT_EQ(player.TakeDue(90'000), (std::vector<std::uint8_t>{0x00}));
    EXPECT_TRUE(player.Finished());
    const auto verdict = player.Verdict();
    EXPECT_TRUE(verdict.matched) << verdict.text;
    EXPECT_EQ(verdict.text, "matched: 3 host bytes, 3 instrument bytes played");
}

TEST(ReplayPlayer, VerdictNamesTheFirstDifferenceAndShortOrLongHosts) {
    ReplayPlayer differing(Conversation());
    Send(differing, {0x0D, 0x01, 0x07}, 0);
    Send(differing, {0x09}, 10);
    const auto differed = differing.Verdict();
    EXPECT_FALSE(differed.matched);
    ASSERT_TRUE(differed.difference);
    EXPECT_EQ(differed.difference->hostByte, 2u);
    EXPECT_EQ(differed.text,
              "differed at host byte 2 after \"Clearing flash.\": the trace has 0x02, the host sent 0x07");

    ReplayPlayer shortHost(Conversation());
    Send(shortHost, {0x0D}, 0);
    EXPECT_EQ(shortHost.Verdict().text,
              "differed: the host sent 1 of the trace's 3 bytes, stopping after \"Clearing flash.\"");

    // A host at another rate still matches byte for byte; the rate is noted.
    ReplayPlayer slowHost(Conversation());
    Send(slowHost, {0x0D}, 0);
    slowHost.TakeDue(1'000);
    const std::vector<std::uint8_t> command = {0x01, 0x02};
    slowHost.HostBytes(command.data(), command.size(), 2'000, 9600);
    slowHost.TakeDue(100'000);
    const auto slow = slowHost.Verdict();
    EXPECT_TRUE(slow.matched);
    EXPECT_EQ(slow.text, "matched: 3 host bytes, 3 instrument bytes played; the line rate first differed at host "
                         "byte 1: the trace has 38400 baud, the host set 9600");

    ReplayPlayer longHost(Conversation());
    Send(longHost, {0x0D, 0x01, 0x02, 0x03}, 0);
    EXPECT_FALSE(longHost.Verdict().matched);
    EXPECT_EQ(longHost.Verdict().text, "differed: the host sent 1 bytes more than the trace's 3");
}

}  // namespace
