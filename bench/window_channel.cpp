// window-channel: the worker-to-window channel at full speed. A worker
// thread appends progress lines sweeping 0 to 100 % to a MessageQueue and
// posts one notification each through QtWindowServices; the window's thread
// takes one line per notification and hands it to the main window's line
// handler, which moves the gauge and the byte counts (offscreen platform).
// Prints "key=value" lines: lines, seconds, lines_per_s, gauge_repaints.
//
//   window-channel [LINES]     (default 100000)

#include <QApplication>
#include <QEvent>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "app/qt/main_form.h"
#include "app/qt/qt_window_services.h"
#include "engine/message_queue.h"

namespace {

constexpr long kDefaultLines = 100'000;
// The window reads no configuration here: the defaults apply.
constexpr const char* kNoConfiguration = "/nonexistent/update.ini";

// The window's side: one line per notification, taken from the queue and
// shown by the main window's own line handler.
class ChannelReceiver : public QObject {
public:
    ChannelReceiver(MessageQueue& queue, TMainForm& form, long expected)
        : queue_(queue), form_(form), expected_(expected) {}
    long Handled() const { return handled_; }

protected:
    bool event(QEvent* event) override {
        if (event->type() != kWorkerTextEvent) return QObject::event(event);
        if (std::unique_ptr<DataMessage> line = queue_.TakeOldest()) form_.ShowWorkerLine(line->text);
        if (++handled_ == expected_) QCoreApplication::quit();
        return true;
    }

private:
    MessageQueue& queue_;
    TMainForm& form_;
    long expected_;
    long handled_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const long count = argc > 1 ? std::atol(argv[1]) : kDefaultLines;
    if (count <= 0) {
        std::fprintf(stderr, "window-channel: LINES must be a positive number\n");
        return 2;
    }
    QApplication application(argc, argv);
    MessageQueue queue;
    TMainForm form(kNoConfiguration);
    form.show();
    ChannelReceiver receiver(queue, form, count);
    QtWindowServices services(
        receiver, [](const std::string&, const std::string&) { return platform::Answer::No; },
        [](std::function<void()> task) { task(); });
    const int repaintsBefore = form.ProgressBar->RepaintCount();

    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        const std::string total = std::to_string(count);
        for (long left = count - 1; left >= 0; --left) {
            queue.Append(std::make_unique<DataMessage>(DataMessage{"DATA:" + total + ":" + std::to_string(left)}));
            services.PostWindowMessage(services.Handle(), platform::WM_WORKERTEXT);
        }
    });
    QApplication::exec();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    worker.join();

    std::printf("lines=%ld\nseconds=%.6g\nlines_per_s=%.6g\ngauge_repaints=%d\n", receiver.Handled(), seconds,
                static_cast<double>(receiver.Handled()) / seconds,
                form.ProgressBar->RepaintCount() - repaintsBefore);
    return receiver.Handled() == count ? 0 : 1;
}
