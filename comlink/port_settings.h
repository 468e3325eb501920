#pragma once
// The port's settings record, shaped like the system's device control block:
// kept in memory, edited field by field and sent to the device as a whole
// after each change. Both port types keep one, so that they report the same
// values (GetFormat, Dump).

#include <chrono>
#include <cstdint>

#include "comlink/qv_com_link.h"

// Parity codes; kParityLetters[code] (the library's parity table) is the
// letter of each.
inline constexpr std::uint8_t kParityNone = 0;
inline constexpr std::uint8_t kParityOdd = 1;
inline constexpr std::uint8_t kParityEven = 2;
inline constexpr std::uint8_t kParityMark = 3;
inline constexpr std::uint8_t kParitySpace = 4;

// Stop-bit codes.
inline constexpr std::uint8_t kStopBitsOne = 0;
inline constexpr std::uint8_t kStopBitsOneAndHalf = 1;
inline constexpr std::uint8_t kStopBitsTwo = 2;

// DTR and RTS control codes.
inline constexpr std::uint8_t kControlDisable = 0;
inline constexpr std::uint8_t kControlEnable = 1;
inline constexpr std::uint8_t kControlHandshake = 2;

struct QvPortSettings {
    std::uint32_t baudRate = 0;
    std::uint8_t byteSize = 0;   // data bits
    std::uint8_t parity = 0;     // kParity*
    std::uint8_t stopBits = 0;   // kStopBits*
    std::uint8_t fBinary = 0;
    std::uint8_t fParity = 0;        // input parity checking
    std::uint8_t fOutxCtsFlow = 0;   // transmit held by CTS
    std::uint8_t fOutxDsrFlow = 0;   // transmit held by DSR
    std::uint8_t fDtrControl = 0;    // kControl*
    std::uint8_t fRtsControl = 0;    // kControl*
    std::uint8_t fOutX = 0;          // transmit XON/XOFF
    std::uint8_t fInX = 0;           // receive XON/XOFF
    std::uint8_t fNull = 0;
    std::uint8_t fAbortOnError = 0;
    std::uint16_t xonLim = 0;
    std::uint16_t xoffLim = 0;
    char xonChar = 0;
    char xoffChar = 0;
    char eofChar = 0;
    char evtChar = 0;
};

// Line time of one character of `settings`: start bit, data bits, parity
// bit and stop bits at its rate; zero for a rate of 0.
std::chrono::nanoseconds CharacterTime(const QvPortSettings& settings);
