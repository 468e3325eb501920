// The developer programs' command lines: what they refuse, and how.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace {
namespace fs = std::filesystem;

struct ProgramRun {
    int status = -1;
    std::string output;  // standard output and error together
};

// Runs `command` through the shell with no input; returns its exit status
// and everything it printed.
ProgramRun RunProgram(const std::string& command) {
    ProgramRun run;
    std::FILE* pipe = ::popen((command + " </dev/null 2>&1").c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.output += buffer;
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return run;
}

class ProgramCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("program-cli-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(ProgramCommandLine, SimulatorRefusesImagesItCannotRead) {
    const std::string sim = INSTRUMENT_SIM_PATH;
    for (const std::string option : {"--kernel", "--update"}) {
        SCOPED_TRACE(option);
        const ProgramRun folder = RunProgram(sim + " " + option + " " + dir_.string());
        EXPECT_EQ(folder.status, 2) << folder.output;
        EXPECT_NE(folder.output.find(dir_.string() + ": it is a folder"), std::string::npos) << folder.output;
        const ProgramRun missing = RunProgram(sim + " " + option + " " + Path("none.bin"));
        EXPECT_EQ(missing.status, 2) << missing.output;
        EXPECT_NE(missing.output.find("none.bin: no such file"), std::string::npos) << missing.output;
    }
}

TEST_F(ProgramCommandLine, SampleImagesHelpFolderAndSmallestSizes) {
    const std::string tool = SAMPLE_IMAGES_PATH;
    const ProgramRun help = RunProgram(tool + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.find("usage: sample-images"), 0u) << help.output;
    EXPECT_FALSE(fs::exists("--help"));

    const std::string nested = Path("a/b");
    const ProgramRun tiny = RunProgram(tool + " " + nested + " 0 1");
    EXPECT_EQ(tiny.status, 0) << tiny.output;
    EXPECT_EQ(fs::file_size(nested + "/kernel.bin"), 0u);
    EXPECT_EQ(fs::file_size(nested + "/update.bin"), 1u);

    for (const std::string sizes : {"-1 5", "5 1048577", "5 1e3", "5 ''"}) {
        SCOPED_TRACE(sizes);
        EXPECT_EQ(RunProgram(tool + " " + Path("c") + " " + sizes).status, 1);
    }
    // A folder that cannot be made: a file stands in its way.
    const ProgramRun blocked = RunProgram(tool + " " + nested + "/kernel.bin/x 2 2");
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.output.find("cannot create"), std::string::npos) << blocked.output;
}

}  // namespace
