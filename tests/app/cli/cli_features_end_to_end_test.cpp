// updater-cli's machine-facing features end to end against instrument-sim on
// pseudo-terminals: the --json events and the --report records against their
// documented schema (two processes appending to one report at once), the
// --check report for each kind of device, and a --trace replayed by
// instrument-sim --replay.

#include <gtest/gtest.h>

#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "child_process.h"
#include "json_schema.h"

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using cli_test::ChildProcess;
using cli_test::ReadFile;

constexpr std::size_t kKernelSize = 120;
constexpr std::size_t kUpdateSize = 130;
constexpr auto kRunLimit = 60s;
constexpr auto kStartLimit = 5s;
constexpr auto kEndLimit = 20s;

struct CliResult {
    int status = -1;
    std::vector<std::string> lines;
    std::string err;
};

class CliFeatures : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() /
               ("updater-cli-features-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        kernel_ = Image(kKernelSize, 7);
        WriteFile(Path("kernel.bin"), kernel_);
        WriteFile(Path("update.bin"), Image(kUpdateSize, 13));
        std::ofstream(Path("update.ini")) << "[UPDATE]\nversion=2.0.0\ninstrument=Orvane\n"
                                          << "kernel_file=" << Path("kernel.bin") << "\n"
                                          << "update_file=" << Path("update.bin") << "\n";
    }
    void TearDown() override {
        simulators_.clear();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static std::string Image(std::size_t size, int step) {
        std::string bytes;
        for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>((i * step + 3) & 0xFF);
        return bytes;
    }
    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    // Starts instrument-sim with `arguments` on the link `name`; its output
    // goes to <name>.out and <name>.err.
    void StartSimulator(const std::string& name, std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"--link", Path(name)});
        // A link left by an earlier simulator of that name would name a pty
        // that may by now be another test's.
        fs::remove(Path(name));
        simulators_.push_back(std::make_unique<ChildProcess>(INSTRUMENT_SIM_PATH, arguments, Path(name + ".out"),
                                                             Path(name + ".err"), false));
        ASSERT_TRUE(simulators_.back()->Started());
        const auto deadline = cli_test::Clock::now() + kStartLimit;
        while (!fs::is_symlink(Path(name)) && cli_test::Clock::now() < deadline) ::usleep(10'000);
        ASSERT_TRUE(fs::is_symlink(Path(name))) << ReadFile(Path(name + ".err"));
    }
    void StartInstrument(const std::string& name, std::vector<std::string> faults = {}) {
        std::vector<std::string> arguments = {"--kernel", Path("kernel.bin"), "--update", Path("update.bin"),
                                              "--idle-timeout", "20"};
        arguments.insert(arguments.end(), faults.begin(), faults.end());
        StartSimulator(name, arguments);
    }
    // Waits for the last simulator started to end; returns its output.
    std::string SimulatorOutput(const std::string& name) {
        if (!simulators_.back()->Wait(kEndLimit)) {
            simulators_.back()->Terminate();
            simulators_.back()->Wait(5s);
        }
        return ReadFile(Path(name + ".out"));
    }

    CliResult RunCli(const std::vector<std::string>& arguments, const std::string& errName = "cli.err") {
        std::vector<std::string> all = {"--ini", Path("update.ini")};
        all.insert(all.end(), arguments.begin(), arguments.end());
        ChildProcess cli(UPDATER_CLI_PATH, all, "", Path(errName), true);
        CliResult run;
        if (!cli.Started()) return run;
        for (const cli_test::TimedLine& line : cli.ReadAllOutput(kRunLimit)) run.lines.push_back(line.text);
        run.status = cli.Wait(5s).value_or(-1);
        run.err = ReadFile(Path(errName));
        return run;
    }

    fs::path dir_;
    std::string kernel_;
    std::vector<std::unique_ptr<ChildProcess>> simulators_;
};

TEST_F(CliFeatures, JsonEventsAndReportRecordsFollowTheirSchema) {
    StartInstrument("a");
    StartInstrument("b", {"--status", "2=1"});
    // Two processes append to one report at once.
    ChildProcess second(UPDATER_CLI_PATH,
                        {"--ini", Path("update.ini"), "--device", Path("b"), "--yes", "--report", Path("report.jsonl")},
                        Path("b.cli.out"), Path("b.cli.err"), false);
    const CliResult run = RunCli({"--device", Path("a"), "--yes", "--json", "--report", Path("report.jsonl")});
    EXPECT_EQ(second.Wait(kRunLimit), 1);
    EXPECT_EQ(run.status, 0) << run.err;

    std::vector<std::string> kinds;
    for (const std::string& line : run.lines) {
        const nlohmann::json event = nlohmann::json::parse(line);
        cli_test::ExpectSchema(event, cli_test::EventSchema(event.value("event", "")));
        EXPECT_EQ(event["device"], Path("a"));
        if (kinds.empty() || kinds.back() != event["event"]) kinds.push_back(event["event"]);
    }
    ASSERT_FALSE(run.lines.empty());
    const nlohmann::json result = nlohmann::json::parse(run.lines.back());
    EXPECT_EQ(result["text"], "Update successful.");
    EXPECT_EQ(result["status"], 0);
    EXPECT_EQ(kinds.front(), "progress");
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), "question"), kinds.end());
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), "answer"), kinds.end());

    std::ifstream report(Path("report.jsonl"));
    std::vector<nlohmann::json> records;
    for (std::string line; std::getline(report, line);) records.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(records.size(), 2u);
    for (const nlohmann::json& record : records) {
        cli_test::ExpectRecordSchema(record);
        EXPECT_EQ(record["installed_version"], "1.0.0");
        EXPECT_EQ(record["kernel"]["size"], kKernelSize);
        const bool first = record["device"] == Path("a");
        EXPECT_EQ(record["final_text"], first ? "Update successful." : "Could not erase flash.");
        EXPECT_EQ(record["status"], first ? 0 : 1);
    }
    // The digest is the one the instrument computed of what it received.
    const std::string summary = SimulatorOutput("a");
    const std::string digest = records[0]["kernel"]["sha256"];
    EXPECT_NE(summary.find("SHA-256 " + digest), std::string::npos) << summary;
}

