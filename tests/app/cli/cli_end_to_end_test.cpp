// updater-cli against the simulated instrument on a pseudo-terminal, in real
// time: whole updates with both methods, the operator's No, failures the
// instrument reports, links that cannot be opened, and the command line's own
// refusals. Each test starts its own instrument-sim, so they run in parallel.
//
// The same scenarios run against updater-cli.exe under Wine when the
// environment names it (UPDATER_CLI_WINE_EXE, the Windows tree's
// bin/updater-cli.exe): the program then names the simulator's pty as a COM
// port that Wine's port table maps to it, and its files by Windows paths.
// Those runs share one Wine prefix whose server restarts at each mapping, so
// they run one after another (a prefix of their own keeps them apart from
// the Windows tree's unit tests).

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using cli_test::ChildProcess;
using cli_test::ReadFile;
using cli_test::TimedLine;

// Tiny images keep each run to the protocol's own pauses.
constexpr std::size_t kKernelSize = 120;
constexpr std::size_t kUpdateSize = 130;
constexpr auto kRunLimit = 60s;
constexpr auto kSimulatorStartLimit = 5s;
constexpr auto kSimulatorEndLimit = 20s;
constexpr auto kFinalPause = 3000ms;
// Scheduling slack allowed when timing the final pause.
constexpr auto kTimingSlack = 100ms;

constexpr const char* kPortRefused = "The port must be an integer between 1 and 35.";

const std::vector<std::string> kMethod2Lines = {
    "DATA:250:250",        "Contacting instrument.", "Switching to update mode.", "Synching baud rates.",
    "Sending kernel.",     "DATA:250:200",           "DATA:250:130",              "Sending update.",
    "DATA:250:100",        "DATA:250:2",             "DATA:250:1",                "DATA:250:0",
    "Clearing flash.",     "Erasing flash.",         "Programming flash.",        "Starting new code.",
    "Update successful.",
};

// How a test starts updater-cli and names files and ports to it.
struct CliTarget {
    std::string name;     // the instance's name in the test list
    std::string program;  // what is started
    std::vector<std::string> leadingArguments;  // before the program's own
    bool windows = false;
    std::string wineTree;  // the Windows build tree (windows only)
};

// The Linux program always; updater-cli.exe under Wine when named.
std::vector<CliTarget> Targets() {
    std::vector<CliTarget> targets{{"Linux", UPDATER_CLI_PATH, {}, false, ""}};
    if (const char* exe = std::getenv("UPDATER_CLI_WINE_EXE"); exe != nullptr && *exe != '\0') {
        const fs::path tree = fs::absolute(exe).parent_path().parent_path();
        targets.push_back({"Wine", (tree / "wine-run.sh").string(), {fs::absolute(exe).string()}, true,
                           tree.string()});
    }
    return targets;
}

// The Wine prefix of these runs, beside the tree's own.
constexpr const char* kWinePrefixName = "wine-prefix-e2e";
// The COM port that the simulator's pty is mapped to under Wine, and a port
// number that [PORTS] maps to it.
constexpr int kWineComPort = 23;

struct CliRun {
    int status = -1;
    std::vector<TimedLine> lines;
    std::string err;
    cli_test::Clock::time_point endedAt{};

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const TimedLine& line : lines) texts.push_back(line.text);
        return texts;
    }
};

struct SimulatorVerdict {
    int status = -1;
    std::string summary;
};

