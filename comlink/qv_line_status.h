#pragma once
// QvLineStatus: the handshake modes and the line record of a link's port.
// Construction notes the port's handshake modes; destruction sets them again.

#include <cstdint>

#include "comlink/qv_com_link.h"

class QvSerial;

class QvLineStatus {
public:
    // Takes the link's port, reads its line record (Refresh) and notes its
    // handshake modes as the initial ones.
    explicit QvLineStatus(QvSerial& link);
    // Sets the initial handshake modes again.
    ~QvLineStatus();
    QvLineStatus(const QvLineStatus&) = delete;
    QvLineStatus& operator=(const QvLineStatus&) = delete;

    // Reads the port's line record. This also clears the errors the port has
    // gathered, so each refresh reports what happened since the one before.
    void Refresh();
    // Stores the modes (QvHandshake) and sets them on the port; the port's
    // result: 0 or a negative code.
    int SetHandshake(int rxMode, int txMode);

    // The line-error fields of the last refresh: 0 when the condition was not
    // seen, non-zero when it was.
    int ParityError() const { return lines.Field(LINE_PARITY_ERROR); }
    int FramingError() const { return lines.Field(LINE_FRAMING_ERROR); }
    int RxOverflow() const { return lines.Field(LINE_RX_OVERFLOW); }
    int Overrun() const { return lines.Field(LINE_OVERRUN); }
    int BreakDetected() const { return lines.Field(LINE_BREAK_RECEIVED); }

    const QvLineRecord& Lines() const { return lines; }
    int RxMode() const { return rxMode; }
    int TxMode() const { return txMode; }
    int InitialRxMode() const { return initialRxMode; }
    int InitialTxMode() const { return initialTxMode; }

private:
    std::int32_t initialRxMode = HANDSHAKE_NONE;
    std::int32_t initialTxMode = HANDSHAKE_NONE;
    std::int32_t rxMode = HANDSHAKE_NONE;
    std::int32_t txMode = HANDSHAKE_NONE;
    QvLineRecord lines;
    QvComLink* port;  // not owned
};
