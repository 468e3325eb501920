// The failure detail the sequence keeps beside its result text: the step and
// the cause in figures, for the instrument faults a front end explains.

#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace engine_test {
namespace {

using engine::FailureReason;
using engine::UpdateStep;
using instrument_sim::SilentStage;

struct DetailCase {
    const char* name;
    void (*configure)(InstrumentConfig&);
    engine::FailureDetail expected;
};

engine::FailureDetail Detail(UpdateStep step, FailureReason reason, int command, std::int64_t byteIndex,
                             int expected, int received, int timeoutMs, int count = 0) {
    return {step, reason, command, byteIndex, expected, received, timeoutMs, count, 0};
}

// `kernelByte5`: the fixture kernel's byte 5, which the instrument echoes inverted.
std::vector<DetailCase> Cases(int kernelByte5) {
    return {
    {"silent boot side", [](InstrumentConfig& c) { c.bootBaud = 19200; },
     Detail(UpdateStep::kSynchronise, FailureReason::kNoAnswer, 0, -1, 0xAA, -1, 50, 1000)},
    {"wrong kernel echo", [](InstrumentConfig& c) { c.wrongEchoAtByte = 5; },
     Detail(UpdateStep::kKernel, FailureReason::kWrongEcho, 0, 5, kernelByte5, kernelByte5 ^ 0xFF, 500)},
    {"memory errors", [](InstrumentConfig& c) { c.kernelEnd = instrument_sim::KernelEnd::kMemoryErrors; },
     Detail(UpdateStep::kKernel, FailureReason::kMemoryErrors, 0, -1, -1, -1, 0, 3)},
    {"status of program flash", [](InstrumentConfig& c) { c.statusFor[bcProgramFlash] = 0x01; },
     Detail(UpdateStep::kProgram, FailureReason::kStatusByte, bcProgramFlash, -1, 0, 1, 15000)},
    {"no echo of the start", [](InstrumentConfig& c) {
         c.silentFrom = SilentStage::kCommandEcho;
         c.silentCommand = bcStartNewCode;
     },
     Detail(UpdateStep::kStart, FailureReason::kNoAnswer, bcStartNewCode, -1, bcStartNewCode, -1, 5000)},
    };
}

class FailureDetailTest : public SimTest {
protected:
    void SetUp() override { WriteImages(120, 130); }
};

TEST_F(FailureDetailTest, FailingStepAndCauseStandBesideTheText) {
    for (const DetailCase& c : Cases(static_cast<std::uint8_t>(kernel[5]))) {
        worker.reset();
        window.Attach(nullptr);
        config = InstrumentConfig{};
        c.configure(config);
        RunWholeUpdate();
        const engine::FailureDetail& got = worker->Failure();
        EXPECT_EQ(got.step, c.expected.step) << c.name;
        EXPECT_EQ(got.reason, c.expected.reason) << c.name;
        EXPECT_EQ(got.command, c.expected.command) << c.name;
        EXPECT_EQ(got.byteIndex, c.expected.byteIndex) << c.name;
        EXPECT_EQ(got.expected, c.expected.expected) << c.name;
        EXPECT_EQ(got.received, c.expected.received) << c.name;
        EXPECT_EQ(got.timeoutMs, c.expected.timeoutMs) << c.name;
        EXPECT_EQ(got.count, c.expected.count) << c.name;
    }
}

TEST_F(FailureDetailTest, SuccessAndMissingImage) {
    RunWholeUpdate();
    EXPECT_EQ(worker->Failure().reason, FailureReason::kNone);
    worker.reset();
    window.Attach(nullptr);
    std::filesystem::remove(info.update_file);
    RunWholeUpdate();
    EXPECT_EQ(worker->Failure().step, UpdateStep::kImageCheck);
    EXPECT_EQ(worker->Failure().reason, FailureReason::kImageMissing);
}

}  // namespace
}  // namespace engine_test
