#pragma once
// TMainForm: the operator window on the Win32 window system. Shows the
// instrument and the version being installed, lets the operator pick the COM
// port and start the update, and shows the worker's step texts and byte
// progress while it runs. Built on the same toolkit-neutral logic as the Qt
// window (configuration, port check, worker lines, gauge arithmetic).
//
// Threads: everything here runs on the window's thread, except the worker's
// question box, which the worker shows from its own thread. The worker
// reaches the window only through Win32WindowServices: one posted
// WM_WORKERTEXT per line, its end notification as a posted task. Lines and
// tasks are handled strictly in arrival order, also while a message box is
// open (what arrives meanwhile waits until it is closed).
//
// Lifetime: the window outlives its worker. Closing it during an update hides
// it and answers the worker's question No (a box already open is closed as
// if No were pressed); the window is destroyed once the worker has ended, and
// the destructor waits (FinishWorker) until the worker has closed its port,
// so the worker never reads the configuration or notifies a window that is
// gone.

#include <windows.h>

#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <string>

#include "app/update_session.h"
#include "app/win32/tc_gauge.h"
#include "app/win32/win32_window_services.h"
#include "app/win32/window_fonts.h"
#include "engine/update_info.h"

namespace win32 {

// Command id of the "Update Software" button.
inline constexpr int kUpdateButtonId = 100;

class TMainForm : private app::SessionObserver {
public:
    // Builds the window (hidden) and reads update.ini beside the running program.
    TMainForm();
    // Builds the window (hidden) and reads the configuration from `iniPath`.
    explicit TMainForm(const std::string& iniPath);
    // Waits for a running worker first (FinishWorker), then destroys the window.
    ~TMainForm();
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    HWND Handle() const { return window_; }
    // The configuration read at construction; never changes afterwards.
    const update_info& UpdateInfo() const { return info_; }
    // instrument + " Update": the caption of the boxes that report failures.
    const std::string& ApplicationTitle() const { return applicationTitle_; }

    // Shows the window, centred, with the focus on the button.
    void Show();

    // "Update Software": checks the port text, opens the link and starts a
    // worker, or explains in an "Error" box why not.
    void updateClick();

    // True while a worker runs (from its start until its result).
    bool UpdateRunning() const { return session_ && session_->Running(); }
    // The running worker, or null; valid until its result was shown.
    DataExchange* CurrentWorker() const { return session_ ? session_->Worker() : nullptr; }
    // The program's exit status once the window has gone: 1 when an update
    // failed after the window was closed (said on standard error), else 0.
    int ExitStatus() const { return failedUnseen_ ? 1 : 0; }

    // Handles messages until a running worker has ended and been destroyed
    // (its port closed); returns at once when none runs. A WM_QUIT met on the
    // way is posted again afterwards.
    void FinishWorker();

    // True once the window has been destroyed (closed while idle, or after
    // the worker that ran when it was closed has ended).
    bool Destroyed() const { return destroyed_; }

    // Runs once when the window is destroyed; the program ends its message
    // loop there.
    void SetOnDestroyed(std::function<void()> onDestroyed) { onDestroyed_ = std::move(onDestroyed); }
    // Runs each time the status text has been replaced, with the new text.
    void SetStatusObserver(std::function<void(const std::string&)> observer) { statusObserver_ = std::move(observer); }

    // Returns the text of a window or control, as 8-bit text.
    static std::string TextOf(HWND control);

    // The controls, by their layout names. Owned by the window. Controls that
    // the layout places inside a group box are children of the form, at the
    // group box's offset; Status is a child of Panel2.
    HWND lblMainTitle = nullptr;
    HWND Panel1 = nullptr;
    HWND GroupBox1 = nullptr;
    HWND Port = nullptr;
    HWND UpDown1 = nullptr;
    HWND update = nullptr;
    HWND Label2 = nullptr;
    HWND NPac = nullptr;
    HWND Label3 = nullptr;
    HWND TPac = nullptr;
    HWND Panel3 = nullptr;
    HWND GroupBox2 = nullptr;
    HWND Panel2 = nullptr;
    HWND Status = nullptr;
    // Windowless: drawn in the form's client area.
    TCGauge ProgressBar;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateFormWindow();
    void BuildControls();
    void ApplyConfiguration();
    void CenterOnScreen();
    LRESULT ColourStatic(HDC dc, HWND control) const;
    void LimitTrackSize(MINMAXINFO& limits) const;

    // Shows one worker line: progress, error box, or new status text.
    void ShowWorkerLine(const std::string& line);
    // Replaces the status text; the label grows with it up to Panel2's edge.
    void SetStatus(const std::string& text);
    // The session's events: each line shown; at the end the controls come
    // back, or a closed window goes.
    void OnLine(const std::string& line) override { ShowWorkerLine(line); }
    void OnResult(const app::UpdateResult& result) override;
    // Clears the status text, the byte counts and the gauge.
    void ResetProgress();
    void EnableControls(bool enabled);

    // Queues a window task and runs the queue unless it already runs.
    void RunInOrder(std::function<void()> task);
    void DrainPending();
    // Runs `handler`, showing a failure that escapes it in a box captioned
    // with the application title; the program carries on.
    void Guarded(const std::function<void()>& handler);

    // The operator closes the window: at once when idle; during an update
    // the window hides, refuses the question and goes when the worker ends.
    void Close();

    // A modal "Error" box owned by the window, no icon. Skipped once the
    // window closes.
    void ShowErrorBox(const std::string& text);

    update_info info_;
    std::string applicationTitle_;
    WindowFonts fonts_;
    Win32WindowServices services_;
    HWND window_ = nullptr;
    std::unique_ptr<app::UpdateSession> session_;  // the last update's
    bool failedUnseen_ = false;
    std::deque<std::function<void()>> pending_;
    bool draining_ = false;
    bool closing_ = false;
    bool destroyed_ = false;
    std::function<void()> onDestroyed_;
    std::function<void(const std::string&)> statusObserver_;
};

}  // namespace win32
