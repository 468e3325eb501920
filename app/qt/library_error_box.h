#pragma once
// The serial library's failure report in the window program: a modal box
// captioned "Library Error" with an OK button, owned by the window that has
// the keyboard focus, shown on the window's thread whichever thread the
// report comes from. Once the box is closed the program ends with status 1
// from the window's thread; a reporting thread other than the window's never
// resumes, so nothing it uses is torn down under it while it runs.

#include <QString>

// Installs the box as the library's failure reporter. Call once the
// application object exists.
void InstallLibraryErrorBox();

// Window's thread: shows the box with `text` and `title` and returns when
// the operator has closed it.
void ShowLibraryErrorBox(const QString& text, const QString& title);
