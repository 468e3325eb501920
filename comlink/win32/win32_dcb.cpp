#include "comlink/win32/win32_dcb.h"

void CopyToDcb(const QvPortSettings& s, DCB& d) {
    d.BaudRate = s.baudRate;
    d.ByteSize = s.byteSize;
    d.Parity = s.parity;
    d.StopBits = s.stopBits;
    d.fBinary = s.fBinary;
    d.fParity = s.fParity;
    d.fOutxCtsFlow = s.fOutxCtsFlow;
    d.fOutxDsrFlow = s.fOutxDsrFlow;
    d.fDtrControl = s.fDtrControl;
    d.fRtsControl = s.fRtsControl;
    d.fOutX = s.fOutX;
    d.fInX = s.fInX;
    d.fNull = s.fNull;
    d.fAbortOnError = s.fAbortOnError;
    d.XonLim = s.xonLim;
    d.XoffLim = s.xoffLim;
    d.XonChar = s.xonChar;
    d.XoffChar = s.xoffChar;
    d.EofChar = s.eofChar;
    d.EvtChar = s.evtChar;
}

QvPortSettings SettingsFromDcb(const DCB& d) {
    QvPortSettings s;
    s.baudRate = d.BaudRate;
    s.byteSize = d.ByteSize;
    s.parity = d.Parity;
    s.stopBits = d.StopBits;
    s.fBinary = static_cast<std::uint8_t>(d.fBinary);
    s.fParity = static_cast<std::uint8_t>(d.fParity);
    s.fOutxCtsFlow = static_cast<std::uint8_t>(d.fOutxCtsFlow);
    s.fOutxDsrFlow = static_cast<std::uint8_t>(d.fOutxDsrFlow);
    s.fDtrControl = static_cast<std::uint8_t>(d.fDtrControl);
    s.fRtsControl = static_cast<std::uint8_t>(d.fRtsControl);
    s.fOutX = static_cast<std::uint8_t>(d.fOutX);
    s.fInX = static_cast<std::uint8_t>(d.fInX);
    s.fNull = static_cast<std::uint8_t>(d.fNull);
    s.fAbortOnError = static_cast<std::uint8_t>(d.fAbortOnError);
    s.xonLim = d.XonLim;
    s.xoffLim = d.XoffLim;
    s.xonChar = d.XonChar;
    s.xoffChar = d.XoffChar;
    s.eofChar = d.EofChar;
    s.evtChar = d.EvtChar;
    return s;
}
