// The same safety on every run path: each case runs updater-cli against
// instrument-sim plainly, with --json and with two devices at once, and
// takes the simulator's verdict (what reached the wire) as the oracle.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "child_process.h"

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using cli_test::ChildProcess;
using cli_test::ReadFile;

enum class Form { kPlain, kJson, kTwoDevices };
constexpr Form kForms[] = {Form::kPlain, Form::kJson, Form::kTwoDevices};
const char* const kDevices[] = {"a", "b"};

class SessionEndToEnd;

struct Case {
    const char* name;
    std::size_t updateSize;
    std::vector<std::string> simulatorFaults;
    std::vector<std::string> extraArguments;  // "{dir}" stands for the test's folder
    // Before the run: spoil the images or the files named in the arguments.
    std::function<void(SessionEndToEnd&)> prepare;
    // While the run is at `waitFor`, on the updater and the test's folder.
    const char* waitFor;
    std::function<void(SessionEndToEnd&, ChildProcess&)> during;
    int status;
    bool completed;  // the simulator received both images whole and the commands
    const char* errorText;  // on standard error, or nullptr
    // After the run, given the simulators' JSON verdicts and standard error.
    std::function<void(SessionEndToEnd&, const std::vector<nlohmann::json>&)> check;
};

class SessionEndToEnd : public ::testing::TestWithParam<Case> {
public:
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static void WriteImage(const std::string& path, std::size_t size, int step) {
        std::string bytes;
        for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>((i * step + 3) & 0xFF);
        std::ofstream(path, std::ios::binary) << bytes;
    }

protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() / ("updater-session-" + std::to_string(getpid()) + "-" +
                                            std::to_string(counter++));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    void Prepare(const Case& c) {
        for (const auto& entry : fs::directory_iterator(dir_)) fs::remove_all(entry.path());
        WriteImage(Path("kernel.bin"), 120, 7);
        WriteImage(Path("update.bin"), c.updateSize, 13);
        std::ofstream(Path("update.ini")) << "[UPDATE]\nversion=2.0.0\ninstrument=Orvane\nkernel_file="
                                          << Path("kernel.bin") << "\nupdate_file=" << Path("update.bin") << "\n";
    }

    std::unique_ptr<ChildProcess> StartSimulator(const Case& c, const std::string& name) {
        std::vector<std::string> arguments = {"--kernel", Path("kernel.bin"), "--update", Path("update.bin"),
                                              "--idle-timeout", "10", "--json", "--link", Path(name)};
        arguments.insert(arguments.end(), c.simulatorFaults.begin(), c.simulatorFaults.end());
        auto simulator = std::make_unique<ChildProcess>(INSTRUMENT_SIM_PATH, arguments, Path(name + ".out"),
                                                        Path(name + ".err"), false);
        const auto deadline = cli_test::Clock::now() + 5s;
        while (!fs::is_symlink(Path(name)) && cli_test::Clock::now() < deadline) ::usleep(10'000);
        EXPECT_TRUE(fs::is_symlink(Path(name))) << ReadFile(Path(name + ".err"));
        return simulator;
    }

    // The line that shows the step `text` in `form`.
    std::string StepLine(Form form, const std::string& text) const {
        if (form == Form::kJson) {
            return nlohmann::json{{"event", "step"}, {"device", Path("a")}, {"text", text}}.dump();
        }
        return form == Form::kTwoDevices ? Path("a") + ": " + text : text;
    }

    void Run(const Case& c, Form form) {
        Prepare(c);
        const std::size_t devices = form == Form::kTwoDevices ? 2 : 1;
        std::vector<std::unique_ptr<ChildProcess>> simulators;
        for (std::size_t i = 0; i < devices; ++i) simulators.push_back(StartSimulator(c, kDevices[i]));
        // The simulators have read the good images; now spoil them.
        if (c.prepare) c.prepare(*this);

        std::vector<std::string> arguments = {"--ini", Path("update.ini"), "--yes"};
        for (std::size_t i = 0; i < devices; ++i) arguments.insert(arguments.end(), {"--device", Path(kDevices[i])});
        if (form == Form::kJson) arguments.push_back("--json");
        for (std::string argument : c.extraArguments) {
            if (const std::size_t at = argument.find("{dir}"); at != std::string::npos) {
                argument.replace(at, 5, dir_.string());
            }
            arguments.push_back(argument);
        }
        ChildProcess cli(UPDATER_CLI_PATH, arguments, "", Path("cli.err"), true);
        if (c.waitFor != nullptr) {
            ASSERT_TRUE(cli.WaitForLine(StepLine(form, c.waitFor), 60s)) << ReadFile(Path("cli.err"));
            c.during(*this, cli);
        }
        cli.ReadAllOutput(90s);
        EXPECT_EQ(cli.Wait(10s), c.status) << ReadFile(Path("cli.err"));
        const std::string err = ReadFile(Path("cli.err"));
        if (c.errorText != nullptr) {
            EXPECT_NE(err.find(c.errorText), std::string::npos) << err;
        }

        std::vector<nlohmann::json> verdicts;
        for (std::size_t i = 0; i < devices; ++i) {
            // A run refused before the port opens leaves the simulator waiting
            // for a host that never comes: its verdict is complete at once.
            if (c.status == 3 || !simulators[i]->Wait(15s)) simulators[i]->Terminate();
            simulators[i]->Wait(5s);
            const std::string out = ReadFile(Path(std::string(kDevices[i]) + ".out"));
            const std::size_t json = out.find('{');
            ASSERT_NE(json, std::string::npos) << out;
            verdicts.push_back(nlohmann::json::parse(out.substr(json)));
            EXPECT_EQ(verdicts.back()["outcome"] == "completed", c.completed) << kDevices[i] << out;
        }
        if (c.check) c.check(*this, verdicts);
    }

    fs::path dir_;
};

void NothingSent(SessionEndToEnd&, const std::vector<nlohmann::json>& verdicts) {
    for (const nlohmann::json& verdict : verdicts) EXPECT_TRUE(verdict["tag_lines"].empty()) << verdict.dump();
}

std::vector<nlohmann::json> Records(const std::string& path) {
    std::vector<nlohmann::json> records;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) records.push_back(nlohmann::json::parse(line));
    return records;
}

