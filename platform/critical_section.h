#pragma once
// CriticalSection: mutual exclusion between the worker's and the window's
// threads. Enter blocks until the calling thread holds it; Leave releases it.
// Not recursive: a thread must not enter a section it already holds.

#include <mutex>

namespace platform {

class CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

}  // namespace platform