class CliEndToEnd : public ::testing::TestWithParam<CliTarget> {
protected:
    static void SetUpTestSuite() { ::setenv("UPDATER_WINE_PREFIX_NAME", kWinePrefixName, 1); }

    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() /
               ("updater-cli-e2e-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        WriteImage(Path("kernel.bin"), kKernelSize, 7);
        WriteImage(Path("update.bin"), kUpdateSize, 13);
        link_ = Path("instrument");
        WriteIni("");
    }
    void TearDown() override {
        simulator_.reset();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    bool Windows() const { return GetParam().windows; }

    // `path` as the program under test names it: under Wine through drive Z:,
    // which is the Linux root.
    std::string Named(const std::string& path) const {
        if (!Windows()) return path;
        std::string windowsPath = "Z:" + path;
        for (char& c : windowsPath) {
            if (c == '/') c = '\\';
        }
        return windowsPath;
    }
    std::string IniArgument() const { return Named(Path("update.ini")); }

    // The device argument that reaches the simulator: its link on Linux, the
    // COM port mapped to its pty under Wine.
    std::string Device() const { return Windows() ? "COM" + std::to_string(kWineComPort) : link_; }

    // Under Wine: maps the COM port to the simulator's pty (restarting the
    // prefix's server, as Wine reads its port table only when it starts).
    void MapSimulatorPort() {
        if (!Windows()) return;
        const std::string command = "bash -c 'source \"" UPDATER_SOURCE_DIR "/scripts/wine-env.sh\" && wine_env_init \"" +
                                    GetParam().wineTree + "\" " + kWinePrefixName + " && wine_map_com " +
                                    std::to_string(kWineComPort) + " \"" + link_ + "\"' >\"" + Path("map.log") +
                                    "\" 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << ReadFile(Path("map.log"));
    }

    static void WriteImage(const std::string& path, std::size_t size, int step) {
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>((i * step + 3) & 0xFF));
    }

    // update.ini with the two images, version 2.0.0, and `extra` after it.
    void WriteIni(const std::string& extra) {
        std::ofstream(Path("update.ini")) << "[UPDATE]\nversion=2.0.0\ninstrument=Orvane\n"
                                          << "kernel_file=" << Named(Path("kernel.bin")) << "\n"
                                          << "update_file=" << Named(Path("update.bin")) << "\n"
                                          << extra;
    }

