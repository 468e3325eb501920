#pragma once
// The message boxes that report failures outside the ordinary flow: the
// serial library's "Library Error" report, and a failure that escapes a
// window handler or the start-up.

#include <string>

namespace win32 {

// Makes the serial library show its failure report in a box titled "Library
// Error" with an OK button, owned by the window that has the keyboard focus
// (of any thread of the program). The library ends the process once the box
// is closed.
void InstallLibraryFailureBox();

// Shows `message` in a box with an error icon, an OK button and
// `applicationTitle` as its caption; returns when it is closed.
void ShowFailureBox(const std::string& applicationTitle, const std::string& message);

}  // namespace win32
