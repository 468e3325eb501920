#include "app/qt/qt_window_services.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <utility>

QtWindowServices::QtWindowServices(QObject& receiver, QuestionHandler askQuestion, TaskHandler runTask)
    : receiver_(receiver), askQuestion_(std::move(askQuestion)), runTask_(std::move(runTask)) {}

platform::WindowHandle QtWindowServices::Handle() const {
    return reinterpret_cast<platform::WindowHandle>(&receiver_);
}

void QtWindowServices::PostWindowMessage(platform::WindowHandle window, unsigned int message) {
    if (window != Handle()) return;
    // The event queue takes ownership of the event.
    QCoreApplication::postEvent(&receiver_, new QEvent(static_cast<QEvent::Type>(message)));
}

platform::Answer QtWindowServices::AskYesNo(platform::WindowHandle window, const std::string& text,
                                            const std::string& caption) {
    // An unanswered question (refused, or dropped with the receiver) stops the update.
    platform::Answer answer = platform::Answer::No;
    if (window != Handle() || refuseQuestions_.load(std::memory_order_acquire)) return answer;
    if (QThread::currentThread() == receiver_.thread()) {
        return askQuestion_(text, caption);
    }
    QMetaObject::invokeMethod(
        &receiver_, [this, &answer, &text, &caption] { answer = askQuestion_(text, caption); },
        Qt::BlockingQueuedConnection);
    return answer;
}

void QtWindowServices::RunOnWindowThread(std::function<void()> task) {
    QMetaObject::invokeMethod(
        &receiver_, [this, task = std::move(task)]() mutable { runTask_(std::move(task)); },
        Qt::QueuedConnection);
}