    // Starts instrument-sim on a pty named by link_, expecting both images.
    void StartSimulator(std::vector<std::string> faults = {}) {
        std::vector<std::string> arguments = {"--kernel", Path("kernel.bin"), "--update", Path("update.bin"),
                                              "--link", link_, "--idle-timeout", "20"};
        arguments.insert(arguments.end(), faults.begin(), faults.end());
        simulator_ = std::make_unique<ChildProcess>(INSTRUMENT_SIM_PATH, arguments, Path("sim.out"),
                                                    Path("sim.err"), false);
        ASSERT_TRUE(simulator_->Started());
        const auto deadline = cli_test::Clock::now() + kSimulatorStartLimit;
        while (!fs::is_symlink(link_) && cli_test::Clock::now() < deadline) ::usleep(10'000);
        ASSERT_TRUE(fs::is_symlink(link_)) << ReadFile(Path("sim.err"));
        MapSimulatorPort();
    }

    // Starts the program under test with `arguments`.
    std::unique_ptr<ChildProcess> StartCli(const std::vector<std::string>& arguments, const std::string& errFile,
                                           bool captureOutput, const std::string& outFile = "") {
        std::vector<std::string> all = GetParam().leadingArguments;
        all.insert(all.end(), arguments.begin(), arguments.end());
        return std::make_unique<ChildProcess>(GetParam().program, all, outFile, errFile, captureOutput);
    }

    CliRun RunCli(const std::vector<std::string>& arguments) {
        const std::unique_ptr<ChildProcess> cli = StartCli(arguments, Path("cli.err"), true);
        CliRun run;
        if (!cli->Started()) return run;
        run.lines = cli->ReadAllOutput(kRunLimit);
        run.status = cli->Wait(5s).value_or(-1);
        run.endedAt = cli->EndedAt();
        run.err = ReadFile(Path("cli.err"));
        // Windows programs end their lines with CR LF: compared line by line.
        std::erase(run.err, '\r');
        for (TimedLine& line : run.lines) {
            if (line.text.ends_with('\r')) line.text.pop_back();
        }
        return run;
    }

    // The simulator's exit status and summary. A simulator still waiting for
    // a host that gave up is stopped first.
    SimulatorVerdict StopSimulator(bool expectFinished) {
        SimulatorVerdict verdict;
        std::optional<int> status = simulator_->Wait(expectFinished ? kSimulatorEndLimit : 100ms);
        if (!status) {
            simulator_->Terminate();
            status = simulator_->Wait(5s);
        }
        verdict.status = status.value_or(-1);
        verdict.summary = ReadFile(Path("sim.out"));
        return verdict;
    }

    static void ExpectByteExact(const SimulatorVerdict& verdict) {
        EXPECT_EQ(verdict.status, 0) << verdict.summary;
        EXPECT_NE(verdict.summary.find("instrument: completed"), std::string::npos) << verdict.summary;
        EXPECT_NE(verdict.summary.find("kernel: 120 bytes"), std::string::npos) << verdict.summary;
        EXPECT_NE(verdict.summary.find("update: 130 bytes"), std::string::npos) << verdict.summary;
        EXPECT_EQ(verdict.summary.find("differ"), std::string::npos) << verdict.summary;
    }

    fs::path dir_;
    std::string link_;
    std::unique_ptr<ChildProcess> simulator_;
};

TEST_P(CliEndToEnd, Method2SuccessRawLinesAndFinalPause) {
    StartSimulator();
    const CliRun run = RunCli({"--ini", IniArgument(), "--device", Device(), "--yes", "--raw"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.Texts(), kMethod2Lines);
    EXPECT_EQ(run.err, "Are you sure you want to update from 1.0.0 to 2.0.0?\n");
    // The worker's final pause passes before the process ends.
    ASSERT_FALSE(run.lines.empty());
    EXPECT_GE(run.endedAt - run.lines.back().arrived, kFinalPause - kTimingSlack);
    ExpectByteExact(StopSimulator(true));
}

TEST_P(CliEndToEnd, Method1SuccessThroughThePortsSection) {
    // Under Wine [PORTS] names the COM port that reaches the simulator.
    WriteIni("[PORTS]\nCOM7=" + (Windows() ? "\\\\.\\" + Device() : link_) + "\n");
    StartSimulator({"--method", "1"});
    const CliRun run = RunCli({"--ini", IniArgument(), "--port", "7", "--yes"});
    EXPECT_EQ(run.status, 0) << run.err;
    // Not a terminal: the status texts alone, without progress or escapes.
    EXPECT_EQ(run.Texts(), (std::vector<std::string>{"Contacting instrument.", "Synching baud rates.",
                                                     "Sending kernel.", "Sending update.", "Clearing flash.",
                                                     "Erasing flash.", "Programming flash.",
                                                     "Update successful."}));
    EXPECT_EQ(run.err, "");  // method 1 asks nothing
    ExpectByteExact(StopSimulator(true));
    if (Windows()) {
        // The system's list of serial ports knows the mapped one.
        const CliRun listed = RunCli({"--list-ports"});
        EXPECT_EQ(listed.status, 0);
        std::string text;
        for (const std::string& line : listed.Texts()) text += line + "\n";
        EXPECT_NE(text.find(Device() + " "), std::string::npos) << text;
    }
}

TEST_P(CliEndToEnd, OperatorAnswersNo) {
    StartSimulator();
    const CliRun run = RunCli({"--ini", IniArgument(), "--device", Device(), "--no", "--raw"});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.Texts(), (std::vector<std::string>{"DATA:250:250", "Contacting instrument.", ""}));
    EXPECT_EQ(run.err, "Are you sure you want to update from 1.0.0 to 2.0.0?\n");
    EXPECT_NE(StopSimulator(false).summary.find("commands: \n"), std::string::npos);
}

TEST_P(CliEndToEnd, NoTerminalAndNoAnswerFlagMeansNo) {
    StartSimulator({"--version", "3.1.4"});
    const CliRun run = RunCli({"--ini", IniArgument(), "--device", Device()});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.Texts(), (std::vector<std::string>{"Contacting instrument."}));
    EXPECT_EQ(run.err.find("Are you sure you want to update from 3.1.4 to 2.0.0?\n"), 0u) << run.err;
    StopSimulator(false);
}

TEST_P(CliEndToEnd, MemoryErrorReportIsTheFinalText) {
    StartSimulator({"--end-code", "memory-errors", "--memory-errors", "3"});
    const CliRun run = RunCli({"--ini", IniArgument(), "--device", Device(), "--yes", "--raw"});
    EXPECT_EQ(run.status, 1) << run.err;
    const std::vector<std::string> expected(kMethod2Lines.begin(), kMethod2Lines.begin() + 7);
    std::vector<std::string> texts = run.Texts();
    ASSERT_EQ(texts.size(), expected.size() + 1);
    EXPECT_EQ(texts.back(), "Error: 3 memory errors encountered.");
    texts.pop_back();
    EXPECT_EQ(texts, expected);
    StopSimulator(false);
}

