// Four instruments updated at once, in-process against simulated instruments
// in real time, one of them failing: the others succeed with byte-exact
// images, the exit status names the failure, every instrument has its events,
// its record and its trace. Also run under ThreadSanitizer: the workers share
// the port use-count table, the device table and the output streams.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/cli/update_run.h"
#include "comlink/port_devices.h"
#include "comlink/serial.h"
#include "json_schema.h"
#include "tools/instrument-sim/model/instrument_model.h"
#include "tools/instrument-sim/port/simulated_port.h"

namespace {

namespace fs = std::filesystem;
using instrument_sim::InstrumentConfig;
using instrument_sim::InstrumentModel;

constexpr int kInstruments = 4;
constexpr int kFailingInstrument = 2;  // 0-based: the third device
constexpr std::uint8_t kFailingStatus = 1;

std::vector<std::uint8_t> Pattern(std::size_t size, int step) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>((i * step + 3) & 0xFF));
    if (!bytes.empty() && bytes[0] == 0xAA) bytes[0] = 0xAB;
    return bytes;
}

std::string ReadAll(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
    return text;
}

std::vector<nlohmann::json> JsonLines(const std::string& text) {
    std::vector<nlohmann::json> objects;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        objects.push_back(nlohmann::json::parse(text.substr(start, end - start)));
    }
    return objects;
}

TEST(ParallelUpdates, FourAtOnceOneFailingTheOthersByteExact) {
    const fs::path dir = fs::temp_directory_path() / ("parallel-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::vector<std::uint8_t> kernel = Pattern(120, 7);
    const std::vector<std::uint8_t> update = Pattern(130, 13);
    std::ofstream(dir / "kernel.bin", std::ios::binary).write(reinterpret_cast<const char*>(kernel.data()), 120);
    std::ofstream(dir / "update.bin", std::ios::binary).write(reinterpret_cast<const char*>(update.data()), 130);
    const std::string ini = (dir / "update.ini").string();
    std::ofstream(ini) << "[UPDATE]\nversion=2.0.0\ninstrument=Orvane\nkernel_file=" << (dir / "kernel.bin").string()
                       << "\nupdate_file=" << (dir / "update.bin").string() << "\n";

    // One simulated instrument per device name; the third fails to clear.
    std::map<std::string, std::shared_ptr<InstrumentModel>> models;
    cli::CliOptions options;
    for (int i = 0; i < kInstruments; ++i) {
        InstrumentConfig config;
        config.expectedKernel = kernel;
        config.expectedUpdate = update;
        if (i == kFailingInstrument) config.statusFor[1] = kFailingStatus;
        const std::string device = "sim" + std::to_string(i + 1);
        models[device] = std::make_shared<InstrumentModel>(config);
        options.devices.push_back(device);
    }
    options.device = options.devices.front();
    options.answer = cli::AnswerPolicy::kYes;
    options.json = true;
    options.reportPath = (dir / "report.jsonl").string();
    options.tracePath = (dir / "trace").string();
    const ScopedPortFactory simulated([&models](int portIndex, int rxSize, int txSize) -> std::unique_ptr<QvComLink> {
        return std::make_unique<instrument_sim::SimulatedPort>(models.at(PortDevicePath(portIndex)), portIndex,
                                                               rxSize, txSize);
    });

    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ASSERT_NE(err, nullptr);
    cli::ConsoleStreams streams;
    streams.out = out;
    streams.err = err;
    const cli::ExitStatus status = cli::RunUpdates(options, ini, streams, "test");
    const std::string events = ReadAll(out);
    std::fclose(out);
    std::fclose(err);

    EXPECT_EQ(status, cli::kExitUpdateFailed);
    for (int i = 0; i < kInstruments; ++i) {
        const std::string device = "sim" + std::to_string(i + 1);
        const instrument_sim::ModelRecord record = models[device]->Record();
        if (i == kFailingInstrument) {
            EXPECT_NE(record.outcome, instrument_sim::Outcome::kCompleted) << device;
            continue;
        }
        EXPECT_EQ(record.outcome, instrument_sim::Outcome::kCompleted) << device;
        EXPECT_EQ(record.kernel.bytes, kernel) << device;
        EXPECT_EQ(record.update.bytes, update) << device;
    }

    // Whole event lines from all four, each ending with its own result.
    std::map<std::string, nlohmann::json> results;
    for (const nlohmann::json& event : JsonLines(events)) {
        cli_test::ExpectSchema(event, cli_test::EventSchema(event["event"]));
        if (event["event"] == "result") results[event["device"]] = event;
    }
    ASSERT_EQ(results.size(), static_cast<std::size_t>(kInstruments));
    EXPECT_EQ(results["sim1"]["text"], "Update successful.");
    EXPECT_EQ(results["sim3"]["text"], "Could not clear flash.");
    EXPECT_EQ(results["sim3"]["status"], 1);

    std::ifstream report(*options.reportPath);
    int records = 0;
    for (std::string line; std::getline(report, line); ++records) {
        cli_test::ExpectRecordSchema(nlohmann::json::parse(line));
    }
    EXPECT_EQ(records, kInstruments);
    for (int i = 1; i <= kInstruments; ++i) {
        std::ifstream trace(*options.tracePath + "." + std::to_string(i));
        const std::string text((std::istreambuf_iterator<char>(trace)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find(" # Clearing flash."), std::string::npos) << i;
    }
    fs::remove_all(dir);
}

}  // namespace
