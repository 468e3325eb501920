#pragma once
// Links: the port type the program's link uses, the system's serial port with
// the library's settings. LinksBase is QvComPosix or QvComWin32, chosen by the
// build through the platform's include folder.

#include "links_base.h"

class Links final : public LinksBase {
public:
    Links(int portIndex, int rxQueueSize, int txQueueSize)
        : LinksBase(portIndex, rxQueueSize, txQueueSize) {}
    ~Links() override = default;
};
