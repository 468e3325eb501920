// The operator window's program on Windows: reads update.ini beside itself,
// shows the window, and runs until the window is closed and any running
// update has ended (its port closed).

#include <windows.h>

#include <exception>
#include <memory>
#include <string>

#include "app/configuration.h"
#include "app/port_map.h"
#include "app/win32/failure_boxes.h"
#include "app/win32/main_form.h"
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

}  // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
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
