#pragma once
// Helpers of the Win32 window's tests under Wine: the COM ports the runner
// mapped to simulated instruments, handling messages while waiting, and
// answering message boxes from a thread of their own, as an operator would
// (never by screen coordinates).

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace win32_test {

inline constexpr std::chrono::seconds kPatience{180};

// The COM port number in the environment variable `name`, or 0.
int PortFromEnvironment(const char* name);

// Handles this thread's messages until `done` holds or `patience` runs out;
// returns `done()`.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds patience = kPatience);

// What a message box showed.
struct SeenBox {
    std::string caption;
    std::string text;
    bool yesNo = false;  // Yes and No buttons (else OK)
    bool icon = false;   // an icon is shown
    HWND box = nullptr;
};

// Watches for message boxes owned by `owner`, records each once and answers
// it with the button `answer` returns (IDYES, IDNO, IDOK; 0 leaves the box open).
class BoxAnswerer {
public:
    using Answer = std::function<int(const SeenBox&)>;
    BoxAnswerer(HWND owner, Answer answer);
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    std::vector<SeenBox> Seen() const;
    std::size_t Count() const;

private:
    void Watch();

    HWND owner_;
    Answer answer_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<SeenBox> seen_;
    std::set<HWND> known_;
    std::thread thread_;
};

}  // namespace win32_test
