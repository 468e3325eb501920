// The boot side: sync, the echoed kernel, the commands and the streamed image,
// with the faults the config can inject.
#include <gtest/gtest.h>

#include "model_host.h"

namespace instrument_sim::testing {
namespace {

const Bytes kKernel = {0x10, 0x0D, 0xAA, 0x5A, 0x00, 0xFF};
const Bytes kUpdate = {1, 2, 3, 4, 5, 6, 7, 8};

InstrumentConfig WithImages() {
    InstrumentConfig config;
    config.expectedKernel = kKernel;
    config.expectedUpdate = kUpdate;
    return config;
}

// Runs command `command` and returns everything that came back within `waitMs`.
Bytes Command(ModelHost& host, std::uint8_t command, std::uint64_t waitMs = 10) {
    host.Send({command});
    return host.Wait(waitMs);
}

TEST(Boot, HappyPathOfBothMethods) {
    for (const int method : {1, 2}) {
        InstrumentConfig config = WithImages();
        config.updateMethod = method;
        ModelHost host(config);
        EXPECT_EQ(host.SwitchAndSync(), Bytes{kSyncReply});
        EXPECT_EQ(host.Echoed(kKernel), (Bytes{0x10, 0x0D, 0xAA, 0x5A, 0x00, 0xFF, kKernelAccepted}));
        EXPECT_EQ(Command(host, kCmdSendUpdate), Bytes{kCmdSendUpdate});
        host.Send(kUpdate);
        EXPECT_EQ(host.Wait(10), Bytes{kStatusOk});
        for (const std::uint8_t command : {kCmdClearFlash, kCmdEraseFlash, kCmdProgramFlash}) {
            EXPECT_EQ(Command(host, command), (Bytes{command, kStatusOk}));
        }
        if (method == 2) {
            EXPECT_EQ(host.model.CurrentOutcome(), Outcome::kInProgress);
            EXPECT_EQ(Command(host, kCmdStartNewCode), Bytes{kCmdStartNewCode});
        }
        EXPECT_EQ(host.model.CurrentOutcome(), Outcome::kCompleted) << method;
        EXPECT_TRUE(host.model.ImagesMatch());
        const ModelRecord record = host.model.Record();
        EXPECT_EQ(record.kernel.bytes, kKernel);
        EXPECT_EQ(record.update.bytes, kUpdate);
        EXPECT_EQ(record.commands.size(), method == 2 ? 5u : 4u);
        EXPECT_EQ(record.ratesSeen.back(), kBootBaud);
    }
}

TEST(Boot, SyncAnswersFromTheConfiguredProbe) {
    struct Case {
        int from;
        std::optional<std::uint8_t> early;
        Bytes expected;  // answers to five probes
    };
    const Case cases[] = {
        {1, std::nullopt, {kSyncReply}},
        {3, std::nullopt, {kSyncReply}},
        {3, 0x11, {0x11, 0x11, kSyncReply}},
        {0, std::nullopt, {}},
    };
    for (const Case& c : cases) {
        InstrumentConfig config;
        config.updateMethod = 1;
        config.syncFromProbe = c.from;
        config.preSyncReply = c.early;
        ModelHost host(config);
        host.Rate(kBootBaud);
        Bytes answers;
        // Probes stop once 0xAA came back, as the host's would.
        for (int probe = 0; probe < 5 && (answers.empty() || answers.back() != kSyncReply); ++probe) {
            host.Send({kSyncProbe});
            const Bytes got = host.Wait(50);
            answers.insert(answers.end(), got.begin(), got.end());
        }
        EXPECT_EQ(answers, c.expected) << c.from;
    }
}

// A second probe that reaches the instrument together with the first (held
// up on the way) was sent before the answer could be seen: it is no kernel
// byte, and the kernel that follows the answer is echoed as sent.
TEST(Boot, ProbeHeldUpWithTheFirstIsNoKernelByte) {
    InstrumentConfig config;
    config.updateMethod = 1;
    ModelHost host(config);
    host.Rate(kBootBaud);
    host.Send({kSyncProbe, kSyncProbe});
    EXPECT_EQ(host.Wait(10), (Bytes{kSyncReply}));
    EXPECT_EQ(host.Echoed({0x03, 0x0D}), (Bytes{0x03, 0x0D}));
    EXPECT_EQ(host.model.Record().kernel.bytes, (std::vector<std::uint8_t>{0x03, 0x0D}));
}

TEST(Boot, ProbesAtTheWrongRateNeverSync) {
    InstrumentConfig config;
    config.updateMethod = 1;
    ModelHost host(config);
    host.Rate(kApplicationBaud);
    for (int probe = 0; probe < 20; ++probe) host.Send({kSyncProbe});
    EXPECT_TRUE(host.Wait(100).empty());
    EXPECT_EQ(host.model.Record().syncProbes, 0);
    EXPECT_EQ(host.model.Record().noiseBytes, 20);
}

TEST(Boot, KernelEndCodes) {
    struct Case {
        KernelEnd end;
        std::uint16_t errors;
        Bytes tail;
        Outcome outcome;
    };
    const Case cases[] = {
        {KernelEnd::kAccept, 0, {kKernelAccepted}, Outcome::kInProgress},
        {KernelEnd::kMemoryErrors, 3, {kKernelMemoryErrors, 0x03, 0x00}, Outcome::kFailed},
        {KernelEnd::kMemoryErrors, 256, {kKernelMemoryErrors, 0x00, 0x01}, Outcome::kFailed},
        {KernelEnd::kBadCode, 0, {0x00}, Outcome::kFailed},
    };
    for (const Case& c : cases) {
        InstrumentConfig config = WithImages();
        config.kernelEnd = c.end;
        config.memoryErrors = c.errors;
        ModelHost host(config);
        host.SwitchAndSync();
        Bytes back = host.Echoed(kKernel);
        back.erase(back.begin(), back.begin() + static_cast<long>(kKernel.size()));
        EXPECT_EQ(back, c.tail);
        EXPECT_EQ(host.model.CurrentOutcome(), c.outcome);
    }
}

TEST(Boot, KernelEchoFaults) {
    InstrumentConfig wrong = WithImages();
    wrong.wrongEchoAtByte = 2;
    ModelHost wrongHost(wrong);
    wrongHost.SwitchAndSync();
    EXPECT_EQ(wrongHost.Echoed({0x10, 0x0D, 0xAA}), (Bytes{0x10, 0x0D, 0x55}));

    InstrumentConfig stray = WithImages();
    stray.strayBeforeEchoAtByte = 0;
    stray.strayByte = 0x42;
    ModelHost strayHost(stray);
    strayHost.SwitchAndSync();
    EXPECT_EQ(strayHost.Echoed({0x10}), (Bytes{0x42, 0x10}));

    InstrumentConfig silent = WithImages();
    silent.silentFrom = SilentStage::kKernelEcho;
    silent.silentAtKernelByte = 1;
    ModelHost silentHost(silent);
    silentHost.SwitchAndSync();
    EXPECT_EQ(silentHost.Echoed(kKernel), Bytes{0x10});
}

TEST(Boot, LateEchoArrivesAfterTheConfiguredDelay) {
    InstrumentConfig config = WithImages();
    config.lateEchoAtByte = 0;
    config.lateEchoMs = 600;
    ModelHost host(config);
    host.SwitchAndSync();
    host.Send({0x10});
    EXPECT_TRUE(host.Wait(599).empty());
    EXPECT_EQ(host.Wait(2), Bytes{0x10});
}

TEST(Boot, CommandStatusFaults) {
    struct Case {
        const char* name;
        InstrumentConfig config;
        Bytes clearFlashAnswer;
    };
    InstrumentConfig failing = WithImages();
    failing.statusFor[kCmdClearFlash] = 0x07;
    InstrumentConfig noStatus = WithImages();
    noStatus.silentFrom = SilentStage::kCommandStatus;
    noStatus.silentCommand = kCmdClearFlash;
    InstrumentConfig noEcho = WithImages();
    noEcho.silentFrom = SilentStage::kCommandEcho;
    noEcho.silentCommand = kCmdClearFlash;
    InstrumentConfig stray = WithImages();
    stray.strayBeforeCommandEcho = kCmdClearFlash;
    const Case cases[] = {
        {"failing status", failing, {kCmdClearFlash, 0x07}},
        {"no status", noStatus, {kCmdClearFlash}},
        {"no echo", noEcho, {}},
        {"stray byte", stray, {0x55, kCmdClearFlash, kStatusOk}},
    };
    for (const Case& c : cases) {
        ModelHost host(c.config);
        host.SwitchAndSync();
        host.Echoed(kKernel);
        Command(host, kCmdSendUpdate);
        host.Send(kUpdate);
        host.Wait(10);
        EXPECT_EQ(Command(host, kCmdClearFlash), c.clearFlashAnswer) << c.name;
    }
}

TEST(Boot, StatusDelaysAndEchoDelaysAreHonoured) {
    InstrumentConfig config = WithImages();
    config.statusDelayMs[kCmdEraseFlash] = 3000;
    config.commandEchoDelayMs[kCmdEraseFlash] = 100;
    ModelHost host(config);
    host.SwitchAndSync();
    host.Echoed(kKernel);
    Command(host, kCmdSendUpdate);
    host.Send(kUpdate);
    host.Wait(10);
    host.Send({kCmdEraseFlash});
    EXPECT_TRUE(host.Wait(100).empty());
    EXPECT_EQ(host.Wait(2), Bytes{kCmdEraseFlash});
    EXPECT_TRUE(host.Wait(2990).empty());
    EXPECT_EQ(host.Wait(20), Bytes{kStatusOk});
    const ModelRecord record = host.model.Record();
    const ModelEvent& status = record.events.back();
    ASSERT_EQ(status.kind, EventKind::kStatusSent);
    EXPECT_EQ(status.text, "2");
    EXPECT_EQ(static_cast<std::int64_t>(status.timeMs) -
                  record.FirstTime(EventKind::kCommandEchoSent, kCmdEraseFlash),
              3000);
}

TEST(Boot, ImagesOfUnknownSizeEndAfterTheHostFallsSilent) {
    ModelHost host;  // no sizes, no files
    host.SwitchAndSync();
    EXPECT_EQ(host.Echoed({1, 2, 3}), (Bytes{1, 2, 3}));
    EXPECT_TRUE(host.Wait(kKernelEndGapMs - 20).empty());
    EXPECT_EQ(host.Wait(20), Bytes{kKernelAccepted});
    Command(host, kCmdSendUpdate);
    host.Send({9, 8, 7});
    host.Wait(1000);
    host.Send({6, 5});  // the held-back bytes after the host's pause
    EXPECT_TRUE(host.Wait(kUpdateEndGapMs - 10).empty());
    EXPECT_EQ(host.Wait(20), Bytes{kStatusOk});
    EXPECT_EQ(host.model.Record().update.bytes, (Bytes{9, 8, 7, 6, 5}));
}

TEST(Boot, HangUpAfterKernelBytesKillsTheLine) {
    InstrumentConfig config = WithImages();
    config.hangUp = HangUpStage::kKernel;
    config.hangUpAfterBytes = 2;
    ModelHost host(config);
    host.SwitchAndSync();
    EXPECT_EQ(host.Echoed(kKernel), (Bytes{0x10, 0x0D}));
    EXPECT_TRUE(host.model.HungUp());
    EXPECT_EQ(host.model.CurrentOutcome(), Outcome::kHungUp);
    const Bytes more = {1};
    EXPECT_EQ(host.model.HostWrite(more.data(), more.size()), 0u);
    EXPECT_EQ(host.model.Record().kernel.bytes.size(), 2u);
}

TEST(Boot, UpdateImageMismatchIsReportedInTheSummary) {
    ModelHost host(WithImages());
    host.SwitchAndSync();
    host.Echoed(kKernel);
    Command(host, kCmdSendUpdate);
    host.Send({1, 2, 3, 4, 5, 6, 7, 0});
    host.Wait(10);
    EXPECT_FALSE(host.model.ImagesMatch());
    const std::string text = host.model.SummaryText();
    EXPECT_NE(text.find("update: 8 bytes"), std::string::npos) << text;
    const std::string json = host.model.SummaryJson();
    EXPECT_NE(json.find("\"update\":{\"size\":8,\"expected_size\":8,\"complete\":true"), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"matches\":false"), std::string::npos);
}

}  // namespace
}  // namespace instrument_sim::testing
