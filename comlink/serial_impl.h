#pragma once
// SerialImpl: the three parts of one open link, built in this order and
// destroyed in the reverse one: the port, the link layer over it, and a
// line-format object attached to the link.

#include <memory>

#include "comlink/qv_com_link.h"
#include "comlink/qv_data_format.h"
#include "comlink/qv_serial.h"

class SerialImpl {
public:
    // Takes ownership of `openedPort`, which must not be null. Whether the
    // port opened is read from its LastError() afterwards.
    explicit SerialImpl(std::unique_ptr<QvComLink> openedPort)
        : port(std::move(openedPort)), link(*port), format(link) {}
    SerialImpl(const SerialImpl&) = delete;
    SerialImpl& operator=(const SerialImpl&) = delete;

    std::unique_ptr<QvComLink> port;
    QvSerial link;
    QvDataFormat format;
};
