// The operator window's program on Windows: reads update.ini beside itself,
// shows the window, and runs until the window is closed and any running
// update has ended (its port closed).

#include <windows.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/configuration.h"
#include "app/port_map.h"
#include "app/win32/failure_boxes.h"
#include "app/win32/main_form.h"
#include "app/window_command_line.h"
#include "comlink/port_devices.h"

namespace {

// Points each COM port named in [PORTS] of update.ini at its device, as the
// Qt window does; the others open \\.\COM<N>.
void ApplyPortMap(const std::string& iniPath) {
    for (const auto& [port, device] : app::ReadPortMap(iniPath)) {
        SetPortDevicePath(port - 1, device);
    }
}

// The message loop, with the keyboard navigation of a dialog (Tab between
// the button, the edit box and the spin buttons).
int RunMessageLoop(HWND window) {
    MSG message;
    int status;
    while ((status = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        if (IsWindow(window) && IsDialogMessageA(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return status < 0 ? 1 : static_cast<int>(message.wParam);
}

// A window program has no console of its own: the answer to --help or
// --version goes to the standard output it was given (redirected), else to
// the console of the program that started it, else into a message box.
void ShowAnswer(const std::string& text) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE console = INVALID_HANDLE_VALUE;
    if ((output == nullptr || output == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        console = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        output = console;
    }
    DWORD written = 0;
    const bool shown = output != nullptr && output != INVALID_HANDLE_VALUE &&
                       WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
    if (!shown) MessageBoxA(nullptr, text.c_str(), "updater", MB_OK | MB_ICONINFORMATION);
}

}  // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    const std::vector<std::string_view> arguments(__argv + (__argc > 0 ? 1 : 0), __argv + __argc);
    if (const auto answer = app::WindowProgramAnswer(arguments, "updater", UPDATER_VERSION)) {
        ShowAnswer(*answer);
        return 0;
    }
    win32::InstallLibraryFailureBox();
    std::unique_ptr<win32::TMainForm> MainForm;
    try {
        ApplyPortMap(app::DefaultConfigurationPath());
        MainForm = std::make_unique<win32::TMainForm>();
        MainForm->SetOnDestroyed([] { PostQuitMessage(0); });
        MainForm->Show();
        const int status = RunMessageLoop(MainForm->Handle());
        MainForm->FinishWorker();
        return status != 0 ? status : MainForm->ExitStatus();
    } catch (const std::exception& failure) {
        win32::ShowFailureBox(MainForm ? MainForm->ApplicationTitle() : "", failure.what());
    } catch (...) {
        win32::ShowFailureBox(MainForm ? MainForm->ApplicationTitle() : "", "");  // not a failure the program knows
    }
    return 1;
}
