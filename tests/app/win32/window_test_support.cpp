#include "window_test_support.h"

#include <cstdlib>

namespace win32_test {
namespace {

constexpr std::chrono::milliseconds kPollInterval{20};
constexpr int kMessageBoxTextId = 0xFFFF;
// The icon's control in a message box, on Windows and in Wine.
constexpr int kMessageBoxIconIds[] = {0x0014, 0x0440};

std::string TextOf(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

bool IsMessageBox(HWND window) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof(name));
    return std::string(name) == "#32770" && IsWindowVisible(window);
}

SeenBox Describe(HWND box) {
    SeenBox seen;
    seen.box = box;
    seen.caption = TextOf(box);
    seen.text = TextOf(GetDlgItem(box, kMessageBoxTextId));
    seen.yesNo = GetDlgItem(box, IDYES) != nullptr && GetDlgItem(box, IDNO) != nullptr;
    for (int id : kMessageBoxIconIds) {
        const HWND icon = GetDlgItem(box, id);
        if (icon != nullptr && IsWindowVisible(icon) && SendMessageA(icon, STM_GETICON, 0, 0) != 0) seen.icon = true;
    }
    return seen;
}

struct Search {
    HWND owner;
    std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    if (GetWindow(window, GW_OWNER) == search.owner && IsMessageBox(window)) search.boxes.push_back(window);
    return TRUE;
}

}  // namespace

int PortFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? 0 : std::atoi(value);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(kPollInterval.count()), QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return true;
}

BoxAnswerer::BoxAnswerer(HWND owner, Answer answer)
    : owner_(owner), answer_(std::move(answer)), thread_([this] { Watch(); }) {}

BoxAnswerer::~BoxAnswerer() {
    stop_ = true;
    thread_.join();
}

std::vector<SeenBox> BoxAnswerer::Seen() const {
    const std::lock_guard lock(mutex_);
    return seen_;
}

std::size_t BoxAnswerer::Count() const {
    const std::lock_guard lock(mutex_);
    return seen_.size();
}

void BoxAnswerer::Watch() {
    while (!stop_) {
        Search search{owner_, {}};
        EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.boxes) {
            {
                const std::lock_guard lock(mutex_);
                if (!known_.insert(box).second) continue;
            }
            const SeenBox seen = Describe(box);
            {
                const std::lock_guard lock(mutex_);
                seen_.push_back(seen);
            }
            if (const int button = answer_(seen); button != 0) {
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
            }
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace win32_test
