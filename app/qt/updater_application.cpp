#include "app/qt/updater_application.h"

#include <QMessageBox>
#include <QStyleFactory>

#include <exception>

#include "app/qt/window_fonts.h"

UpdaterApplication::UpdaterApplication(int& argc, char** argv) : QApplication(argc, argv) {
    ApplyWindowLook();
}

bool UpdaterApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        ShowFailure(QString::fromLocal8Bit(failure.what()));
    } catch (...) {
        ShowFailure(QString());  // not a failure the program knows: no message
    }
    return false;
}

void UpdaterApplication::ShowFailure(const QString& message) {
    QMessageBox box(QMessageBox::Critical, applicationName(), message, QMessageBox::Ok);
    box.exec();
}

void ApplyWindowLook() {
    InstallFontFallbacks();
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(fusion);  // the application takes ownership
    }
    QApplication::setFont(WindowFont());
}
