#pragma once
// Helpers of the window's tests: a temporary folder with update.ini and
// images, waiting while Qt handles events, and answering modal boxes from a
// timer the way an operator would.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

// Lets GoogleTest print texts of the window readably.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace window_test {

inline constexpr std::chrono::seconds kPatience{20};

// A folder of its own for each test, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("window-" + std::to_string(::getpid()) + "-" + test->test_suite_name() + "-" + test->name());
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string PathOf(const std::string& name) const { return (path_ / name).string(); }
    // Writes `bytes` to the file `name` and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
        return PathOf(name);
    }

private:
    std::filesystem::path path_;
};

// Handles events until `done` holds or the patience runs out; returns `done()`.
inline bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Lets the events already posted be handled.
inline void Settle() {
    for (int round = 0; round < 5; ++round) QApplication::processEvents();
}

// A modal message box as the operator saw it.
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Watches for modal message boxes titled `title` and answers each with the
// button its handler returns (NoButton leaves the box open). Each box is
// handled once; what was seen is kept in order.
class BoxAnswerer {
public:
    using Handler = std::function<QMessageBox::StandardButton(const SeenBox& box)>;

    BoxAnswerer(QString title, Handler handler) : title_(std::move(title)), handler_(std::move(handler)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
        timer_.start();
    }
    // Answers every box with `button`.
    BoxAnswerer(QString title, QMessageBox::StandardButton button)
        : BoxAnswerer(std::move(title), [button](const SeenBox&) { return button; }) {}

    const std::vector<SeenBox>& Seen() const { return seen_; }

private:
    void Look() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || box == handled_ || box->windowTitle() != title_) return;
        handled_ = box;
        const SeenBox seen{box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        seen_.push_back(seen);
        const QMessageBox::StandardButton answer = handler_(seen);
        if (answer != QMessageBox::NoButton && !handled_.isNull()) box->button(answer)->click();
    }

    QString title_;
    Handler handler_;
    QTimer timer_;
    QPointer<QMessageBox> handled_;
    std::vector<SeenBox> seen_;
};

}  // namespace window_test
