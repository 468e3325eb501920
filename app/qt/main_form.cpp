// The window's behaviour: configuration, "Update Software", the worker's
// lines and its end, and closing during an update.

#include "app/qt/main_form.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "app/configuration.h"
#include "app/display_text.h"
#include "app/failure_words.h"
#include "app/link_failure_text.h"
#include "app/port_text.h"
#include "app/worker_line.h"

namespace {

constexpr const char* kErrorCaption = "Error";
constexpr const char* kCountsUnknown = "--";
// How often the window looks whether an ended worker has been destroyed.
constexpr std::chrono::milliseconds kWorkerEndPoll{5};

// Texts are 8-bit strings: UTF-8, or else Windows-1252 (app::DisplayText).
QString FromText(const std::string& text) {
    return QString::fromStdU16String(app::DisplayText(text));
}

std::string ToText(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// Runs `task` on destruction: the way out of a scope, exceptions included.
template <typename Task>
class OnExit {
public:
    explicit OnExit(Task task) : task_(std::move(task)) {}
    ~OnExit() { task_(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    Task task_;
};

}  // namespace

TMainForm::TMainForm(QWidget* owner) : TMainForm(app::DefaultConfigurationPath(), owner) {}

TMainForm::TMainForm(const std::string& iniPath, QWidget* owner)
    : QWidget(owner),
      info_(app::ReadWindowConfiguration(iniPath)),
      services_(
          *this,
          [this](const std::string& text, const std::string& caption) { return AskOperator(text, caption); },
          [this](std::function<void()> task) { RunInOrder(std::move(task)); }) {
    BuildControls();
    ApplyConfiguration();
    CenterOnScreen();
}

TMainForm::~TMainForm() {
    closing_ = true;
    services_.RefuseQuestions();
    FinishWorker();
}

void TMainForm::ApplyConfiguration() {
    QCoreApplication::setApplicationName(FromText(app::ApplicationTitle(info_)));
    setWindowTitle(FromText(app::WindowCaption(info_)));
    lblMainTitle->setText(FromText(app::TitleLabel(info_)));
}

void TMainForm::CenterOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void TMainForm::ResetProgress() {
    SetStatus(QString());
    TPac->setText(QString::fromLatin1(kCountsUnknown));
    NPac->setText(QString::fromLatin1(kCountsUnknown));
    ProgressBar->SetProgress(0);
}

void TMainForm::updateClick() {
    // One worker at a time (the button is disabled meanwhile; this also holds
    // for a direct call).
    if (UpdateRunning()) return;
    // What the last update left on screen never stands under a new refusal.
    ResetProgress();
    const std::optional<int> port = app::ParsePortNumber(ToText(Port->text()));
    if (!port) {
        ShowErrorBox(FromText(std::string(app::kPortRefusedText)));
        return;
    }
    // The previous worker releases its port right after its end notification;
    // wait for that so that a quick second press does not find the port busy.
    if (session_) AwaitWorkerDestroyed();

    session_ = std::make_unique<app::UpdateSession>(services_, services_.Handle(), info_,
                                                    static_cast<app::SessionObserver&>(*this));
    if (!session_->Open(*port)) return;  // OnResult showed why
    session_->Start();
    update->setEnabled(false);
    Port->setEnabled(false);
    UpDown1->setEnabled(false);
}

void TMainForm::OnResult(const app::UpdateResult& result) {
    if (result.end == app::UpdateEnd::kLinkNotOpened) {
        ShowErrorBox(FromText(app::LinkFailureBoxText(result.linkFailure)));
        return;
    }
    if (closing_ && app::TellFailureAfterClose(result, stderr)) failedUnseen_ = true;
    update->setEnabled(true);
    Port->setEnabled(true);
    UpDown1->setEnabled(true);
}

void TMainForm::FinishWorker() {
    if (!session_) return;
    DrainPending();
    // Until the end notification has run, the worker waits for this thread.
    while (UpdateRunning()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        DrainPending();
    }
    AwaitWorkerDestroyed();
}

void TMainForm::AwaitWorkerDestroyed() {
    // The wait is short: the worker only closes its port. Calls queued for
    // this thread still run meanwhile (a failure report of the serial library
    // comes that way), operator input does not.
    const std::shared_future<void> ended = session_->Ended();
    while (ended.valid() && ended.wait_for(kWorkerEndPoll) != std::future_status::ready) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == kWorkerTextEvent) {
        RunInOrder([this] {
            if (session_) session_->OnWorkerText();
        });
        return true;
    }
    return QWidget::event(event);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (UpdateRunning()) {
        // The update cannot be cancelled once under way; it ends unseen, and
        // a question still to come (or open now) is answered No.
        closing_ = true;
        services_.RefuseQuestions();
        session_->RequestTerminate();
        for (const QPointer<QMessageBox>& box : openBoxes_) {
            if (box) box->done(box->standardButtons().testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok);
        }
    }
    QWidget::closeEvent(event);
}

void TMainForm::ShowWorkerLine(const std::string& line) {
    const app::WorkerLine shown = app::ReadWorkerLine(line);
    switch (shown.kind) {
        case app::LineKind::Progress:
            ProgressBar->SetProgress(shown.progress.percent);
            NPac->setText(FromText(shown.progress.sentText));
            TPac->setText(FromText(shown.progress.totalText));
            break;
        case app::LineKind::Error:
            ShowErrorBox(FromText(shown.text));
            SetStatus(QString());
            break;
        case app::LineKind::Status:
            SetStatus(FromText(shown.text));
            break;
    }
}

void TMainForm::RunInOrder(std::function<void()> task) {
    pending_.push_back(std::move(task));
    DrainPending();
}

void TMainForm::DrainPending() {
    // A handler that opens a modal box lets events in meanwhile; they wait
    // here until it has returned, so that every line is shown in its order.
    if (draining_) return;
    draining_ = true;
    const OnExit reset([this] { draining_ = false; });
    while (!pending_.empty()) {
        std::function<void()> task = std::move(pending_.front());
        pending_.pop_front();
        task();
    }
}

void TMainForm::ShowErrorBox(const QString& text) {
    if (closing_) return;
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kErrorCaption), text, QMessageBox::Ok, this);
    ExecBox(box);
}

platform::Answer TMainForm::AskOperator(const std::string& text, const std::string& caption) {
    if (closing_) return platform::Answer::No;
    QMessageBox box(QMessageBox::NoIcon, FromText(caption), FromText(text), QMessageBox::Yes | QMessageBox::No,
                    this);
    return ExecBox(box) == QMessageBox::No ? platform::Answer::No : platform::Answer::Yes;
}

int TMainForm::ExecBox(QMessageBox& box) {
    for (QAbstractButton* button : box.buttons()) button->setIcon(QIcon());  // plain buttons, as everywhere
    openBoxes_.emplace_back(&box);
    const OnExit forget([this, &box] { std::erase(openBoxes_, QPointer<QMessageBox>(&box)); });
    return box.exec();
}
