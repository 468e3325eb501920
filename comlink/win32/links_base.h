#pragma once
#include "comlink/qv_com_win32.h"
using LinksBase = QvComWin32;
