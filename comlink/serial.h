#pragma once
// Serial: the worker's link to the instrument. Opens a port by index, brings
// it to a known line format, and offers the few synchronous, polled operations
// the update engine needs. While closed, every operation does nothing and
// answers 0, false or null.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "comlink/device_open_failure.h"
#include "comlink/text_terminators.h"

class QvComLink;
class QvDataFormat;
class QvLineStatus;
class SerialImpl;

// Builds the port object for a port index with the given queue sizes. The
// default builds Links (the system's serial port); tests install a factory
// that builds a simulated port. A port whose open failed reports it in
// LastError(), as Links does.
using PortFactory =
    std::function<std::unique_ptr<QvComLink>(int portIndex, int rxQueueSize, int txQueueSize)>;

// Installs `factory` as the process-wide port factory for the lifetime of this
// object and puts the previous one back on destruction. Install it before the
// link is opened, from the thread that opens links.
class ScopedPortFactory {
public:
    explicit ScopedPortFactory(PortFactory factory);
    ~ScopedPortFactory();
    ScopedPortFactory(const ScopedPortFactory&) = delete;
    ScopedPortFactory& operator=(const ScopedPortFactory&) = delete;

private:
    PortFactory previous_;
};

// Builds a port through the current factory.
std::unique_ptr<QvComLink> MakePort(int portIndex, int rxQueueSize, int txQueueSize);

// A copy of the current factory, for a factory that wraps what it builds.
PortFactory InstalledPortFactory();

inline constexpr int kLinkQueueSize = 8192;

class Serial {
public:
    Serial();   // closed, no handshaking
    ~Serial();  // Close()
    Serial(const Serial&) = delete;
    Serial& operator=(const Serial&) = delete;

    // Opens port index `portIndex` (0 is the system's first serial port) and
    // configures it: 1200 baud, 8N1, no handshaking. True when open; false
    // leaves the link closed.
    bool Open(int portIndex);
    // Restores the formats found, releases the device. Closing a closed link
    // does nothing.
    void Close();
    bool IsOpen() const { return impl_ != nullptr; }

    // Accepts only divisors of 115200 (0 refused). False when refused, when
    // the device refused the rate or when a port error was pending.
    bool SetBaudRate(unsigned int rate);

    // Sends the text's bytes, then the terminator: -1 none, -2 LF, -3 CR LF,
    // 0..255 that byte. Returns the bytes accepted, terminator included; 0
    // for a terminator outside -3..255 or a null text.
    int WriteText(const char* text, int terminator);
    // Collects bytes into `buffer` (which holds maxCount + 1 bytes) until the
    // terminator (-1: none) was stored, maxCount bytes were stored, or the
    // deadline passed with nothing waiting. Adds a zero byte and returns the
    // count, or a negative code when the port's Idle stopped the wait.
    int ReadText(char* buffer, unsigned int maxCount, int terminator, int timeoutMs);
    // 0 when the port took the byte, else a negative code (-805 queue full).
    int WriteByte(std::uint8_t byte);
    // The byte 0..255, or LINK_ERR_NO_DATA (-802) when none came in time.
    int ReadByte(int timeoutMs);
    // Empty the receive / transmit queue. 0.
    int FlushInput();
    int FlushOutput();
    // Bytes accepted by the port and not yet sent.
    int TxQueueCount();
    // Returns once at most `level` bytes wait to be sent, or after at most
    // 100 ms, or earlier: a writer keeping the queue full waits here between
    // looks at TxQueueCount instead of polling it.
    void AwaitTxRoom(int level);

    // The link layer's line-status object, or null.
    QvLineStatus* LineStatus();
    // The line-format object of the open link (not the link layer's own).
    QvDataFormat* DataFormat();
    // The port's system handle, non-zero while the device is open.
    std::intptr_t Handle() const;

    // After an Open that failed: why the port could not open its device, as
    // that port kept it; nothing otherwise. Each Open replaces it.
    const std::optional<DeviceOpenFailure>& OpenFailure() const { return openFailure_; }

private:
    std::unique_ptr<SerialImpl> impl_;
    std::optional<DeviceOpenFailure> openFailure_;
    std::int32_t rxHandshake_ = 0;
    std::int32_t txHandshake_ = 0;
};
