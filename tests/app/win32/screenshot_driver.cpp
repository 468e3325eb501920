// Drives the Win32 window through one update for scripts/screenshots-win32.sh,
// from inside the process (input from outside does not reach Wine's virtual
// desktop reliably). At each moment worth a picture it creates the file
// <name>.ready in the current folder and waits, handling the window's
// messages, until the script has created <name>.done:
//   before    the window at rest
//   question  the operator's question is open (answered Yes afterwards)
//   during    the transfer is under way (gauge between 30 and 70 percent)
//   after     the update has ended and the controls are enabled again
//
//   win32_screenshot_driver.exe PORT

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/win32/main_form.h"
#include "window_test_support.h"

namespace {

constexpr std::chrono::minutes kStepPatience{3};
constexpr int kDuringFrom = 30;
constexpr int kDuringTo = 70;

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// Announces the moment `name` and waits until the script has taken its picture.
bool Moment(const std::string& name, bool pumpMessages) {
    std::ofstream(name + ".ready") << name;
    const auto taken = [&] { return Exists(name + ".done"); };
    if (pumpMessages) return win32_test::PumpUntil(taken, kStepPatience);
    const auto deadline = std::chrono::steady_clock::now() + kStepPatience;
    while (!taken()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string port = argv[1];
    win32::TMainForm form;
    form.Show();
    if (!Moment("before", true)) return 1;

    win32_test::BoxAnswerer boxes(form.Handle(), [](const win32_test::SeenBox& box) {
        if (box.caption != "Continue?") return IDOK;
        Moment("question", false);  // the worker waits; the window paints meanwhile
        return IDYES;
    });
    SetWindowTextA(form.Port, port.c_str());
    PostMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(win32::kUpdateButtonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(form.update));
    if (!win32_test::PumpUntil([&] { return form.UpdateRunning(); }, kStepPatience)) return 1;
    if (!win32_test::PumpUntil([&] { return form.ProgressBar.Progress() >= kDuringFrom || !form.UpdateRunning(); },
                               kStepPatience)) {
        return 1;
    }
    if (form.ProgressBar.Progress() <= kDuringTo && !Moment("during", true)) return 1;
    if (!win32_test::PumpUntil([&] { return !form.UpdateRunning(); }, kStepPatience)) return 1;
    if (!Moment("after", true)) return 1;
    return win32::TMainForm::TextOf(form.Status) == "Update successful." ? 0 : 1;
}
