#pragma once
// The port's settings record in and out of the system's device control block
// (DCB). Fields the record does not carry keep what the device reported.
// Only Win32 sources include this header.

#include <windows.h>

#include "comlink/port_settings.h"

void CopyToDcb(const QvPortSettings& settings, DCB& dcb);
QvPortSettings SettingsFromDcb(const DCB& dcb);
