// The window's behaviour: configuration, "Update Software", the worker's
// lines and its end, closing during an update, and the message dispatch.

#include "app/win32/main_form.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/configuration.h"
#include "app/failure_words.h"
#include "app/link_failure_text.h"
#include "app/port_text.h"
#include "app/win32/failure_boxes.h"
#include "app/worker_line.h"
#include "platform/window_services.h"

namespace win32 {
namespace {

constexpr const char* kErrorCaption = "Error";
constexpr const char* kCountsUnknown = "--";
constexpr UINT kErrorBoxStyle = MB_OK;  // no icon

// While a closed window waits for its worker, it looks for a question box
// the worker may just have opened this often, and answers it No.
constexpr UINT_PTR kDismissTimerId = 1;
constexpr UINT kDismissIntervalMs = 50;
// The longest a wait for messages lasts before the worker's state is read again.
constexpr DWORD kFinishPollMs = 50;

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

TMainForm::TMainForm() : TMainForm(app::DefaultConfigurationPath()) {}

TMainForm::TMainForm(const std::string& iniPath)
    : info_(app::ReadWindowConfiguration(iniPath)), fonts_(MakeWindowFonts()) {
    CreateFormWindow();
    BuildControls();
    ApplyConfiguration();
    CenterOnScreen();
}

TMainForm::~TMainForm() {
    closing_ = true;
    services_.RefuseQuestions();
    if (session_) session_->RequestTerminate();
    FinishWorker();
    if (window_ != nullptr && !destroyed_) DestroyWindow(window_);
}

void TMainForm::ApplyConfiguration() {
    applicationTitle_ = app::ApplicationTitle(info_);
    SetWindowTextA(window_, app::WindowCaption(info_).c_str());
    SetWindowTextA(lblMainTitle, app::TitleLabel(info_).c_str());
}

void TMainForm::Show() {
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    SetFocus(update);
}

std::string TMainForm::TextOf(HWND control) {
    std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    const int length = GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    return std::string(text.data(), static_cast<std::size_t>(std::max(length, 0)));
}

void TMainForm::ResetProgress() {
    SetStatus("");
    SetWindowTextA(TPac, kCountsUnknown);
    SetWindowTextA(NPac, kCountsUnknown);
    ProgressBar.SetProgress(0);
}

void TMainForm::updateClick() {
    // One worker at a time (the button is disabled meanwhile; this also holds
    // for a direct call).
    if (UpdateRunning()) return;
    // What the last update left on screen never stands under a new refusal.
    ResetProgress();
    const std::optional<int> port = app::ParsePortNumber(TextOf(Port));
    if (!port) {
        ShowErrorBox(std::string(app::kPortRefusedText));
        return;
    }
    // The previous worker releases its port right after its end notification;
    // wait for that so that a quick second press does not find the port busy.
    // It no longer needs this thread, so the wait is short and cannot block.
    if (session_ && session_->Ended().valid()) session_->Ended().wait();

    session_ = std::make_unique<app::UpdateSession>(services_, Win32WindowServices::HandleOf(window_), info_,
                                                    static_cast<app::SessionObserver&>(*this));
    if (!session_->Open(*port)) return;  // OnResult showed why
    session_->Start();
    EnableControls(false);
}

void TMainForm::EnableControls(bool enabled) {
    EnableWindow(update, enabled);
    EnableWindow(Port, enabled);
    EnableWindow(UpDown1, enabled);
}

void TMainForm::OnResult(const app::UpdateResult& result) {
    if (result.end == app::UpdateEnd::kLinkNotOpened) {
        ShowErrorBox(app::LinkFailureBoxText(result.linkFailure));
        return;
    }
    if (closing_ && app::TellFailureAfterClose(result, stderr)) failedUnseen_ = true;
    EnableControls(true);
    if (closing_) {
        KillTimer(window_, kDismissTimerId);
        if (!destroyed_) DestroyWindow(window_);
    } else if (GetFocus() == nullptr && GetActiveWindow() == window_) {
        SetFocus(update);  // the focus was on a control that was disabled
    }
}

void TMainForm::FinishWorker() {
    if (!session_) return;
    DrainPending();
    // Until the end notification has run, the worker waits for this thread.
    std::optional<WPARAM> quit;
    while (UpdateRunning()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kFinishPollMs, QS_ALLINPUT);
        MSG message;
        while (UpdateRunning() && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = message.wParam;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        DrainPending();
    }
    if (session_->Ended().valid()) session_->Ended().wait();
    if (quit) PostQuitMessage(static_cast<int>(*quit));
}

void TMainForm::Close() {
    if (!UpdateRunning()) {
        DestroyWindow(window_);
        return;
    }
    // The update cannot be cancelled once under way; it ends unseen, and a
    // question still to come (or open now) is answered No.
    closing_ = true;
    services_.RefuseQuestions();
    session_->RequestTerminate();
    ShowWindow(window_, SW_HIDE);
    DismissOwnedBoxes(window_);
    SetTimer(window_, kDismissTimerId, kDismissIntervalMs, nullptr);
}

void TMainForm::ShowWorkerLine(const std::string& line) {
    const app::WorkerLine shown = app::ReadWorkerLine(line);
    switch (shown.kind) {
        case app::LineKind::Progress:
            ProgressBar.SetProgress(shown.progress.percent);
            SetWindowTextA(NPac, shown.progress.sentText.c_str());
            SetWindowTextA(TPac, shown.progress.totalText.c_str());
            break;
        case app::LineKind::Error:
            ShowErrorBox(shown.text);
            SetStatus("");
            break;
        case app::LineKind::Status:
            SetStatus(shown.text);
            break;
    }
}

void TMainForm::RunInOrder(std::function<void()> task) {
    pending_.push_back(std::move(task));
    DrainPending();
}

void TMainForm::DrainPending() {
    // A handler that opens a modal box lets messages in meanwhile; they wait
    // here until it has returned, so that every line is shown in its order.
    if (draining_) return;
    draining_ = true;
    const OnExit reset([this] { draining_ = false; });
    while (!pending_.empty()) {
        std::function<void()> task = std::move(pending_.front());
        pending_.pop_front();
        Guarded(task);
    }
}

void TMainForm::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& failure) {
        ShowFailureBox(applicationTitle_, failure.what());
    } catch (...) {
        ShowFailureBox(applicationTitle_, "");  // not a failure the program knows: no message
    }
}

