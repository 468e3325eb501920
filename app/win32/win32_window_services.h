#pragma once
// Win32WindowServices: how the update worker reaches a Win32 window.
// Notifications are window messages posted with PostMessage; the operator's
// question is a MessageBoxA owned by the window, shown from the worker's own
// thread; the end notification travels as a posted kRunTaskMessage whose
// parameter owns the task, so it runs on the window's thread behind every
// line posted before it.
//
// Lifetime: the window must not be destroyed while a worker that was given
// these services runs (the window waits for its worker before it goes).

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/window_services.h"

namespace win32 {

// The private message that carries a task to the window's thread. Its
// lParam is a std::function<void()>* that the receiver takes ownership of
// (TakePostedTask).
inline constexpr UINT kRunTaskMessage = WM_APP + 411;

// The operator's question: Yes and No, no icon.
inline constexpr UINT kQuestionBoxStyle = MB_YESNO;

class Win32WindowServices : public platform::WindowServices {
public:
    Win32WindowServices() = default;

    // The window that receives the tasks; set once it exists.
    void SetWindow(HWND window) { window_.store(window, std::memory_order_release); }
    static platform::WindowHandle HandleOf(HWND window) { return reinterpret_cast<platform::WindowHandle>(window); }

    // Any thread: PostMessageA(window, message, 0, 0); the result is ignored.
    void PostWindowMessage(platform::WindowHandle window, unsigned int message) override;

    // Worker's thread: MessageBoxA owned by `window` with Yes and No and no
    // icon; blocks until answered. No, without asking, once questions are
    // refused (the window is closing).
    platform::Answer AskYesNo(platform::WindowHandle window, const std::string& text,
                              const std::string& caption) override;

    // Any thread: posts `task` to the window as kRunTaskMessage. If it cannot
    // be posted (no window, or the window is gone) the task is destroyed unrun.
    void RunOnWindowThread(std::function<void()> task) override;

    // From now on every question is answered No at once.
    void RefuseQuestions() { refuseQuestions_.store(true, std::memory_order_release); }
    bool QuestionsRefused() const { return refuseQuestions_.load(std::memory_order_acquire); }

    // Window's thread, on kRunTaskMessage: takes the task `lParam` carries.
    static std::unique_ptr<std::function<void()>> TakePostedTask(LPARAM lParam);

private:
    std::atomic<HWND> window_{nullptr};
    std::atomic<bool> refuseQuestions_{false};
};

// Ends every message box that `owner` owns (of any thread): a question as if
// No were pressed, any other box as if OK were pressed. Returns how many it
// found.
int DismissOwnedBoxes(HWND owner);

}  // namespace win32