const Case kCases[] = {
    {"an update image of one byte is refused before the port opens", 2, {}, {},
     [](SessionEndToEnd& t) { SessionEndToEnd::WriteImage(t.Path("update.bin"), 1, 1); }, nullptr, nullptr, 3,
     false, "holds 1 byte; an update image needs at least 2", NothingSent},
    {"a folder as the kernel is refused before the port opens", 130, {}, {},
     [](SessionEndToEnd& t) {
         fs::remove(t.Path("kernel.bin"));
         fs::create_directory(t.Path("kernel.bin"));
     },
     nullptr, nullptr, 3, false, "a folder, not a file", NothingSent},
    {"one Ctrl-C while clearing only warns", 130, {"--status-delay", "1=4000"}, {}, nullptr, "Clearing flash.",
     [](SessionEndToEnd&, ChildProcess& cli) { cli.Signal(SIGINT); }, 0, true, "Press Ctrl-C again", nullptr},
    {"SIGHUP and an image renamed over during the stream", 12000, {}, {"--report", "{dir}/report.jsonl"}, nullptr,
     "Sending update.",
     [](SessionEndToEnd& t, ChildProcess& cli) {
         cli.Signal(SIGHUP);
         SessionEndToEnd::WriteImage(t.Path("other.bin"), 500, 3);
         fs::rename(t.Path("other.bin"), t.Path("update.bin"));
     },
     0, true, "in its boot side",
     [](SessionEndToEnd& t, const std::vector<nlohmann::json>& verdicts) {
         const std::vector<nlohmann::json> records = Records(t.Path("report.jsonl"));
         ASSERT_EQ(records.size(), verdicts.size());
         for (const nlohmann::json& record : records) {
             EXPECT_EQ(record["status"], 0);
             EXPECT_EQ(record["update"]["sha256"], verdicts[0]["update"]["sha256"]);
         }
     }},
    {"a report FIFO is refused at once", 130, {}, {"--report", "{dir}/fifo"},
     [](SessionEndToEnd& t) { ASSERT_EQ(::mkfifo(t.Path("fifo").c_str(), 0600), 0); }, nullptr, nullptr, 3, false,
     "is not a regular file", NothingSent},
    {"a trace that cannot be written warns and the update goes on", 130, {}, {"--trace", "/dev/full"}, nullptr,
     nullptr, nullptr, 0, true, "cannot be written", nullptr},
    {"a failing clear is said in words", 130, {"--status", "1=1"}, {}, nullptr, nullptr, nullptr, 1, false,
     "status 0x01 for command 1 (clear flash)", nullptr},
};

// One test a case, so that each stays well inside the test runner's time-out.
TEST_P(SessionEndToEnd, EveryRunPathKeepsTheSameRules) {
    const Case& c = GetParam();
    for (const Form form : kForms) {
        // One trace file cannot serve two devices (each gets its own name).
        if (form == Form::kTwoDevices && !c.extraArguments.empty() && c.extraArguments[0] == "--trace") continue;
        SCOPED_TRACE(std::string(c.name) + (form == Form::kJson ? " (--json)"
                                            : form == Form::kTwoDevices ? " (two devices)" : ""));
        Run(c, form);
    }
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    std::string name;
    bool upper = true;
    for (const char* letter = info.param.name; *letter != '\0'; ++letter) {
        if (std::isalnum(static_cast<unsigned char>(*letter)) == 0) {
            upper = true;
            continue;
        }
        name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*letter))) : *letter;
        upper = false;
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, SessionEndToEnd, ::testing::ValuesIn(kCases), CaseName);

TEST_F(SessionEndToEnd, CheckAgreesWithTheUpdateAndTraceKeepsTheOpenFailure) {
    Prepare(Case{"", 1, {}, {}, nullptr, nullptr, nullptr, 0, false, nullptr, nullptr});
    // Prepare wrote a one-byte update image.
    ChildProcess check(UPDATER_CLI_PATH, {"--ini", Path("update.ini"), "--device", Path("none"), "--check"}, "",
                       Path("check.err"), true);
    check.ReadAllOutput(30s);
    EXPECT_EQ(check.Wait(5s), 3);

    WriteImage(Path("update.bin"), 130, 13);
    ChildProcess traced(UPDATER_CLI_PATH,
                        {"--ini", Path("update.ini"), "--device", Path("none"), "--yes", "--trace", Path("trace")},
                        "", Path("traced.err"), true);
    traced.ReadAllOutput(30s);
    EXPECT_EQ(traced.Wait(5s), 4);
    EXPECT_NE(ReadFile(Path("traced.err")).find("no such device"), std::string::npos) << ReadFile(Path("traced.err"));
}

}  // namespace
