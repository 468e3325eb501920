// How far an update has come, read from the worker's lines, and what a
// Ctrl-C or termination request does at each stage.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cli/interrupt_policy.h"
#include "engine/update_steps.h"

namespace {
using cli::RunStage;

TEST(InterruptPolicy, StageFollowsTheLines) {
    struct Case {
        std::vector<std::string> lines;
        RunStage stage;
    };
    const Case cases[] = {
        {{"DATA:250:250", "Contacting instrument."}, RunStage::kDialogue},
        {{"Contacting instrument.", "Switching to update mode."}, RunStage::kBootSide},
        {{"Contacting instrument.", "Synching baud rates."}, RunStage::kBootSide},  // method 1
        {{"Synching baud rates.", "Sending kernel.", "DATA:250:200"}, RunStage::kBootSide},
        {{"Synching baud rates.", "Could not synch baud rates"}, RunStage::kEnded},
        {{"Contacting instrument.", ""}, RunStage::kEnded},  // the operator's No
        {{"Contacting instrument.", "Missing an update binary."}, RunStage::kEnded},
        {{"Programming flash.", "Update successful.", "Sending kernel."}, RunStage::kEnded},
    };
    for (const Case& c : cases) {
        RunStage stage = RunStage::kDialogue;
        for (const std::string& line : c.lines) stage = cli::StageAfterLine(stage, line);
        EXPECT_EQ(stage, c.stage) << c.lines.back();
    }
}

// A step added to the engine's table is a step here too, never taken for the
// final text: from the switch on, every step keeps the instrument in its boot
// side, so that one Ctrl-C cannot stop it there.
TEST(InterruptPolicy, EveryStepOfTheEngineIsKnown) {
    bool bootSideSeen = false;
    for (const engine::StepEntry& entry : engine::kUpdateSteps) {
        bootSideSeen = bootSideSeen || entry.bootSide;
        EXPECT_EQ(entry.bootSide, bootSideSeen) << entry.name;  // no way back out of the boot side
        if (entry.text == nullptr) continue;
        EXPECT_EQ(cli::StageAfterLine(RunStage::kDialogue, entry.text),
                  entry.bootSide ? RunStage::kBootSide : RunStage::kDialogue)
            << entry.text;
        EXPECT_EQ(cli::StageAfterLine(RunStage::kBootSide, entry.text), RunStage::kBootSide) << entry.text;
    }
}

TEST(InterruptPolicy, OnlyTheBootSideNeedsASecondRequestInTime) {
    cli::InterruptPolicy policy;
    EXPECT_TRUE(policy.OnRequest(RunStage::kDialogue, "Contacting instrument.", 0).stop);
    EXPECT_TRUE(policy.OnRequest(RunStage::kEnded, "Update successful.", 0).stop);

    const cli::InterruptAnswer warning = policy.OnRequest(RunStage::kBootSide, "Sending kernel.", 1000);
    EXPECT_FALSE(warning.stop);
    EXPECT_NE(warning.message.find("boot side at \"Sending kernel.\""), std::string::npos);
    // Too late for the first warning: warns again, and the next one in time stops.
    EXPECT_FALSE(policy.OnRequest(RunStage::kBootSide, "Sending update.", 1000 + cli::kSecondRequestWindowMs + 1).stop);
    const cli::InterruptAnswer stop =
        policy.OnRequest(RunStage::kBootSide, "Sending update.", 2000 + cli::kSecondRequestWindowMs);
    EXPECT_TRUE(stop.stop);
    EXPECT_NE(stop.message.find("left in its boot side"), std::string::npos);
}

// The console closed, logoff or shutdown: the system ends the process within
// seconds, so the boot side too stops at the first request.
TEST(InterruptPolicy, SystemEndingStopsInEveryStage) {
    for (const RunStage stage : {RunStage::kDialogue, RunStage::kBootSide, RunStage::kEnded}) {
        EXPECT_TRUE(cli::InterruptPolicy::OnSystemEnding(stage, "Sending update.").stop);
    }
    EXPECT_NE(cli::InterruptPolicy::OnSystemEnding(RunStage::kBootSide, "Sending update.")
                  .message.find("Update stopped at \"Sending update.\" as the system is ending the program: "
                                "the instrument is left in its boot side"),
              std::string::npos);
}

}  // namespace
