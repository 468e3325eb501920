#pragma once
// WindowServices: the few things the update worker needs from a window, kept
// free of any GUI toolkit. A front end (a Qt window, a Win32 window, the
// command line, a test) implements it and hands it to the worker.
//
// Threads: PostWindowMessage may be called from any thread. AskYesNo is called
// from the worker's thread and blocks it. RunOnWindowThread is called from the
// worker's thread once, when its body has returned.

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Identifies the window that receives a worker's notifications. Its meaning
// belongs to the WindowServices implementation that hands it out (a native
// handle, an object address, an index); the worker only passes it back.
using WindowHandle = std::uintptr_t;

// The private window message that tells the window one more line waits in the
// worker's queue. Both message parameters are 0.
inline constexpr unsigned int WM_WORKERTEXT = 33178;  // 0x819A, WM_APP + 410

enum class Answer { Yes, No };

class WindowServices {
public:
    virtual ~WindowServices() = default;

    // Posts `message` with both parameters 0 to `window` and returns at once,
    // from any thread. The window's thread later handles each posted message
    // once, in posting order. A failed post is not reported.
    virtual void PostWindowMessage(WindowHandle window, unsigned int message) = 0;

    // Shows a modal question owned by `window` with the buttons Yes and No
    // and no icon, and blocks the calling thread until the operator answers.
    // Returns the button pressed.
    virtual Answer AskYesNo(WindowHandle window, const std::string& text,
                            const std::string& caption) = 0;

    // Runs `task` once on the window's thread, later, and returns at once.
    // If the window can no longer run it (it is gone), the implementation
    // destroys `task` without running it; it must not block forever.
    virtual void RunOnWindowThread(std::function<void()> task) = 0;
};

}  // namespace platform
