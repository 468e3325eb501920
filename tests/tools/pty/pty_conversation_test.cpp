// Conversations through the real serial stack (Serial over the POSIX port)
// with the simulated instrument served on a pseudo-terminal in real time.
#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "comlink/link_errors.h"
#include "comlink/port_devices.h"
#include "comlink/qv_data_format.h"
#include "comlink/serial.h"
#include "platform/clock.h"
#include "tools/instrument-sim/pty/pty_session.h"

namespace instrument_sim {
namespace {

// A port index far from the system's own ports; it is mapped to the pty.
constexpr int kPort = 20;
constexpr std::uint32_t kIdleTimeoutMs = 10000;
// How long the host waits for any one answer: far beyond the line's few
// milliseconds, so that a loaded machine's late scheduling does not count.
constexpr int kAnswerTimeoutMs = 3000;
// Time for the session to read what went at one rate before the host moves
// to the next (bytes read after the change would count as sent at the new
// rate), as long as the worker's own pauses.
constexpr std::uint32_t kRateSettleMs = 1000;
// The longest wait for the session to read what the host sent.
constexpr int kReadLimitMs = 20000;
const std::vector<std::uint8_t> kKernel = {0x01, 0x0D, 0xAA, 0x5A, 0xA5, 0x00};
const std::vector<std::uint8_t> kUpdate = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};

class PtyConversation : public ::testing::Test {
protected:
    void Serve(InstrumentConfig config) {
        config.expectedKernel = kKernel;
        config.expectedUpdate = kUpdate;
        pty_ = std::make_unique<PseudoTerminal>();
        ASSERT_TRUE(pty_->IsOpen()) << pty_->Error();
        SetPortDevicePath(kPort, pty_->SlavePath());
        SessionOptions options;
        options.config = std::move(config);
        options.idleTimeoutMs = kIdleTimeoutMs;
        server_ = std::thread([this, options] { result_ = ServeOneUpdate(*pty_, options, stop_); });
        ASSERT_TRUE(serial_.Open(kPort));
        ASSERT_TRUE(serial_.SetBaudRate(9600));
    }

    // Waits for the session to end on its own and returns its result.
    SessionResult Finish() {
        serial_.Close();
        if (server_.joinable()) server_.join();
        return result_;
    }

    void TearDown() override {
        stop_ = true;
        serial_.Close();
        if (server_.joinable()) server_.join();
        SetPortDevicePath(kPort, "");
    }

    std::string ReadLine(int timeoutMs) {
        char line[2001] = {};
        serial_.ReadText(line, 2000, 10, timeoutMs);
        return line;
    }

