#include "app/win32/win32_window_services.h"

#include <utility>

namespace win32 {

void Win32WindowServices::PostWindowMessage(platform::WindowHandle window, unsigned int message) {
    PostMessageA(reinterpret_cast<HWND>(window), message, 0, 0);
}

platform::Answer Win32WindowServices::AskYesNo(platform::WindowHandle window, const std::string& text,
                                               const std::string& caption) {
    if (QuestionsRefused()) return platform::Answer::No;
    const int pressed = MessageBoxA(reinterpret_cast<HWND>(window), text.c_str(), caption.c_str(), kQuestionBoxStyle);
    // Only No stops the update; a box that could not be shown (0) counts as No
    // too, so that nothing goes ahead unconfirmed.
    return pressed == IDYES ? platform::Answer::Yes : platform::Answer::No;
}

void Win32WindowServices::RunOnWindowThread(std::function<void()> task) {
    auto owned = std::make_unique<std::function<void()>>(std::move(task));
    const HWND window = window_.load(std::memory_order_acquire);
    if (window != nullptr && PostMessageA(window, kRunTaskMessage, 0, reinterpret_cast<LPARAM>(owned.get()))) {
        static_cast<void>(owned.release());  // the window's handler owns it now
    }
}

std::unique_ptr<std::function<void()>> Win32WindowServices::TakePostedTask(LPARAM lParam) {
    return std::unique_ptr<std::function<void()>>(reinterpret_cast<std::function<void()>*>(lParam));
}

namespace {

struct BoxSearch {
    HWND owner;
    int found;
};

constexpr const char* kDialogClass = "#32770";

BOOL CALLBACK DismissIfOwned(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<BoxSearch*>(context);
    if (GetWindow(window, GW_OWNER) != search.owner) return TRUE;
    char className[16] = {};
    GetClassNameA(window, className, sizeof(className));
    if (std::string(className) != kDialogClass) return TRUE;
    const WPARAM button = GetDlgItem(window, IDNO) != nullptr ? IDNO : IDOK;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    ++search.found;
    return TRUE;
}

}  // namespace

int DismissOwnedBoxes(HWND owner) {
    BoxSearch search{owner, 0};
    EnumWindows(DismissIfOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace win32
