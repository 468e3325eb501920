#pragma once
// QtWindowServices: how the update worker reaches a Qt window. Notifications
// become posted events of type WM_WORKERTEXT for the receiver; the operator's
// question and the end notification run on the receiver's thread, behind the
// events posted before them.
//
// Lifetime: the receiver and the two handlers must outlive every worker that
// was given these services (the window waits for its worker before it goes).

#include <QEvent>
#include <QObject>

#include <atomic>
#include <functional>
#include <string>

#include "platform/window_services.h"

// The event type of the worker's notification.
inline constexpr QEvent::Type kWorkerTextEvent = static_cast<QEvent::Type>(platform::WM_WORKERTEXT);

class QtWindowServices : public platform::WindowServices {
public:
    // Shows the question modally on the window's thread and returns the button pressed.
    using QuestionHandler = std::function<platform::Answer(const std::string& text, const std::string& caption)>;
    // Takes a task to run on the window's thread, in the order of its arrival.
    using TaskHandler = std::function<void(std::function<void()> task)>;

    QtWindowServices(QObject& receiver, QuestionHandler askQuestion, TaskHandler runTask);

    // The handle the worker is given; it names the receiver.
    platform::WindowHandle Handle() const;

    // Any thread: posts an event of type `message` to the receiver. Messages
    // for another window are dropped.
    void PostWindowMessage(platform::WindowHandle window, unsigned int message) override;

    // Worker's thread: runs the question handler on the receiver's thread and
    // blocks until it returns. No, without asking, once questions are refused.
    platform::Answer AskYesNo(platform::WindowHandle window, const std::string& text,
                              const std::string& caption) override;

    // Any thread: queues `task` for the task handler on the receiver's thread,
    // behind the events already posted. If the receiver is destroyed first,
    // the task is destroyed unrun.
    void RunOnWindowThread(std::function<void()> task) override;

    // From now on every question is answered No at once (the window is closing).
    void RefuseQuestions() { refuseQuestions_.store(true, std::memory_order_release); }

private:
    QObject& receiver_;
    QuestionHandler askQuestion_;
    TaskHandler runTask_;
    std::atomic<bool> refuseQuestions_{false};
};