    // Waits until the session has read every byte sent so far: a byte it
    // reads after the host's next change of rate would count as sent at
    // that rate. On a loaded machine that can take longer than any pause.
    void WaitUntilSessionHasRead() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadLimitMs);
        int pending = 0;
        while (::ioctl(pty_->MasterFd(), FIONREAD, &pending) == 0 && pending > 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    void SwitchToBootSide() {
        serial_.WriteText("<<ORV72>><PROGRAM>TRUE</PROGRAM></<ORV72>>", -2);
        WaitUntilSessionHasRead();
        platform::SleepMs(kRateSettleMs);
    }

    // Probes until 0xAA comes; the number of probes it took, 0 for none.
    // Unlike the worker, no transmit flush follows a probe: on a pty it
    // discards the probe whenever the session has not read it yet, which on a
    // loaded machine is every time. Each probe gets a long wait for its
    // answer, so that a second probe is sent only when the first was lost:
    // a probe that reaches the instrument after its 0xAA would be taken for
    // the kernel's first byte.
    int Sync() {
        serial_.DataFormat()->SetBaudRate(38400);
        platform::SleepMs(kRateSettleMs);
        serial_.FlushInput();
        for (int probe = 0; probe < 3; ++probe) {
            serial_.WriteByte(0x0D);
            if (serial_.ReadByte(kAnswerTimeoutMs) == 0xAA) return probe + 1;
        }
        return 0;
    }

    // Sends the kernel byte by byte; returns the end code (or -802).
    int SendKernel() {
        for (const std::uint8_t byte : kKernel) {
            if (serial_.WriteByte(byte) != 0) return -1;
            const int echo = serial_.ReadByte(kAnswerTimeoutMs);
            if (echo != byte) return echo < 0 ? echo : -1000 - echo;
        }
        return serial_.ReadByte(kAnswerTimeoutMs);
    }

    // One boot command: returns the status byte (command 6: its echo).
    int Command(std::uint8_t command) {
        serial_.FlushInput();
        serial_.FlushOutput();
        serial_.WriteByte(command);
        if (serial_.ReadByte(kAnswerTimeoutMs) != command) return -1;
        if (command == 5) {
            for (std::size_t i = 0; i + 2 < kUpdate.size(); ++i) serial_.WriteByte(kUpdate[i]);
            platform::SleepMs(100);
            serial_.WriteByte(kUpdate[kUpdate.size() - 2]);
            serial_.WriteByte(kUpdate[kUpdate.size() - 1]);
        }
        if (command == 6) return command;
        return serial_.ReadByte(kAnswerTimeoutMs);
    }

    std::unique_ptr<PseudoTerminal> pty_;
    std::atomic<bool> stop_{false};
    std::thread server_;
    SessionResult result_;
    Serial serial_;
};

TEST_F(PtyConversation, MethodTwoHappyPath) {
    InstrumentConfig config;
    config.version = "4.2";
    Serve(config);
    serial_.WriteText("<>", -2);
    EXPECT_NE(ReadLine(kAnswerTimeoutMs).find("<ack>false</ack>"), std::string::npos);
    serial_.WriteText("<<ORV72>>?</<ORV72>>", -2);
    EXPECT_NE(ReadLine(kAnswerTimeoutMs).find("<VER>4.2</VER>"), std::string::npos);
    SwitchToBootSide();
    ASSERT_GT(Sync(), 0);
    EXPECT_EQ(SendKernel(), 0x5A);
    for (const std::uint8_t command : {5, 1, 2, 4}) EXPECT_EQ(Command(command), 0x00) << int{command};
    EXPECT_EQ(Command(6), 6);

    const SessionResult result = Finish();
    EXPECT_EQ(result.end, SessionEnd::kFinished);
    EXPECT_EQ(result.outcome, Outcome::kCompleted);
    EXPECT_TRUE(result.imagesMatch) << result.summaryText;
    EXPECT_NE(result.summaryText.find("commands: 5 1 2 4 6"), std::string::npos) << result.summaryText;
}

TEST_F(PtyConversation, MethodOneHappyPath) {
    InstrumentConfig config;
    config.updateMethod = 1;
    Serve(config);
    serial_.WriteText("<>", -2);
    EXPECT_EQ(ReadLine(300), "");
    ASSERT_GT(Sync(), 0);
    EXPECT_EQ(SendKernel(), 0x5A);
    for (const std::uint8_t command : {5, 1, 2, 4}) EXPECT_EQ(Command(command), 0x00) << int{command};

    const SessionResult result = Finish();
    EXPECT_EQ(result.outcome, Outcome::kCompleted);
    EXPECT_TRUE(result.imagesMatch) << result.summaryText;
}

TEST_F(PtyConversation, MemoryErrorReport) {
    InstrumentConfig config;
    config.updateMethod = 1;
    config.kernelEnd = KernelEnd::kMemoryErrors;
    config.memoryErrors = 258;
    Serve(config);
    ASSERT_GT(Sync(), 0);
    EXPECT_EQ(SendKernel(), 0xA5);
    EXPECT_EQ(serial_.ReadByte(kAnswerTimeoutMs), 0x02);
    EXPECT_EQ(serial_.ReadByte(kAnswerTimeoutMs), 0x01);
    EXPECT_EQ(Finish().outcome, Outcome::kFailed);
}

TEST_F(PtyConversation, FailingStatus) {
    InstrumentConfig config;
    config.updateMethod = 1;
    config.statusFor[2] = 0x81;
    Serve(config);
    ASSERT_GT(Sync(), 0);
    EXPECT_EQ(SendKernel(), 0x5A);
    EXPECT_EQ(Command(5), 0x00);
    EXPECT_EQ(Command(1), 0x00);
    EXPECT_EQ(Command(2), 0x81);
    EXPECT_EQ(Finish().outcome, Outcome::kFailed);
}

TEST_F(PtyConversation, HangUpDuringTheKernel) {
    InstrumentConfig config;
    config.updateMethod = 1;
    config.hangUp = HangUpStage::kKernel;
    config.hangUpAfterBytes = 2;
    Serve(config);
    ASSERT_GT(Sync(), 0);
    EXPECT_EQ(SendKernel(), LINK_ERR_NO_DATA);  // the third byte is never echoed
    server_.join();
    EXPECT_EQ(result_.end, SessionEnd::kHungUp);
    pty_->Close();  // as the tool does: the device vanishes
    EXPECT_EQ(serial_.ReadByte(100), LINK_ERR_NO_DATA);
}

TEST_F(PtyConversation, ProbesAtTheWrongRateAreNoise) {
    InstrumentConfig config;
    config.updateMethod = 1;
    Serve(config);
    // The host forgets to move to 38400: its probes reach the boot side as noise.
    serial_.FlushInput();
    int answers = 0;
    for (int probe = 0; probe < 10; ++probe) {
        serial_.WriteByte(0x0D);
        answers += serial_.ReadByte(50) >= 0 ? 1 : 0;
    }
    EXPECT_EQ(answers, 0);
    WaitUntilSessionHasRead();  // the last probes
    platform::SleepMs(kRateSettleMs);
    stop_ = true;
    const SessionResult result = Finish();
    EXPECT_NE(result.summaryText.find("sync probes: 0, noise bytes: 10"), std::string::npos)
        << result.summaryText;
}

}  // namespace
}  // namespace instrument_sim
