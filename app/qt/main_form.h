#pragma once
// TMainForm: the operator window. Shows the instrument and the version being
// installed, lets the operator pick the COM port and start the update, and
// shows the worker's step texts and byte progress while it runs.
//
// Threads: everything here runs on the window's thread. The worker reaches
// the window only through QtWindowServices: one posted WM_WORKERTEXT event per
// line, the question and the end notification as queued calls. Events and
// tasks are handled strictly in arrival order, also while a message box is
// open (what arrives meanwhile waits until it is closed).
//
// Lifetime: the window outlives its worker, whose life an app::UpdateSession
// keeps. Closing it during an update hides it and refuses the worker's
// question (answered No); the window then waits, still handling events, until
// the worker has ended and closed its port (FinishWorker, also run by the
// destructor), so the worker never reads the configuration or notifies a
// window that is gone. A failure that nobody could see then is written to
// standard error (ExitStatus says so).

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "app/qt/qt_window_services.h"
#include "app/qt/t_up_down.h"
#include "app/qt/tc_gauge.h"
#include "app/update_session.h"
#include "engine/update_info.h"

class QFrame;

class TMainForm : public QWidget, private app::SessionObserver {
    Q_OBJECT

public:
    // Builds the window and reads update.ini beside the running program.
    explicit TMainForm(QWidget* owner = nullptr);
    // Builds the window and reads the configuration from `iniPath`.
    explicit TMainForm(const std::string& iniPath, QWidget* owner = nullptr);
    // Waits for a running worker first (FinishWorker).
    ~TMainForm() override;
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    // The configuration read at construction; never changes afterwards.
    const update_info& UpdateInfo() const { return info_; }

    // "Update Software": checks the port text, opens the link and starts a
    // worker, or explains in an "Error" box why not.
    void updateClick();

    // True while a worker runs (from its start until its result).
    bool UpdateRunning() const { return session_ && session_->Running(); }
    // The running worker, or null; valid until its result was shown.
    DataExchange* CurrentWorker() const { return session_ ? session_->Worker() : nullptr; }
    // The program's exit status once the window has closed: 1 when an update
    // failed after the window was closed, else 0.
    int ExitStatus() const { return failedUnseen_ ? 1 : 0; }

    // Shows one worker line: progress, error box, or new status text. The
    // line handler of every WM_WORKERTEXT; public so that the channel's
    // benchmark can feed it lines without a worker.
    void ShowWorkerLine(const std::string& line);

    // Handles events until a running worker has ended and been destroyed
    // (its port closed); returns at once when none runs.
    void FinishWorker();

    // The controls, by their layout names. Owned by the window.
    QLabel* lblMainTitle = nullptr;
    QFrame* Panel1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLineEdit* Port = nullptr;
    TUpDown* UpDown1 = nullptr;
    QPushButton* update = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* NPac = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* TPac = nullptr;
    QFrame* Panel3 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Status = nullptr;
    TCGauge* ProgressBar = nullptr;

signals:
    // The status text has just been replaced by `text`.
    void StatusShown(const QString& text);

protected:
    // Routes WM_WORKERTEXT to the line handler; everything else as usual.
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void ApplyConfiguration();
    void CenterOnScreen();

    // The session's events: each line shown, and at the end the controls
    // enabled again.
    void OnLine(const std::string& line) override { ShowWorkerLine(line); }
    void OnResult(const app::UpdateResult& result) override;
    // Clears the status text, the byte counts and the gauge.
    void ResetProgress();
    // Replaces the status text; the label grows with it up to Panel2's edge.
    void SetStatus(const QString& text);

    // Queues a window task and runs the queue unless it already runs.
    void RunInOrder(std::function<void()> task);
    void DrainPending();
    // Waits until the last worker has been destroyed (its port closed).
    void AwaitWorkerDestroyed();

    // Modal boxes owned by the window, no icon. Skipped once the window closes.
    void ShowErrorBox(const QString& text);
    platform::Answer AskOperator(const std::string& text, const std::string& caption);
    int ExecBox(QMessageBox& box);

    update_info info_;
    QtWindowServices services_;
    std::unique_ptr<app::UpdateSession> session_;  // the last update's
    bool failedUnseen_ = false;
    std::deque<std::function<void()>> pending_;
    bool draining_ = false;
    bool closing_ = false;
    std::vector<QPointer<QMessageBox>> openBoxes_;
};
