#include "comlink/qv_line_status.h"

#include "comlink/qv_serial.h"

QvLineStatus::QvLineStatus(QvSerial& link) : port(link.Port()) {
    Refresh();
    int foundRx = HANDSHAKE_NONE;
    int foundTx = HANDSHAKE_NONE;
    port->GetHandshake(foundRx, foundTx);
    initialRxMode = rxMode = foundRx;
    initialTxMode = txMode = foundTx;
}

QvLineStatus::~QvLineStatus() { SetHandshake(initialRxMode, initialTxMode); }

void QvLineStatus::Refresh() { port->ReadLineStatus(lines); }

int QvLineStatus::SetHandshake(int newRxMode, int newTxMode) {
    rxMode = newRxMode;
    txMode = newTxMode;
    return port->SetHandshake(newRxMode, newTxMode);
}
