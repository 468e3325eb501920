// The simulated port: port behaviour of its own, and the serial stack driving
// the model through it in virtual time.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "comlink/qv_data_format.h"
#include "comlink/serial.h"
#include "platform/clock.h"
#include "tools/instrument-sim/port/simulated_port.h"

namespace instrument_sim {
namespace {

constexpr int kPort = 4;

class SimulatedPortTest : public ::testing::Test {
protected:
    std::shared_ptr<InstrumentModel> MakeModel(InstrumentConfig config = {}) {
        return std::make_shared<InstrumentModel>(std::move(config));
    }

    platform::VirtualClock clock_{0xFFFF'F000u};  // close to the wrap of the counter
    platform::ScopedClock scopedClock_{clock_};
};

TEST_F(SimulatedPortTest, OpensLikeASystemPort) {
    auto model = MakeModel();
    SimulatedPort port(model, kPort, 8192, 8192);
    EXPECT_EQ(port.LastError(), 0);
    EXPECT_NE(port.NativeHandle(), 0);
    std::int32_t baud = 0;
    char parity = 0;
    int dataBits = 0;
    int stopBits = 0;
    port.GetFormat(baud, parity, dataBits, stopBits);
    EXPECT_EQ(baud, 115200);
    EXPECT_EQ(port.Signal(LINE_DTR, -1), 1);
    EXPECT_EQ(port.Signal(5, -1), 2);

    SimulatedPort second(model, kPort, 8192, 8192);
    EXPECT_EQ(second.LastError(), LINK_ERR_IN_USE);
    EXPECT_EQ(second.NativeHandle(), 0);

    EXPECT_EQ(port.SetFormat(9600, 'X', 8, 1), LINK_ERR_PARITY);
    EXPECT_EQ(port.SetFormat(9600, 'N', 9, 1), LINK_ERR_DATA_BITS);
    EXPECT_EQ(port.SetFormat(9600, 'N', 8, 3), LINK_ERR_STOP_BITS);
    EXPECT_EQ(port.SetFormat(38400, 'N', 8, 1), 0);
    EXPECT_EQ(model->HostRate(), 38400u);
}

TEST_F(SimulatedPortTest, FactoryServesOnlyTheChosenIndex) {
    auto model = MakeModel();
    PortFactory factory = SimulatedPortFactory(model, kPort);
    EXPECT_EQ(factory(kPort, 8192, 8192)->LastError(), 0);
    EXPECT_EQ(factory(kPort + 1, 8192, 8192)->LastError(), LINK_ERR_GENERAL);
}

TEST_F(SimulatedPortTest, TransmitQueueDrainsAtLineRate) {
    auto model = MakeModel();
    SimulatedPort port(model, kPort, 8192, 8192);
    port.SetFormat(38400, 'N', 8, 1);
    const std::string block(9000, 'x');
    EXPECT_EQ(port.Write(block.data(), static_cast<int>(block.size())), 8192);
    EXPECT_EQ(port.TakeLastError(), LINK_ERR_WRITE_SHORT);
    EXPECT_EQ(port.WriteByte('y'), LINK_ERR_WRITE_SHORT);

    // 38400 baud moves 3840 bytes a second.
    clock_.Advance(1000);
    QvQueueStatus status;
    port.QueueStatus(status, 2);
    EXPECT_EQ(status.txCount, 8192 - 3840);
    port.Flush(1, 0);
    port.QueueStatus(status, 2);
    EXPECT_EQ(status.txCount, 1);  // the byte on the wire goes on
}

TEST_F(SimulatedPortTest, BusyPollingTheQueueCountLetsTimePass) {
    auto model = MakeModel();
    SimulatedPort port(model, kPort, 8192, 8192);
    port.SetFormat(38400, 'N', 8, 1);
    const std::string block(8192, 'x');
    port.Write(block.data(), static_cast<int>(block.size()));
    const std::uint32_t start = clock_.NowMs();
    QvQueueStatus status;
    int polls = 0;
    do {
        port.QueueStatus(status, 2);
        ++polls;
    } while (status.txCount > 8190);
    EXPECT_EQ(clock_.NowMs() - start, 1u);
    EXPECT_EQ(polls, 2);
}

TEST_F(SimulatedPortTest, FailedSyncRunsInVirtualTime) {
    InstrumentConfig config;
    config.updateMethod = 1;
    config.syncFromProbe = 0;
    auto model = MakeModel(config);
    ScopedPortFactory factory(SimulatedPortFactory(model));
    Serial serial;
    ASSERT_TRUE(serial.Open(kPort));
    serial.DataFormat()->SetBaudRate(38400);
    const std::uint32_t start = clock_.NowMs();
    for (int probe = 0; probe < 1000; ++probe) {
        ASSERT_EQ(serial.WriteByte(0x0D), 0);
        serial.FlushOutput();
        ASSERT_EQ(serial.ReadByte(50), LINK_ERR_NO_DATA);
    }
    EXPECT_GE(clock_.NowMs() - start, 50'000u);
    EXPECT_EQ(model->Record().syncProbes, 1000);
}

// The whole conversation of a method-2 update, written out by hand through
// the serial stack, with the pauses the engine makes.
TEST_F(SimulatedPortTest, WholeUpdateThroughSerial) {
    InstrumentConfig config;
    config.version = "3.4";
    config.expectedKernel = {0x20, 0x21, 0x22};
    config.expectedUpdate.assign(10000, 0x33);
    auto model = MakeModel(config);
    ScopedPortFactory factory(SimulatedPortFactory(model));
    Serial serial;
    ASSERT_TRUE(serial.Open(kPort));
    ASSERT_TRUE(serial.SetBaudRate(9600));

    char line[2001];
    serial.WriteText("<<ORV72>><CFG><OUTRATE>0</OUTRATE></CFG></<ORV72>>", -2);
    platform::SleepMs(500);
    serial.FlushInput();
    serial.WriteText("<>", -2);
    serial.ReadText(line, 1000, 10, 100);
    EXPECT_NE(std::strstr(line, "<ack>false</ack>"), nullptr) << line;
    serial.WriteText("<<ORV72>>?</<ORV72>>", -2);
    serial.ReadText(line, 2000, 10, 2000);
    EXPECT_NE(std::strstr(line, "<VER>3.4</VER>"), nullptr) << line;
    serial.WriteText("<<ORV72>><PROGRAM>TRUE</PROGRAM></<ORV72>>", -2);
    platform::SleepMs(1000);

    serial.DataFormat()->SetBaudRate(38400);
    platform::SleepMs(1000);
    serial.FlushInput();
    serial.FlushOutput();
    serial.WriteByte(0x0D);
    serial.FlushOutput();
    ASSERT_EQ(serial.ReadByte(50), 0xAA);

    for (const std::uint8_t byte : config.expectedKernel) {
        ASSERT_EQ(serial.WriteByte(byte), 0);
        ASSERT_EQ(serial.ReadByte(500), byte);
    }
    ASSERT_EQ(serial.ReadByte(500), 0x5A);

    serial.WriteByte(kCmdSendUpdate);
    ASSERT_EQ(serial.ReadByte(5000), kCmdSendUpdate);
    const auto& image = config.expectedUpdate;
    for (std::size_t i = 0; i + 2 < image.size(); ++i) {
        while (serial.TxQueueCount() > 8190) {
        }
        ASSERT_EQ(serial.WriteByte(image[i]), 0);
    }
    const std::uint32_t bodyHandedOver = clock_.NowMs();
    platform::SleepMs(1000);
    serial.WriteByte(image[image.size() - 2]);
    serial.WriteByte(image[image.size() - 1]);
    ASSERT_EQ(serial.ReadByte(15000), 0x00);
    // 10000 bytes at 3840 a second: the body is still draining when handed over.
    const ModelRecord afterUpdate = model->Record();
    EXPECT_GT(afterUpdate.FirstTime(EventKind::kUpdateLastByte) - bodyHandedOver, 1000);

    for (const std::uint8_t command : {kCmdClearFlash, kCmdEraseFlash, kCmdProgramFlash}) {
        serial.FlushInput();
        serial.FlushOutput();
        serial.WriteByte(command);
        ASSERT_EQ(serial.ReadByte(5000), command);
        ASSERT_EQ(serial.ReadByte(15000), 0x00);
    }
    serial.WriteByte(kCmdStartNewCode);
    ASSERT_EQ(serial.ReadByte(5000), kCmdStartNewCode);

    EXPECT_EQ(model->CurrentOutcome(), Outcome::kCompleted);
    EXPECT_TRUE(model->ImagesMatch()) << model->SummaryText();
    const ModelRecord record = model->Record();
    EXPECT_EQ(record.ratesSeen, (std::vector<std::uint32_t>{115200, 1200, 9600, 1200, 9600, 38400}));
    // The switch line and the first probe lie the two pauses of 1000 ms apart,
    // less the 46 ms the 44-byte switch line takes at 9600 baud.
    const std::int64_t gap =
        record.FirstTime(EventKind::kSyncProbe) - record.FirstTime(EventKind::kSwitchToBoot);
    EXPECT_GE(gap, 1950);
    EXPECT_LE(gap, 1960);
}

TEST_F(SimulatedPortTest, HangUpLooksLikeAVanishedDevice) {
    InstrumentConfig config;
    config.updateMethod = 1;
    config.kernelSize = 10;
    config.hangUp = HangUpStage::kKernel;
    config.hangUpAfterBytes = 1;
    auto model = MakeModel(config);
    SimulatedPort port(model, kPort, 8192, 8192);
    port.SetFormat(38400, 'N', 8, 1);
    port.WriteByte(0x0D);
    port.WriteByte(0x01);
    port.WriteByte(0x02);
    clock_.Advance(5);
    EXPECT_EQ(port.ReadByte(), LINK_ERR_NO_DATA);  // the sync reply and the echo are lost
    EXPECT_EQ(port.WriteByte(0x03), LINK_ERR_WRITE_SHORT);
    EXPECT_TRUE(model->HungUp());
}

}  // namespace
}  // namespace instrument_sim
