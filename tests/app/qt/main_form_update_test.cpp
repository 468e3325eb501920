// The window running updates against the simulated instrument: the texts,
// counts and gauge, the operator's question, the controls, a second update,
// the handling of unusual lines, and closing the window mid-update.

#include <QCoreApplication>

#include <filesystem>

#include "engine/data_exchange.h"
#include "window_fixture.h"

namespace window_test {
namespace {

using instrument_sim::EventKind;

class UpdateTest : public WindowTest {
protected:
    // The texts a method-2 update shows, from the reset at the start.
    static std::vector<std::string> MethodTwoTexts() {
        return {"",
                "Contacting instrument.",
                "Switching to update mode.",
                "Synching baud rates.",
                "Sending kernel.",
                "Sending update.",
                "Clearing flash.",
                "Erasing flash.",
                "Programming flash.",
                "Starting new code.",
                "Update successful."};
    }
    static QString Total() { return QString::number(kKernelSize + kUpdateSize); }
};

TEST_F(UpdateTest, FullUpdateAnsweredYes) {
    const auto form = MakeForm(WriteConfiguration("2.1.0"));
    MakeInstrument();
    bool disabledWhileAsked = false;
    BoxAnswerer question("Continue?", [&](const SeenBox&) {
        disabledWhileAsked = ControlsDisabled(*form);
        return QMessageBox::Yes;
    });
    ASSERT_TRUE(RunUpdate(*form));

    ASSERT_EQ(question.Seen().size(), 1u);
    EXPECT_EQ(question.Seen()[0].text, "Are you sure you want to update from 1.0.0 to 2.1.0?");
    EXPECT_EQ(question.Seen()[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(question.Seen()[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(disabledWhileAsked);

    EXPECT_EQ(statuses_, MethodTwoTexts());
    EXPECT_EQ(form->Status->text(), "Update successful.");
    EXPECT_EQ(form->NPac->text(), Total());
    EXPECT_EQ(form->TPac->text(), Total());
    EXPECT_EQ(form->ProgressBar->Progress(), 100);
    EXPECT_TRUE(ControlsEnabled(*form));

    const instrument_sim::ModelRecord record = model_->Record();
    EXPECT_EQ(record.outcome, instrument_sim::Outcome::kCompleted);
    EXPECT_EQ(record.kernel.bytes.size(), kKernelSize);
    EXPECT_EQ(record.update.bytes.size(), kUpdateSize);
}

TEST_F(UpdateTest, RelativeImagePathsAreTakenFromTheFolderOfUpdateIni) {
    WriteConfiguration();
    ASSERT_FALSE(std::filesystem::exists("kernel.bin"));  // not in the current folder
    const auto form =
        MakeForm(folder_.Write("update.ini", "[UPDATE]\nupdate_file=update.bin\nkernel_file=kernel.bin\n"));
    MakeInstrument();
    BoxAnswerer question("Continue?", [](const SeenBox&) { return QMessageBox::Yes; });
    ASSERT_TRUE(RunUpdate(*form));
    EXPECT_EQ(form->Status->text(), "Update successful.");
    EXPECT_EQ(model_->Record().update.bytes.size(), kUpdateSize);
}

TEST_F(UpdateTest, AnsweredNoEndsWithAnEmptyStatus) {
    const auto form = MakeForm(WriteConfiguration());
    MakeInstrument();
    BoxAnswerer question("Continue?", QMessageBox::No);
    ASSERT_TRUE(RunUpdate(*form));

    EXPECT_EQ(question.Seen().size(), 1u);
    EXPECT_EQ(statuses_, (std::vector<std::string>{"", "Contacting instrument.", ""}));
    EXPECT_EQ(form->NPac->text(), "0");
    EXPECT_EQ(form->TPac->text(), Total());
    EXPECT_EQ(form->ProgressBar->Progress(), 0);
    EXPECT_TRUE(ControlsEnabled(*form));
    EXPECT_EQ(model_->Record().Count(EventKind::kSwitchToBoot), 0);
}

TEST_F(UpdateTest, SecondUpdateStartsFromAnEmptyDisplay) {
    const auto form = MakeForm(WriteConfiguration());
    instrument_sim::InstrumentConfig config;
    config.updateMethod = 1;
    MakeInstrument(config);
    ASSERT_TRUE(RunUpdate(*form));
    EXPECT_EQ(form->Status->text(), "Update successful.");
    EXPECT_EQ(form->ProgressBar->Progress(), 100);

    // Pressed at once (a fresh instrument, as this one has been updated):
    // the first worker's port is released in time.
    MakeInstrument(config);
    BoxAnswerer errors("Error", QMessageBox::Ok);
    form->update->click();
    EXPECT_TRUE(form->UpdateRunning());
    EXPECT_TRUE(ControlsDisabled(*form));
    EXPECT_EQ(form->Status->text(), "");
    EXPECT_EQ(form->NPac->text(), "--");
    EXPECT_EQ(form->TPac->text(), "--");
    EXPECT_EQ(form->ProgressBar->Progress(), 0);
    ASSERT_TRUE(WaitUntil([&] { return !form->UpdateRunning(); }));
    EXPECT_TRUE(errors.Seen().empty());
    EXPECT_EQ(form->Status->text(), "Update successful.");
    EXPECT_TRUE(ControlsEnabled(*form));
}

TEST_F(UpdateTest, MissingImagesAreReportedInTheStatus) {
    const auto form = MakeForm(folder_.PathOf("update.ini"));  // defaults: no image paths
    MakeInstrument();
    ASSERT_TRUE(RunUpdate(*form));
    EXPECT_EQ(form->Status->text(), "Missing an update binary.");
    // Neither image can be opened: each counts as -1.
    EXPECT_EQ(form->NPac->text(), "0");
    EXPECT_EQ(form->TPac->text(), "-2");
    EXPECT_EQ(form->ProgressBar->Progress(), 0);
}

// Lines of every kind, fed to the window through a worker held at its question.
TEST_F(UpdateTest, UnusualLinesAreShownSafely) {
    const auto form = MakeForm(WriteConfiguration());
    MakeInstrument();
    struct Check {
        const char* line;
        const char* status;  // nullptr: unchanged
        const char* sent;
        const char* total;
        int percent;
    };
    const Check checks[] = {
        {"DATA:950:900", nullptr, "50", "950", 5},
        {"DATA:3:1", nullptr, "2", "3", 66},
        {"DATA:950:0", nullptr, "950", "950", 100},
        {"DATA:4294967294:4294967294", nullptr, "0", "-2", 0},
        {"DATA:0:0", nullptr, "0", "0", 0},
        {"DATA:", nullptr, "0", "0", 0},
        {"DATA:2147483647:4294967295", nullptr, "-2147483648", "2147483647", 0},
        {"data:1:1", "data:1:1", "-2147483648", "2147483647", 0},
        {"Error: 3 memory errors encountered.", "Error: 3 memory errors encountered.", "-2147483648",
         "2147483647", 0},
        {"", "", "-2147483648", "2147483647", 0},
    };
    BoxAnswerer errors("Error", QMessageBox::Ok);
    BoxAnswerer question("Continue?", [&](const SeenBox&) {
        DataExchange* worker = form->CurrentWorker();
        EXPECT_NE(worker, nullptr);
        if (worker == nullptr) return QMessageBox::No;
        for (const Check& check : checks) {
            const QString before = form->Status->text();
            worker->PostText(check.line);
            Settle();
            EXPECT_EQ(form->Status->text(), check.status ? QString::fromLatin1(check.status) : before) << check.line;
            EXPECT_EQ(form->NPac->text(), check.sent) << check.line;
            EXPECT_EQ(form->TPac->text(), check.total) << check.line;
            EXPECT_EQ(form->ProgressBar->GetPercentDone(), check.percent) << check.line;
        }
        // An error line: its box, then an empty status before the next line shows.
        worker->PostText("Before");
        worker->PostText("ERROR:Port lost");
        worker->PostText("After");
        Settle();
        EXPECT_TRUE(WaitUntil([&] { return !errors.Seen().empty() && form->Status->text() == "After"; }));
        return QMessageBox::No;
    });
    ASSERT_TRUE(RunUpdate(*form));
    ASSERT_EQ(errors.Seen().size(), 1u);
    EXPECT_EQ(errors.Seen()[0].text, "Port lost");
    EXPECT_EQ(errors.Seen()[0].icon, QMessageBox::NoIcon);
    const std::vector<std::string> tail(statuses_.end() - 5, statuses_.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"", "Before", "", "After", ""}));

    // A notification after the worker has gone finds nothing to take.
    QCoreApplication::postEvent(form.get(), new QEvent(kWorkerTextEvent));
    Settle();
    EXPECT_EQ(form->Status->text(), "");
}

TEST_F(UpdateTest, ClosingBeforeTheQuestionAnswersNoAndReleasesThePort) {
    auto form = MakeForm(WriteConfiguration());
    MakeInstrument();
    BoxAnswerer question("Continue?", QMessageBox::Yes);
    form->show();
    form->update->click();
    ASSERT_TRUE(form->UpdateRunning());
    form->close();
    form.reset();  // waits for the worker

    EXPECT_TRUE(question.Seen().empty());
    const instrument_sim::ModelRecord record = model_->Record();
    EXPECT_EQ(record.Count(EventKind::kSwitchToBoot), 0);
    Serial serial;
    EXPECT_TRUE(serial.Open(0));  // the worker closed the port
}

TEST_F(UpdateTest, ClosingWhileAskedAnswersNo) {
    auto form = MakeForm(WriteConfiguration());
    MakeInstrument();
    BoxAnswerer question("Continue?", [&](const SeenBox&) {
        form->close();
        return QMessageBox::NoButton;  // closing the window closes the box
    });
    form->show();
    form->update->click();
    ASSERT_TRUE(WaitUntil([&] { return !question.Seen().empty() && !form->isVisible(); }));
    form.reset();
    EXPECT_EQ(model_->Record().Count(EventKind::kSwitchToBoot), 0);
}

// As the program runs: the event loop ends with the window, then the
// program waits for the worker before it returns. Closed in each stage of a
// method-2 update (the question is answered Yes unless closing it is the
// stage): before the switch the instrument is left untouched, after it the
// update runs to its end unseen, never half flashed; either way the port is
// closed once the program can end.
TEST_F(UpdateTest, ClosingInEachStageEndsSoundly) {
    const std::string kAtTheQuestion = "the question";
    const std::vector<std::string> stages = {"Contacting instrument.", kAtTheQuestion,      "Switching to update mode.",
                                             "Synching baud rates.",   "Sending kernel.",   "Sending update.",
                                             "Clearing flash.",        "Erasing flash.",    "Programming flash.",
                                             "Starting new code."};
    const std::string iniPath = WriteConfiguration();
    for (std::size_t index = 0; index < stages.size(); ++index) {
        const std::string& stage = stages[index];
        SCOPED_TRACE(stage);
        auto form = MakeForm(iniPath);
        MakeInstrument();
        bool closedWhileRunning = false;
        auto closeNow = [&] {
            closedWhileRunning = form->UpdateRunning();
            form->close();
        };
        BoxAnswerer question("Continue?", [&](const SeenBox&) {
            if (stage != kAtTheQuestion) return QMessageBox::Yes;
            closeNow();
            return QMessageBox::NoButton;  // closing the window closes the box
        });
        QObject::connect(form.get(), &TMainForm::StatusShown, [&](const QString& text) {
            if (text.toStdString() == stage && form->isVisible()) closeNow();
        });
        form->show();
        QTimer::singleShot(0, form.get(), [&] { form->update->click(); });
        QApplication::exec();  // until the last window has closed
        EXPECT_TRUE(closedWhileRunning);
        form->FinishWorker();
        EXPECT_FALSE(form->UpdateRunning());
        EXPECT_EQ(form->ExitStatus(), 0);  // nothing failed unseen

        const instrument_sim::ModelRecord record = model_->Record();
        const bool beforeTheSwitch = index < 2;
        EXPECT_EQ(record.Count(EventKind::kSwitchToBoot), beforeTheSwitch ? 0 : 1);
        if (!beforeTheSwitch) {
            EXPECT_EQ(record.outcome, instrument_sim::Outcome::kCompleted);
            EXPECT_EQ(record.kernel.bytes.size(), kKernelSize);
            EXPECT_EQ(record.update.bytes.size(), kUpdateSize);
        }
        Serial serial;
        EXPECT_TRUE(serial.Open(0));  // the worker closed the port
    }
}

// Closed during an update that then fails: nobody saw the failure, so the
// program says it on standard error and ends with a non-zero status.
TEST_F(UpdateTest, FailureAfterTheWindowClosedIsNotLost) {
    auto form = MakeForm(WriteConfiguration());
    instrument_sim::InstrumentConfig config;
    config.statusFor[1] = 0x01;  // clearing the flash fails
    MakeInstrument(config);
    BoxAnswerer question("Continue?", QMessageBox::Yes);
    QObject::connect(form.get(), &TMainForm::StatusShown, [&](const QString& text) {
        if (text == "Sending kernel." && form->isVisible()) form->close();
    });
    form->show();
    QTimer::singleShot(0, form.get(), [&] { form->update->click(); });
    QApplication::exec();
    form->FinishWorker();
    EXPECT_EQ(form->ExitStatus(), 1);
}

}  // namespace
}  // namespace window_test
