// The application side: the tag-language dialogue at 9600 baud.
#include <gtest/gtest.h>

#include "model_host.h"

namespace instrument_sim::testing {
namespace {

TEST(Dialogue, TagSpeakingInstrumentAcknowledgesAndReportsItsVersion) {
    InstrumentConfig config;
    config.version = "2.1b";
    ModelHost host(config);
    host.SendText("<>\n");
    EXPECT_EQ(host.WaitText(50), "<<ORV72>><ack>false</ack></<ORV72>>\n");
    host.SendText(ModelHost::TagLine("?"));
    EXPECT_EQ(host.WaitText(100), "<<ORV72>><VER>2.1b</VER></<ORV72>>\n");
    EXPECT_FALSE(host.model.OnBootSide());
    host.SendText(ModelHost::TagLine("<PROGRAM>TRUE</PROGRAM>"));
    EXPECT_EQ(host.WaitText(100), "");
    EXPECT_TRUE(host.model.OnBootSide());

    const ModelRecord record = host.model.Record();
    EXPECT_EQ(record.tagLines.size(), 3u);
    EXPECT_EQ(record.Count(EventKind::kAckSent), 1);
    EXPECT_GE(record.FirstTime(EventKind::kSwitchToBoot), 0);
}

TEST(Dialogue, RepliesFollowTheConfiguredParentTagAndVersionMode) {
    struct Case {
        VersionReply mode;
        int lines;
        std::string expected;
    };
    const Case cases[] = {
        {VersionReply::kVersion, 0, "<R><VER>1.0.0</VER></R>\n"},
        {VersionReply::kNoVersion, 2, "<R><STATUS>READY</STATUS></R>\n<R><STATUS>READY</STATUS></R>\n"},
        {VersionReply::kSilent, 0, ""},
    };
    for (const Case& c : cases) {
        InstrumentConfig config;
        config.parentTag = "R";
        config.versionReply = c.mode;
        config.versionlessLines = c.lines;
        ModelHost host(config);
        host.SendText("<R>?</R>\n");
        EXPECT_EQ(host.WaitText(200), c.expected);
    }
}

TEST(Dialogue, OtherLinesAndTheProbeLineGoUnansweredUnlessConfigured) {
    ModelHost quiet;
    quiet.SendText(ModelHost::TagLine("<CFG><OUTRATE>0</OUTRATE></CFG>") + "hello\n<ORV72>?</ORV72>\n");
    EXPECT_EQ(quiet.WaitText(200), "");
    EXPECT_EQ(quiet.model.Record().Count(EventKind::kProbeLine), 1);

    InstrumentConfig config;
    config.probeLineReply = "<<ORV72>><CFG>OK</CFG></<ORV72>>";
    ModelHost chatty(config);
    chatty.SendText(ModelHost::TagLine("<CFG><OUTRATE>0</OUTRATE></CFG>"));
    EXPECT_EQ(chatty.WaitText(200), config.probeLineReply + "\n");
}

TEST(Dialogue, MethodOneInstrumentIsSilentAndListensOnItsBootSide) {
    InstrumentConfig config;
    config.updateMethod = 1;
    ModelHost host(config);
    host.SendText("<>\n");
    EXPECT_EQ(host.WaitText(100), "");
    EXPECT_TRUE(host.model.OnBootSide());
    // The 9600-baud line reached the 38400-baud boot side as noise only.
    EXPECT_EQ(host.model.Record().noiseBytes, 3);
    EXPECT_EQ(host.model.Record().syncProbes, 0);
}

TEST(Dialogue, LinesAtAForeignRateAreNoise) {
    for (const NoiseMode mode : {NoiseMode::kGarble, NoiseMode::kDrop}) {
        InstrumentConfig config;
        config.noise = mode;
        ModelHost host(config);
        host.Rate(19200);
        host.SendText("<>\n");
        EXPECT_EQ(host.WaitText(100), "");
        EXPECT_EQ(host.model.Record().noiseBytes, 3);
        EXPECT_TRUE(host.model.Record().tagLines.empty());
    }
}

TEST(Dialogue, RepliesTakeTheirLineTimeAtNineThousandSixHundredBaud) {
    ModelHost host;
    host.SendText("<>\n");  // 3 bytes: 3.125 ms
    EXPECT_EQ(host.WaitText(3), "");
    // The reply (36 bytes, 37.5 ms) starts at 3.125 ms.
    const std::string first = host.WaitText(37);
    EXPECT_EQ(first.size(), 35u);
    EXPECT_EQ(host.WaitText(1).size(), 1u);
}

}  // namespace
}  // namespace instrument_sim::testing
