// The window at rest: titles from update.ini, layout, spin buttons, and the
// port check with its boxes.

#include <QCoreApplication>
#include <QFrame>

#include "window_fixture.h"

namespace window_test {
namespace {

using MainFormTest = WindowTest;

TEST_F(MainFormTest, TitlesComeFromUpdateIni) {
    const auto form = MakeForm(WriteConfiguration("2.1.0"));
    EXPECT_EQ(form->windowTitle(), "Orvane Update(Mar 22 2010)");
    EXPECT_EQ(form->lblMainTitle->text(), "Orvane Instrument Software Update (2.1.0)");
    EXPECT_EQ(QCoreApplication::applicationName(), "Orvane Update");
    EXPECT_EQ(form->UpdateInfo().parent_tag, "<ORV72>");
    EXPECT_EQ(form->UpdateInfo().kernel_file, kernelPath_);
}

TEST_F(MainFormTest, TitlesInUtf8OrWindows1252ShowTheSameLetters) {
    for (const std::string instrument : {"Ger\xC3\xA4t", "Ger\xE4t"}) {
        const auto form = MakeForm(folder_.Write("update.ini", "[UPDATE]\ninstrument=" + instrument + "\n"));
        EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Ger\xC3\xA4t Update(Mar 22 2010)"));
    }
}

TEST_F(MainFormTest, DefaultsWithoutUpdateIni) {
    const auto form = MakeForm(folder_.PathOf("update.ini"));
    EXPECT_EQ(form->windowTitle(), "Unknown Update(Mar 22 2010)");
    EXPECT_EQ(form->lblMainTitle->text(), "Unknown Instrument Software Update (Unknown)");
    EXPECT_EQ(form->UpdateInfo().parent_tag, "<ORV72>");
    EXPECT_EQ(form->UpdateInfo().update_file, "");
}

TEST_F(MainFormTest, ControlsSitWhereTheLayoutPutsThem) {
    const auto form = MakeForm(folder_.PathOf("update.ini"));
    EXPECT_EQ(form->size(), QSize(384, 278));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());

    struct Placed {
        QWidget* control;
        QRect rect;
    };
    const Placed table[] = {
        {form->lblMainTitle, {0, 16, 382, 19}}, {form->Panel1, {8, 49, 369, 2}},
        {form->GroupBox1, {71, 67, 113, 65}},   {form->Port, {32, 24, 25, 21}},
        {form->UpDown1, {57, 24, 15, 21}},      {form->update, {199, 89, 113, 25}},
        {form->Label2, {200, 121, 54, 13}},     {form->NPac, {273, 121, 6, 13}},
        {form->Label3, {203, 139, 51, 13}},     {form->TPac, {273, 139, 6, 13}},
        {form->Panel3, {7, 153, 369, 2}},       {form->GroupBox2, {10, 168, 365, 97}},
        {form->Panel2, {62, 24, 240, 28}},      {form->ProgressBar, {62, 59, 240, 20}},
    };
    for (const Placed& placed : table) {
        EXPECT_EQ(placed.control->geometry(), placed.rect) << placed.control->objectName().toStdString();
    }
    EXPECT_EQ(form->Port->parentWidget(), form->GroupBox1);
    EXPECT_EQ(form->Status->parentWidget(), form->Panel2);
    EXPECT_EQ(form->Status->pos(), QPoint(5, 6));
    EXPECT_EQ(form->ProgressBar->parentWidget(), form->GroupBox2);

    EXPECT_EQ(form->GroupBox1->title(), "Select Com Port");
    EXPECT_EQ(form->GroupBox2->title(), "Progress");
    EXPECT_EQ(form->update->text(), "Update Software");
    EXPECT_EQ(form->Port->text(), "1");
    EXPECT_EQ(form->Status->text(), "          ");
    EXPECT_EQ(form->NPac->text(), "--");
    EXPECT_EQ(form->TPac->text(), "--");
    EXPECT_EQ(form->Label2->text(), "Bytes Sent:");
    EXPECT_EQ(form->Label3->text(), "Byte Total:");
    for (QWidget* hidden : {static_cast<QWidget*>(form->Label2), static_cast<QWidget*>(form->NPac),
                            static_cast<QWidget*>(form->Label3), static_cast<QWidget*>(form->TPac)}) {
        EXPECT_TRUE(hidden->isHidden());
    }

