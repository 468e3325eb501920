#pragma once
// UpdaterApplication: the program's application object. Sets the look that
// keeps the window the same on every desktop (Fusion style, the window's
// fonts), and reports any failure that escapes an event handler in a box
// captioned with the application title, after which the program carries on.

#include <QApplication>
#include <QString>

class UpdaterApplication : public QApplication {
    Q_OBJECT

public:
    UpdaterApplication(int& argc, char** argv);

    // Delivers `event`; a failure escaping its handler is shown and the
    // event counts as not handled (false).
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows `message` in a box with an error icon, an OK button and the
    // application title as its caption; returns when it is closed.
    static void ShowFailure(const QString& message);
};

// The Fusion style and the window's fonts, for this program and its tests.
void ApplyWindowLook();
