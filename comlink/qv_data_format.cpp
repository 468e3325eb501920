#include "comlink/qv_data_format.h"

#include "comlink/link_errors.h"
#include "comlink/qv_com_link.h"
#include "comlink/qv_serial.h"

QvDataFormat::QvDataFormat(QvSerial& link) { Attach(link); }

QvDataFormat::~QvDataFormat() {
    if (port == nullptr) return;
    baud = savedBaud;
    parity = savedParity;
    dataBits = savedDataBits;
    stopBits = savedStopBits;
    Apply();
}

void QvDataFormat::Attach(QvSerial& link) {
    if (!link.PortReady()) return;
    port = link.Port();
    ReadBack();
    Apply();
}

int QvDataFormat::Apply() {
    if (port == nullptr) return LINK_ERR_GENERAL;
    return port->SetFormat(baud, parity, dataBits, stopBits) < 0 ? LINK_ERR_GENERAL : LINK_OK;
}

int QvDataFormat::ReadBack() {
    if (port == nullptr) return LINK_ERR_GENERAL;
    int readDataBits = savedDataBits;
    int readStopBits = savedStopBits;
    port->GetFormat(savedBaud, savedParity, readDataBits, readStopBits);
    savedDataBits = readDataBits;
    savedStopBits = readStopBits;
    return LINK_OK;
}

int QvDataFormat::Set(std::int32_t newBaud, char newParity, int newDataBits, int newStopBits) {
    baud = newBaud;
    parity = newParity;
    dataBits = newDataBits;
    stopBits = newStopBits;
    return Apply();
}

int QvDataFormat::SetBaudRate(std::int32_t newBaud) {
    const std::int32_t previous = baud;
    baud = newBaud;
    const int result = Apply();
    if (result < 0) baud = previous;
    return result;
}
