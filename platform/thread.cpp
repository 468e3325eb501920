#include "platform/thread.h"

#include <system_error>
#include <thread>
#include <utility>

namespace platform {

Thread::Thread(Dispatcher dispatcher) : dispatcher_(std::move(dispatcher)) {}

void Thread::SetEndNotification(std::function<void()> notification) {
    endNotification_ = std::move(notification);
}

std::shared_future<void> Thread::Start(std::unique_ptr<Thread> thread) {
    auto ended = std::make_shared<std::promise<void>>();
    std::shared_future<void> endedFuture = ended->get_future().share();
    Thread* raw = thread.get();
    try {
        std::thread worker([raw, ended]() {
            Run(std::unique_ptr<Thread>(raw));
            // The object is destroyed by now; nothing of it runs any more.
            ended->set_value();
        });
        // The new thread owns the object from here on.
        static_cast<void>(thread.release());
        worker.detach();
    } catch (const std::system_error&) {
        // No thread could be created: `thread` still owns the object. Keep
        // the order of the end without a body: notification on the window's
        // thread, then destruction (there, as no worker thread exists).
        if (thread->endNotification_ && thread->dispatcher_) {
            std::shared_ptr<Thread> shared(std::move(thread));
            Dispatcher dispatcher = shared->dispatcher_;
            dispatcher([shared, ended]() mutable {
                shared->endNotification_();
                shared.reset();
                ended->set_value();
            });
        } else {
            thread.reset();
            ended->set_value();
        }
    }
    return endedFuture;
}

void Thread::Run(std::unique_ptr<Thread> self) {
    try {
        self->Execute();
    } catch (...) {
        // An escaping exception ends the body; the end runs as after a return.
    }
    self->NotifyEnd();
    self.reset();
}

void Thread::NotifyEnd() {
    if (!endNotification_ || !dispatcher_) {
        return;
    }
    // The promise lives in the dispatched task: running the task sets it,
    // destroying the task unrun breaks it. Either way the wait returns.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> doneFuture = done->get_future();
    dispatcher_([this, done = std::move(done)]() {
        endNotification_();
        done->set_value();
    });
    doneFuture.wait();
}

}  // namespace platform