TEST_P(CliEndToEnd, FailingCommandStopsTheSequence) {
    StartSimulator({"--status", "1=1"});
    const CliRun run = RunCli({"--ini", IniArgument(), "--device", Device(), "--yes", "--raw"});
    EXPECT_EQ(run.status, 1) << run.err;
    std::vector<std::string> expected(kMethod2Lines.begin(), kMethod2Lines.begin() + 13);
    expected.push_back("Could not clear flash.");
    EXPECT_EQ(run.Texts(), expected);
    StopSimulator(false);
}

TEST_P(CliEndToEnd, LinkThatCannotBeOpened) {
    const std::string noSuchDevice = Named(Path("no-such-tty"));
    const CliRun missing = RunCli({"--ini", IniArgument(), "--device", noSuchDevice, "--yes"});
    EXPECT_EQ(missing.status, 4);
    EXPECT_TRUE(missing.lines.empty());
    EXPECT_NE(missing.err.find("ERROR: Can not establish communications."), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find(noSuchDevice + (Windows() ? ": no such port" : ": no such device")),
              std::string::npos)
        << missing.err;

    // A device another program holds. Wine does not keep a COM port to one
    // opener as Windows does (a second program opens it and talks on the
    // line), so this part runs on Linux only.
    StartSimulator();
    if (!Windows()) {
        const int holder = ::open(link_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(holder, 0);
        ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
        const CliRun busy = RunCli({"--ini", IniArgument(), "--device", Device(), "--yes"});
        ::close(holder);
        EXPECT_EQ(busy.status, 4);
        EXPECT_NE(busy.err.find("busy"), std::string::npos) << busy.err;
    }

    if (!Windows() && ::geteuid() != 0) {
        std::ofstream(Path("locked")) << "x";
        fs::permissions(Path("locked"), fs::perms::none);
        const CliRun denied = RunCli({"--ini", IniArgument(), "--device", Path("locked"), "--yes"});
        EXPECT_EQ(denied.status, 4);
        EXPECT_NE(denied.err.find("dialout"), std::string::npos) << denied.err;
    }
    StopSimulator(false);
}

TEST_P(CliEndToEnd, CommandLineRefusals) {
    ASSERT_EQ(::mkfifo(Path("fifo.ini").c_str(), 0600), 0);
    const CliRun badPort = RunCli({"--port", "0x", "--yes"});
    EXPECT_EQ(badPort.status, 3);
    EXPECT_EQ(badPort.err, std::string(kPortRefused) + "\n");
    EXPECT_TRUE(badPort.lines.empty());

    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {"--port", "1", "--device", Device()}, {"--device", Device(), "--yes", "--no"},
          {"--device", Device(), "--bogus"}, {"--device"},
          // A configuration that is a folder, a never-ending device or (on Linux) a FIFO.
          {"--ini", Named(dir_.string()), "--device", Path("no-device"), "--yes"},
          {"--ini", Windows() ? "NUL" : "/dev/zero", "--list-ports"},
          {"--ini", Windows() ? "NUL" : Path("fifo.ini"), "--device", Path("no-device"), "--yes"}}) {
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.status, 3) << run.err;
        EXPECT_FALSE(run.err.empty());
        EXPECT_TRUE(run.lines.empty());
    }

    const CliRun help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    ASSERT_FALSE(help.lines.empty());
    EXPECT_EQ(help.lines.front().text, "Usage:");
    const CliRun version = RunCli({"--version"});
    EXPECT_EQ(version.status, 0);
    ASSERT_EQ(version.lines.size(), 1u);
    EXPECT_EQ(version.lines.front().text.find("updater-cli "), 0u);
}

INSTANTIATE_TEST_SUITE_P(Host, CliEndToEnd, ::testing::ValuesIn(Targets()),
                         [](const ::testing::TestParamInfo<CliTarget>& info) { return info.param.name; });

}  // namespace
