#pragma once
// Placeholder until the POSIX port type lands.
#include "comlink/qv_com_link.h"
class QvComPosix : public QvComLink {
public:
    QvComPosix(int portIndex, int rxQueueSize, int txQueueSize);
};
