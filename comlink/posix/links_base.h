#pragma once
#include "comlink/qv_com_posix.h"
using LinksBase = QvComPosix;