TEST_F(CliFeatures, CheckReportsEachKindOfDevice) {
    StartInstrument("present");
    WriteFile(Path("plain"), "x");
    const CliResult ready = RunCli({"--device", Path("present"), "--check"});
    EXPECT_EQ(ready.status, 0) << ready.err;
    const std::string text = [&] {
        std::string all;
        for (const std::string& line : ready.lines) all += line + "\n";
        return all;
    }();
    EXPECT_NE(text.find("kernel: " + Path("kernel.bin") + ": 120 bytes, SHA-256 "), std::string::npos) << text;
    EXPECT_NE(text.find("device: " + Path("present") + ": ok"), std::string::npos) << text;
    EXPECT_NE(text.find("ready: an update can start"), std::string::npos) << text;

    const int holder = ::open(Path("present").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const CliResult blocked = RunCli({"--device", Path("present"), "--device", Path("missing"), "--device", Path("plain"),
                                "--check", "--json"});
    ::close(holder);
    EXPECT_EQ(blocked.status, 4);
    ASSERT_EQ(blocked.lines.size(), 1u);
    const nlohmann::json report = nlohmann::json::parse(blocked.lines[0]);
    EXPECT_FALSE(report["ready"]);
    ASSERT_EQ(report["devices"].size(), 3u);
    const nlohmann::json& busy = report["devices"][0];
    EXPECT_TRUE(busy["busy"]);
    ASSERT_EQ(busy["held_by"].size(), 1u);
    EXPECT_EQ(busy["held_by"][0].get<std::string>().find("pid " + std::to_string(::getpid())), 0u) << busy;
    EXPECT_FALSE(report["devices"][1]["exists"]);
    EXPECT_EQ(report["devices"][1]["problems"][0], "no such device");
    EXPECT_TRUE(report["devices"][2]["exists"]);
    EXPECT_FALSE(report["devices"][2]["serial"]);
    EXPECT_EQ(report["devices"][2]["problems"][0], "not a serial device");

    // A missing image stops an update too, even on a good device.
    fs::remove(Path("update.bin"));
    const CliResult noImage = RunCli({"--device", Path("present"), "--check"});
    EXPECT_EQ(noImage.status, 1);
    // The check sent nothing: the instrument is still waiting for its host.
    EXPECT_EQ(ReadFile(Path("present.out")).find("session:"), std::string::npos);
}

TEST_F(CliFeatures, TraceReplayedReproducesTheRunAndNamesTheFirstDifference) {
    struct Case {
        std::vector<std::string> faults;
        int status;
        std::string finalText;
    };
    for (const Case& c : {Case{{}, 0, "Update successful."}, Case{{"--status", "1=1"}, 1, "Could not clear flash."}}) {
        SCOPED_TRACE(c.finalText);
        StartInstrument("live", c.faults);
        const CliResult live = RunCli({"--device", Path("live"), "--yes", "--raw", "--trace", Path("trace.txt")});
        EXPECT_EQ(live.status, c.status) << live.err;
        ASSERT_FALSE(live.lines.empty());
        EXPECT_EQ(live.lines.back(), c.finalText);
        SimulatorOutput("live");

        StartSimulator("replay", {"--replay", Path("trace.txt"), "--idle-timeout", "20"});
        const CliResult replayed = RunCli({"--device", Path("replay"), "--yes", "--raw"});
        EXPECT_EQ(replayed.status, c.status) << replayed.err;
        EXPECT_EQ(replayed.lines, live.lines);
        const std::string verdict = SimulatorOutput("replay");
        EXPECT_NE(verdict.find("replay: matched"), std::string::npos) << verdict;
        EXPECT_EQ(simulators_.back()->Wait(1s), 0);
    }

    // The last trace again, with the host sending a kernel changed at byte 5.
    std::string changed = kernel_;
    changed[5] = static_cast<char>(changed[5] ^ 0x40);
    WriteFile(Path("kernel.bin"), changed);
    // The host falls silent once its kernel fails: an idle time longer than
    // its pauses before the kernel (about 2 s), but short, ends the replay.
    StartSimulator("replay2", {"--replay", Path("trace.txt"), "--idle-timeout", "5"});
    const CliResult differing = RunCli({"--device", Path("replay2"), "--yes", "--raw"});
    EXPECT_EQ(differing.status, 1);
    const std::string verdict = SimulatorOutput("replay2");
    char expected[64];
    std::snprintf(expected, sizeof expected, "the trace has 0x%02X, the host sent 0x%02X",
                  static_cast<unsigned char>(kernel_[5]), static_cast<unsigned char>(changed[5]));
    EXPECT_NE(verdict.find("replay: differed at host byte "), std::string::npos) << verdict;
    EXPECT_NE(verdict.find("after \"Sending kernel.\": " + std::string(expected)), std::string::npos) << verdict;
    EXPECT_EQ(simulators_.back()->Wait(1s), 1);
}

}  // namespace
