// The Win32 window under Wine, started with the update.ini beside the test
// program, against simulated instruments on COM ports that the runner
// (run_window_tests.sh) mapped to their pseudo-terminals: the layout at rest,
// a whole update answered Yes with both images arriving byte-exact, the port
// check's box, a link that cannot be opened, the answer No, and closing the
// window while the question is open.

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/win32/main_form.h"
#include "comlink/links.h"
#include "comlink/serial.h"
#include "window_test_support.h"

namespace win32_test {
namespace {

using win32::TMainForm;

// Ports the runner mapped, one simulated instrument (one update) each.
const int kYesPort = PortFromEnvironment("UPDATER_TEST_YES_PORT");
const int kNoPort = PortFromEnvironment("UPDATER_TEST_NO_PORT");
const int kClosePort = PortFromEnvironment("UPDATER_TEST_CLOSE_PORT");
const int kTransferPort = PortFromEnvironment("UPDATER_TEST_TRANSFER_PORT");
// A port whose device the tests refuse to open: the link cannot be established.
constexpr int kRefusedPort = 12;

constexpr std::size_t kImageBytes = 2048 + 24576;  // samples/kernel.bin and samples/update.bin

// A port whose device could not be opened.
class RefusedPort final : public QvComLink {
public:
    RefusedPort() { lastError = LINK_ERR_GENERAL; }
};

// Only the mapped ports reach a device; every other port is refused, and one
// other than kRefusedPort fails the test (it could be a real serial port).
class MappedPortsOnly final : public ::testing::Environment {
public:
    void SetUp() override {
        guard_ = std::make_unique<ScopedPortFactory>([](int index, int rxSize, int txSize) -> std::unique_ptr<QvComLink> {
            const int port = index + 1;
            if (port != 0 && (port == kYesPort || port == kNoPort || port == kClosePort || port == kTransferPort)) {
                return std::make_unique<Links>(index, rxSize, txSize);
            }
            if (port != kRefusedPort) ADD_FAILURE() << "a test tried to open COM" << port << ", which is not mapped";
            return std::make_unique<RefusedPort>();
        });
    }
    void TearDown() override { guard_.reset(); }

private:
    std::unique_ptr<ScopedPortFactory> guard_;
};

[[maybe_unused]] ::testing::Environment* const registered =
    ::testing::AddGlobalTestEnvironment(new MappedPortsOnly);  // owned by GoogleTest

RECT PlaceInClient(HWND control, HWND parent) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool SameRect(const RECT& a, int left, int top, int width, int height) {
    return a.left == left && a.top == top && a.right - a.left == width && a.bottom - a.top == height;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// Waits for the summary that the runner collects from the instrument on
// `port` (sim-com<N>.json in the current folder) and expects a completed
// update with both images byte-exact.
void ExpectInstrumentUpdated(int port) {
    const std::string path = "sim-com" + std::to_string(port) + ".json";
    std::string summary;
    EXPECT_TRUE(PumpUntil([&] {
        summary = ReadFile(path);
        return summary.find("\"session\":\"finished\"") != std::string::npos;
    })) << path;
    EXPECT_NE(summary.find("\"outcome\":\"completed\""), std::string::npos) << summary;
    EXPECT_EQ(Occurrences(summary, "\"matches\":true"), 2u) << summary;  // kernel and update
}

class WindowTest : public ::testing::Test {
protected:
    WindowTest() {
        form_.SetStatusObserver([this](const std::string& text) { statuses_.push_back(text); });
        form_.Show();
    }

    // Types `port` into the edit box and presses "Update Software" as the
    // button does: a BN_CLICKED command to the window.
    void Press(int port) { Press(std::to_string(port)); }
    void Press(const std::string& portText) {
        SetWindowTextA(form_.Port, portText.c_str());
        PostMessageA(form_.Handle(), WM_COMMAND, MAKEWPARAM(win32::kUpdateButtonId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(form_.update));
    }

    // Presses on `port` and waits until the worker it starts has ended.
    bool RunUpdate(int port) {
        Press(port);
        if (!PumpUntil([this] { return form_.UpdateRunning(); })) return false;
        return PumpUntil([this] { return !form_.UpdateRunning(); });
    }

    bool ControlsEnabled() const {
        return IsWindowEnabled(form_.update) && IsWindowEnabled(form_.Port) && IsWindowEnabled(form_.UpDown1);
    }
    bool ControlsDisabled() const {
        return !IsWindowEnabled(form_.update) && !IsWindowEnabled(form_.Port) && !IsWindowEnabled(form_.UpDown1);
    }

    TMainForm form_;  // update.ini beside the test program
    std::vector<std::string> statuses_;
};

TEST_F(WindowTest, AtRestTheLayoutAndTitlesAreInPlace) {
    EXPECT_EQ(TMainForm::TextOf(form_.Handle()), "Orvane Update(Mar 22 2010)");
    EXPECT_EQ(TMainForm::TextOf(form_.lblMainTitle), "Orvane Instrument Software Update (2.1.0)");
    EXPECT_EQ(form_.ApplicationTitle(), "Orvane Update");

    RECT client{};
    GetClientRect(form_.Handle(), &client);
    EXPECT_TRUE(SameRect(client, 0, 0, 384, 278));
    const LONG_PTR style = GetWindowLongPtrA(form_.Handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_NE(GetClassLongPtrA(form_.Handle(), GCLP_HICONSM), 0);

    struct Placed {
        HWND control;
        int left, top, width, height;  // in the form's client area
    };
    const Placed table[] = {
        {form_.lblMainTitle, 0, 16, 382, 19},  {form_.Panel1, 8, 49, 369, 2},
        {form_.GroupBox1, 71, 67, 113, 65},    {form_.Port, 71 + 32, 67 + 24, 25, 21},
        {form_.UpDown1, 71 + 57, 67 + 24, 15, 21}, {form_.update, 199, 89, 113, 25},
        {form_.Label2, 200, 121, 54, 13},      {form_.NPac, 273, 121, 6, 13},
        {form_.Label3, 203, 139, 51, 13},      {form_.TPac, 273, 139, 6, 13},
        {form_.Panel3, 7, 153, 369, 2},        {form_.GroupBox2, 10, 168, 365, 97},
        {form_.Panel2, 10 + 62, 168 + 24, 240, 28},
    };
    for (const Placed& placed : table) {
        EXPECT_TRUE(SameRect(PlaceInClient(placed.control, form_.Handle()), placed.left, placed.top, placed.width,
                             placed.height))
            << TMainForm::TextOf(placed.control) << " at " << placed.left << "," << placed.top << " is at "
            << PlaceInClient(placed.control, form_.Handle()).left << "," << PlaceInClient(placed.control, form_.Handle()).top
            << " to " << PlaceInClient(placed.control, form_.Handle()).right << ","
            << PlaceInClient(placed.control, form_.Handle()).bottom;
    }
    const RECT gauge = form_.ProgressBar.BoundsRect();
    EXPECT_TRUE(SameRect(gauge, 72, 227, 240, 20));
    EXPECT_EQ(GetParent(form_.Status), form_.Panel2);
    const RECT status = PlaceInClient(form_.Status, form_.Panel2);
    EXPECT_EQ(status.left, 5);
    EXPECT_EQ(status.top, 6);

    EXPECT_EQ(TMainForm::TextOf(form_.Port), "1");
    EXPECT_EQ(TMainForm::TextOf(form_.Status), "          ");
    EXPECT_EQ(TMainForm::TextOf(form_.NPac), "--");
    EXPECT_EQ(TMainForm::TextOf(form_.TPac), "--");
    for (HWND hidden : {form_.Label2, form_.NPac, form_.Label3, form_.TPac}) EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_EQ(form_.ProgressBar.Color(), RGB(255, 0, 0));

    // Tab order: the button, then the edit box, then the spin buttons.
    EXPECT_EQ(GetNextDlgTabItem(form_.Handle(), form_.update, FALSE), form_.Port);
    EXPECT_EQ(GetNextDlgTabItem(form_.Handle(), form_.Port, FALSE), form_.UpDown1);

    // The spin buttons: 1 to 35, wrapping both ways, written into the box.
    int low = 0;
    int high = 0;
    SendMessageA(form_.UpDown1, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 35);
    SendMessageA(form_.UpDown1, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(TMainForm::TextOf(form_.Port), "35");
    SendMessageA(form_.UpDown1, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(TMainForm::TextOf(form_.Port), "1");
}

TEST_F(WindowTest, FullUpdateAnsweredYesArrivesByteExact) {
    ASSERT_NE(kYesPort, 0) << "run through run_window_tests.sh";
    bool disabledWhileAsked = false;
    BoxAnswerer boxes(form_.Handle(), [&](const SeenBox& box) {
        if (box.caption != "Continue?") return IDOK;
        disabledWhileAsked = ControlsDisabled();
        return IDYES;
    });
    ASSERT_TRUE(RunUpdate(kYesPort));

    const std::vector<SeenBox> seen = boxes.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Continue?");
    EXPECT_EQ(seen[0].text, "Are you sure you want to update from 1.0.0 to 2.1.0?");
    EXPECT_TRUE(seen[0].yesNo);
    EXPECT_FALSE(seen[0].icon);
    EXPECT_TRUE(disabledWhileAsked);

    EXPECT_EQ(statuses_, (std::vector<std::string>{"", "Contacting instrument.", "Switching to update mode.",
                                                   "Synching baud rates.", "Sending kernel.", "Sending update.",
                                                   "Clearing flash.", "Erasing flash.", "Programming flash.",
                                                   "Starting new code.", "Update successful."}));
    EXPECT_EQ(TMainForm::TextOf(form_.Status), "Update successful.");
    EXPECT_EQ(TMainForm::TextOf(form_.NPac), std::to_string(kImageBytes));
    EXPECT_EQ(TMainForm::TextOf(form_.TPac), std::to_string(kImageBytes));
    EXPECT_EQ(form_.ProgressBar.Progress(), 100);
    EXPECT_TRUE(ControlsEnabled());

    ExpectInstrumentUpdated(kYesPort);  // the instrument's own account
}

TEST_F(WindowTest, PortCheckRefusesTextsOutsideOneTo35) {
    BoxAnswerer boxes(form_.Handle(), [](const SeenBox&) { return IDOK; });
    const std::vector<std::string> refused = {"abc", "", "3x", "0", "36", "-1", " 5 "};
    for (const std::string& text : refused) {
        const std::size_t before = boxes.Count();
        Press(text);
        ASSERT_TRUE(PumpUntil([&] { return boxes.Count() == before + 1; })) << "'" << text << "'";
        EXPECT_FALSE(form_.UpdateRunning()) << text;
    }
    for (const SeenBox& box : boxes.Seen()) {
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.text, "The port must be an integer between 1 and 35.");
        EXPECT_FALSE(box.yesNo);
        EXPECT_FALSE(box.icon);
    }
    EXPECT_TRUE(ControlsEnabled());
    EXPECT_EQ(TMainForm::TextOf(form_.Status), "");  // each press clears the last update's status
}

TEST_F(WindowTest, LinkThatCannotBeOpenedIsReportedAndNothingStarts) {
    BoxAnswerer boxes(form_.Handle(), [](const SeenBox&) { return IDOK; });
    for (int attempt = 1; attempt <= 2; ++attempt) {  // each press tries again
        Press(kRefusedPort);
        ASSERT_TRUE(PumpUntil([&] { return boxes.Count() == static_cast<std::size_t>(attempt); }));
    }
    for (const SeenBox& box : boxes.Seen()) {
        EXPECT_EQ(box.caption, "Error");
        // The system's sentence as it stands, the cause on a line of its own.
        const std::string sentence =
            "ERROR: Can not establish communications.  Make sure all connections are made and the instrument "
            "is on.";
        EXPECT_EQ(box.text.substr(0, sentence.size()), sentence);
        EXPECT_TRUE(box.text.size() == sentence.size() || box.text[sentence.size()] == '\n') << box.text;
        EXPECT_FALSE(box.icon);
    }
    EXPECT_FALSE(form_.UpdateRunning());
    EXPECT_TRUE(ControlsEnabled());
    for (const std::string& status : statuses_) EXPECT_EQ(status, "");  // each press clears the display
    EXPECT_EQ(TMainForm::TextOf(form_.NPac), "--");
}

TEST_F(WindowTest, AnsweredNoEndsWithAnEmptyStatus) {
    ASSERT_NE(kNoPort, 0) << "run through run_window_tests.sh";
    BoxAnswerer boxes(form_.Handle(), [](const SeenBox& box) { return box.caption == "Continue?" ? IDNO : IDOK; });
    ASSERT_TRUE(RunUpdate(kNoPort));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Seen()[0].caption, "Continue?");
    EXPECT_EQ(statuses_, (std::vector<std::string>{"", "Contacting instrument.", ""}));
    EXPECT_EQ(TMainForm::TextOf(form_.NPac), "0");
    EXPECT_EQ(TMainForm::TextOf(form_.TPac), std::to_string(kImageBytes));
    EXPECT_EQ(form_.ProgressBar.Progress(), 0);
    EXPECT_TRUE(ControlsEnabled());
}

TEST_F(WindowTest, ClosingWhileAskedAnswersNoAndReleasesThePort) {
    ASSERT_NE(kClosePort, 0) << "run through run_window_tests.sh";
    BoxAnswerer boxes(form_.Handle(), [&](const SeenBox& box) {
        if (box.caption != "Continue?") return IDOK;
        PostMessageA(form_.Handle(), WM_CLOSE, 0, 0);
        return 0;  // closing the window closes the box
    });
    Press(kClosePort);
    ASSERT_TRUE(PumpUntil([&] { return boxes.Count() == 1 && !IsWindowVisible(form_.Handle()); }));
    // The worker goes on to its end (answered No) and the window goes with it.
    ASSERT_TRUE(PumpUntil([&] { return form_.Destroyed(); }));
    EXPECT_FALSE(form_.UpdateRunning());
    EXPECT_EQ(std::count(statuses_.begin(), statuses_.end(), "Switching to update mode."), 0);
    form_.FinishWorker();
    Serial serial;
    EXPECT_TRUE(serial.Open(kClosePort - 1));  // the worker closed the port
}

// As the program runs: the window goes, the update goes on to its end and
// the instrument is not left half flashed.
TEST_F(WindowTest, ClosingDuringTheTransferLetsTheUpdateFinish) {
    ASSERT_NE(kTransferPort, 0) << "run through run_window_tests.sh";
    BoxAnswerer boxes(form_.Handle(), [](const SeenBox& box) { return box.caption == "Continue?" ? IDYES : IDOK; });
    form_.SetStatusObserver([this](const std::string& text) {
        statuses_.push_back(text);
        if (text == "Sending kernel.") PostMessageA(form_.Handle(), WM_CLOSE, 0, 0);
    });
    Press(kTransferPort);
    ASSERT_TRUE(PumpUntil([&] { return form_.UpdateRunning() && !IsWindowVisible(form_.Handle()); }));
    ASSERT_TRUE(PumpUntil([&] { return form_.Destroyed(); }));
    EXPECT_FALSE(form_.UpdateRunning());
    EXPECT_EQ(statuses_.back(), "Sending kernel.");  // nothing shown once closed
    form_.FinishWorker();
    ExpectInstrumentUpdated(kTransferPort);
}

}  // namespace
}  // namespace win32_test
