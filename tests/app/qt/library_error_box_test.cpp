// The serial library's failure report in the window program: a "Library
// Error" box owned by the focused window, from the window's thread and from
// another, and then the end of the program with status 1.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/qt/library_error_box.h"
#include "comlink/qv_com_link.h"
#include "window_test_support.h"

namespace window_test {
namespace {

// A port type that provides none of the operations.
class PortWithoutOperations : public QvComLink {};

// Shows a window with the focus, answers the box after writing what it saw
// to standard error, and calls a missing operation on `fromWorker`'s choice
// of thread. Never returns: the box ends the program.
[[noreturn]] void ReportWhileAWindowHasTheFocus(bool fromWorker) {
    QWidget window;
    window.show();
    window.activateWindow();
    WaitUntil([&] { return QApplication::activeWindow() == &window; });
    InstallLibraryErrorBox();
    const BoxAnswerer answerer("Library Error", [&](const SeenBox& box) {
        const QWidget* shown = QApplication::activeModalWidget();
        std::fprintf(stderr, "[%s|%s|%s]", box.title.toStdString().c_str(), box.text.toStdString().c_str(),
                     shown != nullptr && shown->parentWidget() == &window ? "owned by the window" : "no owner");
        return QMessageBox::Ok;
    });
    static PortWithoutOperations port;
    if (fromWorker) {
        std::thread([] { port.SetBufferSizes(0, 0, 0); }).detach();
        QApplication::exec();
    } else {
        QTimer::singleShot(0, [] { port.SetBufferSizes(0, 0, 0); });
        QApplication::exec();
    }
    std::fprintf(stderr, "[the program went on]");
    std::exit(0);
}

TEST(LibraryErrorBoxDeathTest, ShowsTheReportOwnedByTheFocusedWindowThenEndsWithStatusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const bool fromWorker : {true, false}) {
        SCOPED_TRACE(fromWorker ? "from a worker thread" : "from the window's thread");
        EXPECT_EXIT(ReportWhileAWindowHasTheFocus(fromWorker), ::testing::ExitedWithCode(1),
                    "\\[Library Error\\|Pure Virtual function called @CPP_ALL.COMLINK,255\n"
                    "Unable to continue execution\\|owned by the window\\]");
    }
}

}  // namespace
}  // namespace window_test
