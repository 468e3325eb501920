// Whole updates against the simulated instrument: the exact lines the window
// receives, the question, every failure text, and the sequence's pauses.

#include <gtest/gtest.h>

#include <algorithm>

#include "sim_fixture.h"

namespace engine_test {
namespace {

using instrument_sim::KernelEnd;
using instrument_sim::Outcome;
using instrument_sim::SilentStage;
using instrument_sim::VersionReply;
using Lines = std::vector<std::string>;

// Lines of the healthy 120-byte kernel / 130-byte update run, both methods.
const Lines kHead = {"DATA:250:250", "Contacting instrument."};
const Lines kSwitch = {"Switching to update mode."};
const Lines kTransfers = {"Synching baud rates.", "Sending kernel.", "DATA:250:200", "DATA:250:130",
                          "Sending update.", "DATA:250:100", "DATA:250:2", "DATA:250:1", "DATA:250:0"};
const Lines kFlash = {"Clearing flash.", "Erasing flash.", "Programming flash."};

Lines Join(std::initializer_list<Lines> parts) {
    Lines joined;
    for (const Lines& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

class UpdateRunTest : public SimTest {
protected:
    void SetUp() override { WriteImages(120, 130); }
    std::uint32_t SinceLastLine() { return clock.NowMs() - window.Lines().back().postedAtMs; }
};

TEST_F(UpdateRunTest, MethodTwoSucceedsWithEveryLineInOrder) {
    config.version = "1.0.2b";
    EXPECT_EQ(RunWholeUpdate(),
              Join({kHead, kSwitch, kTransfers, kFlash, {"Starting new code.", "Update successful."}}));
    const auto questions = window.Questions();
    ASSERT_EQ(questions.size(), 1U);
    EXPECT_EQ(questions[0].caption, "Continue?");
    EXPECT_EQ(questions[0].text, "Are you sure you want to update from 1.0.2B to 2.0.0?");
    EXPECT_EQ(model->CurrentOutcome(), Outcome::kCompleted);
    EXPECT_TRUE(model->ImagesMatch()) << model->SummaryText();
    EXPECT_EQ(model->Record().commands, (std::vector<std::uint8_t>{5, 1, 2, 4, 6}));
    EXPECT_EQ(SinceLastLine(), 3000U);
    EXPECT_EQ(window.EmptyTakes(), 0);
}

TEST_F(UpdateRunTest, MethodOneSkipsTheDialogueAndTheStart) {
    config.updateMethod = 1;
    EXPECT_EQ(RunWholeUpdate(), Join({kHead, kTransfers, kFlash, {"Update successful."}}));
    EXPECT_TRUE(window.Questions().empty());
    EXPECT_EQ(model->CurrentOutcome(), Outcome::kCompleted);
    EXPECT_EQ(model->Record().commands, (std::vector<std::uint8_t>{5, 1, 2, 4}));
}

TEST_F(UpdateRunTest, PausesAndWaitsOnTheVirtualClock) {
    config.lineTime = false;  // bytes arrive when sent: times are exact
    config.statusDelayMs[bcEraseFlash] = 14999;
    EXPECT_EQ(RunWholeUpdate().back(), "Update successful.");
    const auto switched = EventTime(EventKind::kSwitchToBoot);
    const auto rateChanged = EventTime(EventKind::kHostRate, 38400);
    EXPECT_EQ(rateChanged - switched, 1000);
    EXPECT_EQ(EventTime(EventKind::kSyncProbe, 1) - rateChanged, 1000);
    EXPECT_EQ(SinceLastLine(), 3000U);
}

TEST_F(UpdateRunTest, OperatorsNoEndsWithAnEmptyTextBeforeTheSwitch) {
    window.answer = platform::Answer::No;
    EXPECT_EQ(RunWholeUpdate(), Join({kHead, {""}}));
    EXPECT_EQ(model->Record().Count(EventKind::kVersionQuery), 1);
    EXPECT_EQ(model->Record().Count(EventKind::kSwitchToBoot), 0);
    EXPECT_EQ(SinceLastLine(), 3000U);
}

TEST_F(UpdateRunTest, VersionlessRepliesAskAboutUnknown) {
    config.versionReply = VersionReply::kNoVersion;
    RunWholeUpdate();
    ASSERT_EQ(window.Questions().size(), 1U);
    EXPECT_EQ(window.Questions()[0].text, "Are you sure you want to update from Unknown to 2.0.0?");
}

TEST_F(UpdateRunTest, MissingImageSendsNothing) {
    std::filesystem::remove(info.update_file);  // counts as -1 in the total
    EXPECT_EQ(RunWholeUpdate(), (Lines{"DATA:119:119", "Contacting instrument.", "Missing an update binary."}));
    EXPECT_TRUE(model->Record().tagLines.empty());

    worker.reset();
    std::filesystem::remove(info.kernel_file);
    window.Attach(nullptr);
    EXPECT_EQ(RunWholeUpdate().at(3), "DATA:4294967294:4294967294");
}

TEST_F(UpdateRunTest, ImageChangedAfterTheStartIsNeverReportedSuccessful) {
    // An instrument that does not know the update's size takes whatever
    // comes; the worker must not take a shorter image for a whole one.
    const std::string sized = update;
    update.clear();
    StartInstrument();
    DataExchange& w = OpenWorker();
    std::filesystem::resize_file(info.update_file, 60);  // while the question is read
    w.RunUpdate();
    EXPECT_EQ(Posted().back(), "Could not send update.");
    EXPECT_EQ(model->Record().commands, (std::vector<std::uint8_t>{bcSendUpdate}));  // no flash command
    EXPECT_NE(model->Record().outcome, Outcome::kCompleted);

    // Replaced or deleted after the start: the image as it was opened goes out whole.
    worker.reset();
    window.Attach(nullptr);
    update = sized;
    WriteFile(info.update_file, update);
    StartInstrument();
    DataExchange& again = OpenWorker();
    const std::string replacement = PathIn("new.bin");
    WriteFile(replacement, std::string(500, 'n'));
    std::filesystem::rename(replacement, info.kernel_file);
    again.RunUpdate();
    EXPECT_EQ(Posted().back(), "Update successful.");
    EXPECT_EQ(model->Record().outcome, Outcome::kCompleted);
}

TEST_F(UpdateRunTest, SilentInstrumentIsMethodOneAndFailsTheSyncAfterAThousandProbes) {
    config.updateMethod = 1;
    config.syncFromProbe = 0;
    config.lineTime = false;
    EXPECT_EQ(RunWholeUpdate(), Join({kHead, {"Synching baud rates.", "Could not synch baud rates"}}));
    EXPECT_TRUE(window.Questions().empty());
    EXPECT_EQ(model->Record().syncProbes, 1000);
}

struct FailureCase {
    const char* name;
    void (*configure)(InstrumentConfig&);
    const char* lastStep;
    const char* failure;
};

const FailureCase kFailures[] = {
    {"memory errors", [](InstrumentConfig& c) { c.kernelEnd = KernelEnd::kMemoryErrors; c.memoryErrors = 3; },
     "Sending kernel.", "Error: 3 memory errors encountered."},
    {"wrong echo", [](InstrumentConfig& c) { c.wrongEchoAtByte = 5; }, "Sending kernel.", "Could Not Send Kernel."},
    {"stray byte before a kernel echo", [](InstrumentConfig& c) { c.strayBeforeEchoAtByte = 0; },
     "Sending kernel.", "Could Not Send Kernel."},
    {"bad end code", [](InstrumentConfig& c) { c.kernelEnd = KernelEnd::kBadCode; }, "Sending kernel.",
     "Could Not Send Kernel."},
    {"update refused", [](InstrumentConfig& c) { c.statusFor[bcSendUpdate] = 0x07; }, "Sending update.",
     "Could not send update."},
    {"failing clear", [](InstrumentConfig& c) { c.statusFor[bcClearFlash] = 0x01; }, "Clearing flash.",
     "Could not clear flash."},
    {"stray byte before a command echo", [](InstrumentConfig& c) { c.strayBeforeCommandEcho = bcEraseFlash; },
     "Erasing flash.", "Could not erase flash."},
    {"late echo", [](InstrumentConfig& c) { c.commandEchoDelayMs[bcProgramFlash] = 5001; },
     "Programming flash.", "Could not program flash."},
    {"no echo of the start", [](InstrumentConfig& c) {
         c.silentFrom = SilentStage::kCommandEcho;
         c.silentCommand = bcStartNewCode;
     },
     "Starting new code.", "Could not start application."},
    {"status after 15000 ms", [](InstrumentConfig& c) { c.statusDelayMs[bcEraseFlash] = 15001; },
     "Erasing flash.", "Could not erase flash."},
    {"memory-error count that does not arrive", [](InstrumentConfig& c) {
         c.kernelEnd = KernelEnd::kMemoryErrors;
         c.memoryErrorCountBytes = 1;
     },
     "Sending kernel.", "Could Not Send Kernel."},
    {"device gone during the kernel", [](InstrumentConfig& c) {
         c.hangUp = instrument_sim::HangUpStage::kKernel;
         c.hangUpAfterBytes = 10;
     },
     "Sending kernel.", "Could Not Send Kernel."},
    {"device gone during the stream", [](InstrumentConfig& c) {
         c.hangUp = instrument_sim::HangUpStage::kUpdate;
         c.hangUpAfterBytes = 50;
     },
     "Sending update.", "Could not send update."},
    {"boot side at the wrong rate", [](InstrumentConfig& c) { c.bootBaud = 19200; }, "Synching baud rates.",
     "Could not synch baud rates"},
    {"noise during the sync", [](InstrumentConfig& c) {
         c.preSyncReply = 0x55;
         c.syncFromProbe = 4;
     },
     "Starting new code.", "Update successful."},
};

// The longest a run may take in virtual time: the dialogue and switch, the
// whole synchronisation (1000 probes), one echo wait of 5 s and one status
// wait of 15 s, the hold-back and the final pause, with room for line time.
constexpr std::uint32_t kLongestRunMs = 80'000;

TEST_F(UpdateRunTest, FirstFailureEndsTheRunWithItsText) {
    for (const FailureCase& c : kFailures) {
        worker.reset();
        window.Attach(nullptr);
        config = InstrumentConfig{};
        c.configure(config);
        const std::size_t before = window.Texts().size();
        const std::uint32_t startMs = clock.NowMs();
        RunWholeUpdate();
        EXPECT_LE(clock.NowMs() - startMs, kLongestRunMs) << c.name;
        const Lines all = window.Texts();
        const Lines lines(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        ASSERT_GE(lines.size(), 2U) << c.name;
        EXPECT_EQ(lines.back(), c.failure) << c.name;
        // Nothing but progress lines between the failing step and its failure.
        auto step = std::find(lines.begin(), lines.end(), std::string(c.lastStep));
        ASSERT_NE(step, lines.end()) << c.name;
        for (auto it = step + 1; it + 1 < lines.end(); ++it) EXPECT_EQ(it->rfind("DATA:", 0), 0U) << c.name;
    }
}

TEST_F(UpdateRunTest, StatusWaitEndsFifteenSecondsAfterTheEcho) {
    config.lineTime = false;
    config.silentFrom = SilentStage::kCommandStatus;
    config.silentCommand = bcEraseFlash;
    EXPECT_EQ(RunWholeUpdate().back(), "Could not erase flash.");
    const auto echoed = EventTime(EventKind::kCommandEchoSent, bcEraseFlash);
    EXPECT_EQ(window.Lines().back().postedAtMs - echoed, 15000);
}

}  // namespace
}  // namespace engine_test