void TMainForm::ShowErrorBox(const std::string& text) {
    if (closing_) return;
    MessageBoxA(window_, text.c_str(), kErrorCaption, kErrorBoxStyle);
}

LRESULT CALLBACK TMainForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<TMainForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<TMainForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    if (form == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    return form->HandleMessage(message, wParam, lParam);
}

LRESULT TMainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case platform::WM_WORKERTEXT:
            RunInOrder([this] {
                if (session_) session_->OnWorkerText();
            });
            return 0;
        case kRunTaskMessage: {
            std::unique_ptr<std::function<void()>> task = Win32WindowServices::TakePostedTask(lParam);
            RunInOrder(std::move(*task));
            return 0;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == kUpdateButtonId && HIWORD(wParam) == BN_CLICKED) {
                Guarded([this] { updateClick(); });
                return 0;
            }
            break;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(window_, &paint);
            Guarded([this, dc] { ProgressBar.Paint(dc); });
            EndPaint(window_, &paint);
            return 0;
        }
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(fonts_.normal.Get());
        case WM_CTLCOLORSTATIC:
            return ColourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_GETMINMAXINFO:
            LimitTrackSize(*reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_TIMER:
            if (wParam == kDismissTimerId) {
                DismissOwnedBoxes(window_);
                return 0;
            }
            break;
        case WM_CLOSE:
            Guarded([this] { Close(); });
            return 0;
        case WM_DESTROY:
            destroyed_ = true;
            if (onDestroyed_) onDestroyed_();
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

}  // namespace win32
