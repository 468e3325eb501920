#pragma once
// Thread: a thread object created suspended, started once, and freeing itself
// when its body has returned. The end of every started thread runs in this
// order:
//   1. the body (Execute) returns, or an exception escapes it;
//   2. the end notification runs on the window's thread, through the
//      dispatcher given at construction, and the worker waits for it;
//   3. the object is destroyed on its own (worker) thread.
//
// Ownership: whoever creates a Thread holds it in a std::unique_ptr until it
// calls Start, which takes the ownership; a Thread never started is simply
// released by its unique_ptr. After Start the creator may keep a plain
// pointer to the object on the window's thread: it stays valid until the end
// notification has returned, and must not be used afterwards.

#include <atomic>
#include <functional>
#include <future>
#include <memory>

namespace platform {

// Runs a task once on the window's thread, later; returns at once. A
// dispatcher that cannot run the task must destroy it: the worker then goes
// on to its destruction without the notification.
using Dispatcher = std::function<void(std::function<void()> task)>;

class Thread {
public:
    virtual ~Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Sets the function run on the window's thread after the body returned.
    // Call before Start. Without one, the object is destroyed right after its
    // body returned.
    void SetEndNotification(std::function<void()> notification);

    // Starts the body of `thread` on a new thread and takes ownership of it.
    // Returns a future that becomes ready once the object has been destroyed
    // on that thread (front ends that end the process wait on it so that the
    // worker's resources, the port above all, are released first). If no thread can be
    // created, the end notification is dispatched and the object destroyed
    // on the window's thread after it; the body never runs.
    static std::shared_future<void> Start(std::unique_ptr<Thread> thread);

    // Asks the body to end. The body decides whether and where to look.
    void RequestTerminate() { terminateRequested_.store(true, std::memory_order_release); }
    // True once RequestTerminate was called; readable from any thread.
    bool TerminateRequested() const { return terminateRequested_.load(std::memory_order_acquire); }

protected:
    // `dispatcher` runs the end notification on the window's thread.
    explicit Thread(Dispatcher dispatcher);

    // The thread body.
    virtual void Execute() = 0;

private:
    static void Run(std::unique_ptr<Thread> self);
    // Runs the end notification through the dispatcher and waits until it has
    // run or the dispatcher has dropped it.
    void NotifyEnd();

    Dispatcher dispatcher_;
    std::function<void()> endNotification_;
    std::atomic<bool> terminateRequested_{false};
};

}  // namespace platform
