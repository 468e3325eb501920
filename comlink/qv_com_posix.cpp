#include "comlink/qv_com_posix.h"
QvComPosix::QvComPosix(int, int, int) {}
