#pragma once
// The serial library's error codes. Every operation that can fail returns one
// of these as a negative int; 0 is success. Codes marked "legacy" arise only
// from mapping a system error.

inline constexpr int LINK_OK = 0;
inline constexpr int LINK_ERR_GENERAL = -801;        // a system call failed, format refused, drain limit reached
inline constexpr int LINK_ERR_NO_DATA = -802;        // nothing received (in time)
inline constexpr int LINK_ERR_NOT_SUPPORTED = -803;  // operation or mode not available on this port type
inline constexpr int LINK_ERR_WRITE_SHORT = -805;    // the transmit queue took fewer bytes than asked
inline constexpr int LINK_ERR_BREAK = -827;          // starting or ending a break failed
inline constexpr int LINK_ERR_PORT = -828;           // legacy: bad port id, port not open, hardware error
inline constexpr int LINK_ERR_CLOSE = -829;          // releasing the device failed
inline constexpr int LINK_ERR_RX_HANDSHAKE = -830;   // invalid receive handshake mode
inline constexpr int LINK_ERR_TX_HANDSHAKE = -832;   // invalid transmit handshake mode; legacy: bad defaults
inline constexpr int LINK_ERR_NO_MEMORY = -836;      // memory for the port's records ran out
inline constexpr int LINK_ERR_IN_USE = -838;         // port index already held open in this process
inline constexpr int LINK_ERR_BAUD = -839;           // legacy: invalid baud rate
inline constexpr int LINK_ERR_PARITY = -840;         // parity letter not in the parity table
inline constexpr int LINK_ERR_STOP_BITS = -841;      // stop bits other than 1 or 2
inline constexpr int LINK_ERR_DATA_BITS = -842;      // data bits below 4 or above 8