    EXPECT_EQ(form->lblMainTitle->font().pixelSize(), 16);
    EXPECT_TRUE(form->lblMainTitle->font().bold());
    EXPECT_EQ(form->lblMainTitle->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(form->font().pixelSize(), 11);
    EXPECT_TRUE(form->Status->font().bold());
    EXPECT_EQ(form->Panel2->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(form->ProgressBar->Color(), QColor(255, 0, 0));
    EXPECT_EQ(form->ProgressBar->Progress(), 0);
    EXPECT_FALSE(form->windowIcon().isNull());

    // Tab order: the button, then the port's edit box and spin buttons.
    std::vector<QWidget*> tabStops;
    for (QWidget* next = form->update; tabStops.size() < 3; next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) != 0) tabStops.push_back(next);
    }
    EXPECT_EQ(tabStops, (std::vector<QWidget*>{form->update, form->Port, form->UpDown1}));
}

TEST_F(MainFormTest, SpinButtonsWrapAndFollowTypedText) {
    const auto form = MakeForm(folder_.PathOf("update.ini"));
    form->UpDown1->DownButton()->click();
    EXPECT_EQ(form->Port->text(), "35");
    form->UpDown1->UpButton()->click();
    EXPECT_EQ(form->Port->text(), "1");
    form->Port->setText("20");
    form->UpDown1->UpButton()->click();
    EXPECT_EQ(form->Port->text(), "21");
    form->Port->setText("nonsense");
    form->UpDown1->UpButton()->click();
    EXPECT_EQ(form->Port->text(), "22");
}

TEST_F(MainFormTest, PortTextsOutsideOneToThirtyFiveAreRefused) {
    WriteConfiguration();
    MakeInstrument();
    const auto form = MakeForm(folder_.PathOf("update.ini"));
    BoxAnswerer errors("Error", QMessageBox::Ok);
    for (const char* text : {"abc", "", "3x", "0", "36", "-1", " 5 ", "4294967297"}) {
        form->Port->setText(QString::fromLatin1(text));
        form->update->click();
        EXPECT_FALSE(form->UpdateRunning()) << text;
        EXPECT_TRUE(ControlsEnabled(*form)) << text;
    }
    ASSERT_EQ(errors.Seen().size(), 8u);
    for (const SeenBox& box : errors.Seen()) {
        EXPECT_EQ(box.text, "The port must be an integer between 1 and 35.");
        EXPECT_EQ(box.icon, QMessageBox::NoIcon);
        EXPECT_EQ(box.buttons, QMessageBox::Ok);
    }
    EXPECT_EQ(form->Status->text(), "");  // each press clears the last update's status
}

TEST_F(MainFormTest, PortThirtyFiveInDecimalOrHexOpensTheLastPort) {
    WriteConfiguration();
    instrument_sim::InstrumentConfig config;
    config.updateMethod = 1;
    const auto form = MakeForm(folder_.PathOf("update.ini"));
    BoxAnswerer errors("Error", QMessageBox::Ok);
    for (const char* text : {"35", "$23"}) {
        MakeInstrument(config, 34);  // only COM35 has a device
        form->Port->setText(QString::fromLatin1(text));
        ASSERT_TRUE(RunUpdate(*form)) << text;
        EXPECT_EQ(form->Status->text(), "Update successful.") << text;
    }
    EXPECT_TRUE(errors.Seen().empty());
}

TEST_F(MainFormTest, PortThatCannotBeOpenedIsReportedOverAClearedDisplay) {
    WriteConfiguration();
    instrument_sim::InstrumentConfig config;
    config.updateMethod = 1;
    MakeInstrument(config, 5);  // only COM6 has a device
    const auto form = MakeForm(folder_.PathOf("update.ini"));
    BoxAnswerer errors("Error", QMessageBox::Ok);
    form->Port->setText("6");
    ASSERT_TRUE(RunUpdate(*form));
    EXPECT_EQ(form->Status->text(), "Update successful.");

    // The last update's result and full gauge do not stand under the box.
    form->Port->setText("1");
    form->update->click();
    ASSERT_EQ(errors.Seen().size(), 1u);
    EXPECT_EQ(errors.Seen()[0].text,
              "ERROR: Can not establish communications.  Make sure all connections are made and the "
              "instrument is on.");
    EXPECT_EQ(errors.Seen()[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(errors.Seen()[0].buttons, QMessageBox::Ok);
    EXPECT_FALSE(form->UpdateRunning());
    EXPECT_TRUE(ControlsEnabled(*form));
    EXPECT_EQ(form->Status->text(), "");
    EXPECT_EQ(form->NPac->text(), "--");
    EXPECT_EQ(form->ProgressBar->GetPercentDone(), 0);

    // Pressing again tries again with a new worker.
    form->Port->setText("6");
    ASSERT_TRUE(RunUpdate(*form));
    EXPECT_EQ(errors.Seen().size(), 1u);
}

}  // namespace
}  // namespace window_test
