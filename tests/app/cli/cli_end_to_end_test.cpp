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
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
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
        // A link left by an earlier simulator would name a pty that may by
        // now be another test's.
        simulator_.reset();
        fs::remove(link_);
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

    // Sends `number` to the program under test: under Wine to the Windows
    // process itself, not to the wrapper script that started it.
    bool SignalProgram(const ChildProcess& cli, int number) const {
        if (!Windows()) {
            cli.Signal(number);
            return true;
        }
        return cli.SignalDescendant("updater-cli.exe", number);
    }

    // The device as a stopped run left it: not claimed for exclusive use
    // (which would refuse every later non-root open) and not locked.
    void ExpectDeviceReleased() const {
        const int fd = ::open(link_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        int exclusive = -1;
        EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0);
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        ::close(fd);
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

TEST_P(CliEndToEnd, ClosedStandardOutputNeverReachesTheLine) {
    if (Windows()) GTEST_SKIP() << "runs the Linux program directly";
    StartSimulator();
    ChildProcess cli(UPDATER_CLI_PATH, {"--ini", Path("update.ini"), "--device", link_, "--yes"}, "",
                     Path("cli.err"), false);
    ASSERT_TRUE(cli.Started());
    EXPECT_EQ(cli.Wait(kRunLimit), 0) << ReadFile(Path("cli.err"));
    const SimulatorVerdict verdict = StopSimulator(true);
    ExpectByteExact(verdict);
    // The dialogue's own lines, as in any run, and no step text among them.
    EXPECT_NE(verdict.summary.find("tag lines: 4,"), std::string::npos) << verdict.summary;
    EXPECT_NE(verdict.summary.find("noise bytes: 0"), std::string::npos) << verdict.summary;
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

TEST_P(CliEndToEnd, MissingImagesAndAnEmptyConfigurationAreNamed) {
    if (Windows()) GTEST_SKIP() << "runs the Linux program directly";
    std::ofstream(Path("empty.ini")).close();
    StartSimulator();
    const CliRun run = RunCli({"--ini", Path("empty.ini"), "--device", link_, "--yes"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.Texts(), (std::vector<std::string>{"Contacting instrument.", "Missing an update binary."}));
    EXPECT_EQ(run.err, "warning: " + Path("empty.ini") + " has no [UPDATE] section with keys; the defaults apply\n"
                       "kernel_file: not set in section [UPDATE]\nupdate_file: not set in section [UPDATE]\n");
    StopSimulator(false);

    // Binary text reads as no section either.
    std::ofstream(Path("binary.ini"), std::ios::binary) << std::string("\x7f" "ELF\0\x01\xff[\n", 9);
    const CliRun binary = RunCli({"--ini", Path("binary.ini"), "--list-ports"});
    EXPECT_EQ(binary.status, 0);
    const CliRun binaryUpdate = RunCli({"--ini", Path("binary.ini"), "--device", Path("no-device"), "--yes"});
    EXPECT_NE(binaryUpdate.err.find("has no [UPDATE] section"), std::string::npos) << binaryUpdate.err;
}

TEST_P(CliEndToEnd, ImageThatCannotBeSentIsRefusedBeforeThePortOpens) {
    if (Windows()) GTEST_SKIP() << "runs the Linux program directly";
    // A device that cannot be opened would give status 4: the refusal comes first.
    WriteImage(Path("update.bin"), 1, 1);
    const CliRun shortImage = RunCli({"--ini", Path("update.ini"), "--device", Path("no-device"), "--yes"});
    EXPECT_EQ(shortImage.status, 3);
    EXPECT_EQ(shortImage.err, "updater-cli: update_file " + Path("update.bin") +
                                  ": holds 1 byte; an update image needs at least 2\n");
    EXPECT_TRUE(shortImage.lines.empty());
}

TEST_P(CliEndToEnd, StopDuringTheDialogueIsImmediate) {
    // No version line comes: the query waits 5 x 2 s, all in the dialogue.
    StartSimulator({"--version-reply", "none", "--versionless-lines", "0"});
    const std::unique_ptr<ChildProcess> cli =
        StartCli({"--ini", IniArgument(), "--device", Device(), "--yes"}, Path("cli.err"), true);
    ASSERT_TRUE(cli->WaitForLine("Contacting instrument.", 30s));
    const auto stopped = cli_test::Clock::now();
    // Wine turns SIGINT into the console's Ctrl-C event; SIGTERM it does not pass on.
    const int request = Windows() ? SIGINT : SIGTERM;
    ASSERT_TRUE(SignalProgram(*cli, request));
    EXPECT_EQ(cli->Wait(10s), 128 + request);
    EXPECT_LT(cli->EndedAt() - stopped, 5s);
    EXPECT_NE(ReadFile(Path("cli.err")).find("only the dialogue was sent"), std::string::npos);
    ExpectDeviceReleased();
    EXPECT_NE(StopSimulator(false).summary.find("commands: \n"), std::string::npos);
}

TEST_P(CliEndToEnd, StopInTheBootSideTakesASecondRequest) {
    WriteImage(Path("update.bin"), 40000, 13);  // about 10 s on the line
    StartSimulator();
    const std::unique_ptr<ChildProcess> cli =
        StartCli({"--ini", IniArgument(), "--device", Device(), "--yes"}, Path("cli.err"), true);
    ASSERT_TRUE(cli->WaitForLine("Sending update.", 60s));
    ASSERT_TRUE(SignalProgram(*cli, SIGINT));
    const auto deadline = cli_test::Clock::now() + 10s;
    while (ReadFile(Path("cli.err")).find("Press Ctrl-C again") == std::string::npos &&
           cli_test::Clock::now() < deadline) {
        ::usleep(10'000);
    }
    EXPECT_NE(ReadFile(Path("cli.err")).find("in its boot side at \"Sending update.\""), std::string::npos)
        << ReadFile(Path("cli.err"));
    EXPECT_FALSE(cli->Wait(200ms)) << "one request in the boot side must not stop the update";
    ASSERT_TRUE(SignalProgram(*cli, SIGINT));
    EXPECT_EQ(cli->Wait(10s), 128 + SIGINT);
    EXPECT_NE(ReadFile(Path("cli.err")).find("Update stopped at \"Sending update.\""), std::string::npos);
    ExpectDeviceReleased();
}

TEST_P(CliEndToEnd, DeviceGoneDuringTheDialogueEndsWithinTheTimeOuts) {
    if (Windows()) GTEST_SKIP() << "runs the Linux program directly";
    StartSimulator({"--version-reply", "none", "--versionless-lines", "0"});
    ChildProcess cli(UPDATER_CLI_PATH, {"--ini", Path("update.ini"), "--device", link_, "--yes", "--raw"}, "",
                     Path("cli.err"), true);
    ASSERT_TRUE(cli.WaitForLine("Contacting instrument.", 10s));
    simulator_.reset();  // killed: the pty vanishes
    const auto gone = cli_test::Clock::now();
    const std::vector<TimedLine> lines = cli.ReadAllOutput(kRunLimit);
    EXPECT_EQ(cli.Wait(5s), 1);
    // The version query's waits (5 x 2 s), the switch, the sync's pause and
    // the final pause, with room for a loaded machine.
    EXPECT_LT(cli.EndedAt() - gone, 30s);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().text, "Could not synch baud rates");
}

TEST_P(CliEndToEnd, AFailedUpdateReleasesThePortForTheNextAtOnce) {
    if (Windows()) GTEST_SKIP() << "runs the Linux program directly";
    StartSimulator({"--loop", "--status", "1=1"});
    for (int run = 0; run < 2; ++run) {
        const CliRun failed = RunCli({"--ini", Path("update.ini"), "--device", link_, "--yes", "--raw"});
        EXPECT_EQ(failed.status, 1) << run << failed.err;
        ASSERT_FALSE(failed.lines.empty());
        EXPECT_EQ(failed.lines.back().text, "Could not clear flash.") << failed.err << ReadFile(Path("sim.err")) << ReadFile(Path("sim.out"));
    }
    StopSimulator(false);
}

TEST_P(CliEndToEnd, ASecondToolOnTheDeviceIsRefusedAndTheFirstGoesOn) {
    if (Windows()) GTEST_SKIP() << "runs the Linux program directly";
    WriteImage(Path("update.bin"), 130, 13);
    StartSimulator();
    ChildProcess first(UPDATER_CLI_PATH, {"--ini", Path("update.ini"), "--device", link_, "--yes"}, "",
                       Path("first.err"), true);
    ASSERT_TRUE(first.WaitForLine("Sending kernel.", 20s));
    const CliRun second = RunCli({"--ini", Path("update.ini"), "--device", link_, "--yes"});
    EXPECT_EQ(second.status, 4);
    EXPECT_NE(second.err.find("busy"), std::string::npos) << second.err;
    const std::vector<TimedLine> lines = first.ReadAllOutput(kRunLimit);
    EXPECT_EQ(first.Wait(5s), 0) << ReadFile(Path("first.err"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().text, "Update successful.");
    ExpectByteExact(StopSimulator(true));
}

TEST_P(CliEndToEnd, BadConfigurationsEndWithADefinedTextAtOnce) {
    if (Windows()) GTEST_SKIP() << "runs the Linux program directly";
    const std::string images = "kernel_file=" + Path("kernel.bin") + "\nupdate_file=" + Path("update.bin") + "\n";
    struct Case {
        const char* name;
        std::string text;
        const char* expected;  // in standard error
    };
    const Case cases[] = {
        {"empty", "", "has no [UPDATE] section"},
        {"binary", std::string("\0\xff\x01[\x80]\0=\n", 9), "has no [UPDATE] section"},
        {"a line of 100000 characters", "[UPDATE]\nversion=" + std::string(100000, 'v') + "\n" + images,
         "ERROR: Can not establish communications."},
        {"duplicate sections and keys",
         "[UPDATE]\n" + images + "kernel_file=/nowhere\n[update]\nkernel_file=/nowhere\n",
         "ERROR: Can not establish communications."},
        {"quotes, blanks and CR LF", "[ UPDATE ]\r\n  kernel_file = \"" + Path("kernel.bin") + "\"\r\nupdate_file='" +
                                         Path("update.bin") + "'  \r\n",
         "ERROR: Can not establish communications."},
        {"an image over 2 GiB", "[UPDATE]\nkernel_file=" + Path("huge.bin") + "\nupdate_file=" + Path("update.bin"),
         "bytes together, more than the update's byte counters carry"},
    };
    std::ofstream(Path("huge.bin")).close();
    fs::resize_file(Path("huge.bin"), std::uintmax_t{3} << 30);  // sparse
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(Path("bad.ini"), std::ios::binary) << c.text;
        const auto started = cli_test::Clock::now();
        const CliRun run = RunCli({"--ini", Path("bad.ini"), "--device", Path("no-device"), "--yes"});
        EXPECT_TRUE(run.status == 3 || run.status == 4) << run.status << run.err;
        EXPECT_LT(run.endedAt - started, 5s);
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
    }
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
