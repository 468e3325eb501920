// The operator window's program: reads update.ini beside itself, shows the
// window, and runs until the window is closed and any running update has
// ended.

#include <QMessageBox>

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "app/configuration.h"
#include "app/port_map.h"
#include "app/qt/library_error_box.h"
#include "app/qt/main_form.h"
#include "app/qt/updater_application.h"
#include "app/window_command_line.h"
#include "comlink/port_devices.h"
#include "platform/standard_streams.h"

namespace {

// Points each COM port named in [PORTS] of update.ini at its device.
void ApplyPortMap(const std::string& iniPath) {
    for (const auto& [port, device] : app::ReadPortMap(iniPath)) {
        SetPortDevicePath(port - 1, device);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything is opened: a serial device must never become a closed
    // standard stream's descriptor (a started desktop entry may have none).
    if (!platform::EnsureStandardStreamsOpen()) return 1;
    // --help and --version need no display: answered before the toolkit
    // looks for one.
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (const auto answer = app::WindowProgramAnswer(arguments, "updater", UPDATER_VERSION)) {
        std::fwrite(answer->data(), 1, answer->size(), stdout);
        return 0;
    }
    UpdaterApplication application(argc, argv);
    InstallLibraryErrorBox();
    try {
        ApplyPortMap(app::DefaultConfigurationPath());
        TMainForm MainForm;
        MainForm.show();
        const int status = QApplication::exec();
        MainForm.FinishWorker();
        return status != 0 ? status : MainForm.ExitStatus();
    } catch (const std::exception& failure) {
        UpdaterApplication::ShowFailure(QString::fromLocal8Bit(failure.what()));
    } catch (...) {
        UpdaterApplication::ShowFailure(QString());  // not a failure the program knows: no message
    }
    return 1;
}
