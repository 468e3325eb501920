#include "app/win32/failure_boxes.h"

#include <windows.h>

#include "comlink/qv_com_link.h"

namespace win32 {
namespace {

// The window with the keyboard focus: this thread's, or else the one of the
// thread the operator is working in (the report may come from the worker).
HWND FocusWindow() {
    if (const HWND focus = GetFocus(); focus != nullptr) return focus;
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (GetGUIThreadInfo(0, &info)) return info.hwndFocus;
    return nullptr;
}

}  // namespace

void InstallLibraryFailureBox() {
    SetFailureReporter([](const std::string& text, const std::string& title) {
        MessageBoxA(FocusWindow(), text.c_str(), title.c_str(), MB_OK);
    });
}

void ShowFailureBox(const std::string& applicationTitle, const std::string& message) {
    MessageBoxA(GetActiveWindow(), message.c_str(), applicationTitle.c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace win32
