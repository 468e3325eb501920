#include "app/qt/library_error_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <QWidget>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "comlink/qv_com_link.h"

namespace {

constexpr int kFailureExitStatus = 1;

QWidget* FocusedWindow() {
    if (QWidget* active = QApplication::activeWindow()) return active;
    QWidget* focused = QApplication::focusWidget();
    return focused != nullptr ? focused->window() : nullptr;
}

[[noreturn]] void ShowAndExit(const QString& text, const QString& title) {
    ShowLibraryErrorBox(text, title);
    std::exit(kFailureExitStatus);
}

// A thread that reported waits here for the window's thread to end the
// program, so that it never runs on while that happens.
[[noreturn]] void WaitForTheEnd() {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

void ReportInBox(const std::string& text, const std::string& title) {
    const QString boxText = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    const QString boxTitle = QString::fromLocal8Bit(title.data(), static_cast<qsizetype>(title.size()));
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || QThread::currentThread() == application->thread()) {
        ShowAndExit(boxText, boxTitle);
    }
    QMetaObject::invokeMethod(application, [boxText, boxTitle] { ShowAndExit(boxText, boxTitle); },
                              Qt::QueuedConnection);
    WaitForTheEnd();
}

}  // namespace

void ShowLibraryErrorBox(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, FocusedWindow());
    for (QAbstractButton* button : box.buttons()) button->setIcon(QIcon());  // plain buttons, as everywhere
    box.exec();
}

void InstallLibraryErrorBox() { SetFailureReporter(ReportInBox); }
