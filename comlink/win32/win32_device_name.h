#pragma once
// The name the Win32 port hands to CreateFileA for a device path.

#include <string>

// "COM<n>" in any letter case (as a person or update.ini writes it) becomes
// "\\.\COM<n>", the form that also reaches COM10 and above; any other path,
// "\\.\COM12" among them, is used as given.
std::string Win32DeviceName(const std::string& path);
