// What updater-cli finds out before it opens the port (the images, the
// [PORTS] entry) and what it adds after a run that failed early.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/cli/run_notes.h"
#include "app/cli/update_run.h"
#include "app/image_check.h"
#include "platform/profile.h"
#include "tests/app/temp_ini.h"

namespace {
namespace fs = std::filesystem;

class ImageCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("updater-image-check-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        info_.kernel_file = Write("kernel.bin", 10);
        info_.update_file = Write("update.bin", 10);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Write(const std::string& name, std::size_t size) const {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << std::string(size, 'x');
        return path;
    }

    fs::path dir_;
    update_info info_;
};

TEST_F(ImageCheckTest, MissingImagesAreNamedAndLeftToTheSequence) {
    EXPECT_TRUE(app::CheckImages(info_).missing.empty());
    EXPECT_FALSE(app::CheckImages(info_).refusal);

    info_.kernel_file = "";
    info_.update_file = (dir_ / "gone.bin").string();
    app::ImageCheck check = app::CheckImages(info_);
    EXPECT_EQ(check.missing, (std::vector<std::string>{"kernel_file: not set in section [UPDATE]",
                                                       "update_file " + info_.update_file + ": no such file"}));
    EXPECT_FALSE(check.refusal);

    // A folder exists but cannot be sent: refused before the port opens.
    info_.kernel_file = dir_.string();
    check = app::CheckImages(info_);
    ASSERT_EQ(check.missing.size(), 1u);

    // A relative path is looked for from the current folder, and the text says where.
    info_.update_file = "gone.bin";
    EXPECT_EQ(app::CheckImages(info_).missing[0],
              "update_file gone.bin: no such file (looked for " + (fs::current_path() / "gone.bin").string() + ")");

    info_.update_file = Write("update.bin", 10);
    check = app::CheckImages(info_);
    EXPECT_TRUE(check.missing.empty());
    ASSERT_TRUE(check.refusal);
    EXPECT_EQ(*check.refusal, "kernel_file " + dir_.string() + ": a folder, not a file");
}

TEST_F(ImageCheckTest, ImagesThatCannotBeSentAreRefusedWithPathAndReason) {
    struct Case {
        std::size_t updateSize;
        const char* expected;  // the end of the refusal, or nullptr
    };
    for (const Case& c : {Case{0, "holds 0 bytes; an update image needs at least 2"},
                          Case{1, "holds 1 byte; an update image needs at least 2"}, Case{2, nullptr}}) {
        SCOPED_TRACE(c.updateSize);
        info_.update_file = Write("update.bin", c.updateSize);
        const app::ImageCheck check = app::CheckImages(info_);
        if (c.expected == nullptr) {
            EXPECT_FALSE(check.refusal);
        } else {
            ASSERT_TRUE(check.refusal);
            EXPECT_EQ(*check.refusal, "update_file " + info_.update_file + ": " + c.expected);
        }
    }
    info_.kernel_file = Write("empty-kernel.bin", 0);  // an empty kernel is sent as it is
    EXPECT_FALSE(app::CheckImages(info_).refusal);

    const std::string fifo = (dir_ / "kernel.fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    info_.kernel_file = fifo;
    ASSERT_TRUE(app::CheckImages(info_).refusal);
    EXPECT_EQ(*app::CheckImages(info_).refusal, "kernel_file " + fifo + ": not a regular file");

    if (::geteuid() != 0) {  // root reads any file
        info_.kernel_file = Write("locked.bin", 4);
        fs::permissions(info_.kernel_file, fs::perms::none);
        ASSERT_TRUE(app::CheckImages(info_).refusal);
        EXPECT_NE(app::CheckImages(info_).refusal->find("cannot be read (Permission denied)"), std::string::npos);
    }
}

// An outcome that failed at `step` for `reason`, having posted `steps`.
cli::UpdateOutcome Failed(engine::UpdateStep step, engine::FailureReason reason, std::vector<std::string> steps = {}) {
    cli::UpdateOutcome outcome;
    outcome.device = "/dev/x";
    outcome.failure.step = step;
    outcome.failure.reason = reason;
    outcome.failureWords = "status 0x01 for command 1 (clear flash)";
    outcome.steps = std::move(steps);
    return outcome;
}

TEST(RunNotes, AFailureGetsANoteSuccessNone) {
    using engine::FailureReason;
    using engine::UpdateStep;
    const std::vector<std::string> missing = {"kernel_file: not set in section [UPDATE]"};
    EXPECT_EQ(cli::NotesAfterRun(Failed(UpdateStep::kImageCheck, FailureReason::kImageMissing), missing), missing);
    EXPECT_TRUE(cli::NotesAfterRun(cli::UpdateOutcome{}, missing).empty());

    const std::vector<std::string> silent =
        cli::NotesAfterRun(Failed(UpdateStep::kSynchronise, FailureReason::kNoAnswer), {});
    ASSERT_EQ(silent.size(), 2u);
    EXPECT_NE(silent[0].find("never answered, neither at 9600 baud nor at 38400 baud"), std::string::npos);
    EXPECT_NE(silent[1].find("cable"), std::string::npos);
    EXPECT_NE(silent[1].find("/dev/x"), std::string::npos);
    const std::vector<std::string> gone = cli::NotesAfterRun(
        Failed(UpdateStep::kSynchronise, FailureReason::kNoAnswer, {"Switching to update mode."}), {});
    ASSERT_FALSE(gone.empty());
    EXPECT_NE(gone[0].find("answered at 9600 baud, but its boot side never answered"), std::string::npos);

    EXPECT_EQ(cli::NotesAfterRun(Failed(UpdateStep::kClear, FailureReason::kStatusByte), {}),
              std::vector<std::string>{"The update failed at \"Clearing flash.\": status 0x01 for command 1 (clear flash)."});
}

TEST(ChooseLinkTest, APortWithoutEntryIsMarkedAsTheSystemsOwnDevice) {
    const TempIni ini("[PORTS]\nCOM7=/tmp/instrument\n");
    const platform::ProfileFile profile(ini.Path());
    cli::CliOptions options;
    options.port = 7;
    cli::LinkChoice link = cli::ChooseLink(options, profile);
    EXPECT_EQ(link.devicePath, "/tmp/instrument");
    EXPECT_FALSE(link.unmapped);
    options.port = 8;
    link = cli::ChooseLink(options, profile);
    EXPECT_EQ(link.devicePath, "/dev/ttyS7");
    EXPECT_TRUE(link.unmapped);
    options.port.reset();
    options.device = "/tmp/other";
    EXPECT_FALSE(cli::ChooseLink(options, profile).unmapped);
}

}  // namespace
