#pragma once
// QvComPosix: the serial port type over a POSIX terminal device (termios).
// Same operations and observable behaviour as the Win32 port type (the
// shared part is QvComPort): the object opens its device in the constructor
// (outcome in LastError()), reads take only what has arrived, writes queue
// only what fits, nothing blocks the caller on the line, and destruction
// restores the settings it found.
//
// The device for a port index comes from PortDevicePath (port_devices.h); the
// system's cause of a failed open is kept in the object (OpenFailure).
// Transmission goes through the port's own queue of the transmit size
// (TransmitQueue), whose private thread runs from OpenDevice to CloseDevice.

#include <cstdint>
#include <memory>
#include <optional>

#include "comlink/posix/terminal_transmit_device.h"
#include "comlink/qv_com_port.h"

class QvComPosix : public QvComPort {
public:
    // Opens the device of `portIndex` with queues of the given sizes (each
    // kept to 16 bits), then raises DTR and RTS. LastError() is 0 when the
    // device is open and set up, else the code of the failure.
    QvComPosix(int portIndex, int rxQueueSize, int txQueueSize);
    // The same, with the transmit side of the device built by
    // `makeTransmitDevice` instead of the terminal itself (device doubles).
    QvComPosix(int portIndex, int rxQueueSize, int txQueueSize, TransmitDeviceMaker makeTransmitDevice);
    // Closes the device (CloseDevice) whenever this object holds it open.
    ~QvComPosix() override;

    // Waits in poll() at most `waitMs` for received data; returns at once
    // when it comes. Data that an earlier wait reported and nobody has read
    // since does not count, so a loop that only waits never spins. Always 0.
    int AwaitInput(int waitMs) override;
    // Gathers line errors and the modem lines. 1 when the modem lines could
    // be read, else 0.
    int PollStatus() override;
    // Opens the device exclusively, saves its settings and starts the
    // transmit queue. 0 or -801.
    int OpenDevice() override;
    // Flushes both queues (the transmit queue's bytes are dropped), stops
    // the transmit queue, drops DTR and RTS, restores the saved settings,
    // releases the device. 0 or -829.
    int CloseDevice() override;
    // Hands one byte to the device at once, ahead of the transmit queue and
    // behind what the device already holds. 0 or -801 (not left in lastError).
    int TransmitImmediate(std::uint8_t byte) override;
    // Takes what has arrived, at most `length` bytes; 0 when nothing has.
    // A failure of the device leaves -801 in lastError and returns 0.
    int Read(void* buffer, int length) override;

    // Device file descriptor + 1 while open, else 0.
    std::intptr_t NativeHandle() const override { return fd_ >= 0 ? fd_ + 1 : 0; }
    // The library code for a system error number: -801.
    static int MapSystemError(int systemError);

protected:
    int SetUpDevice() override;
    // Sends the whole record; a refused one leaves the device with the last
    // it took. The DTR receive handshake, and RTS without CTS, are refused
    // (-801): the terminal cannot carry them. RTS with CTS is the terminal's
    // hardware handshake; CTS alone and DSR hold the transmit queue while
    // the line is off.
    int ApplySettings() override;
    bool SetDeviceBreak(bool on) override;
    void SetDeviceLine(int lineId, bool raise) override;
    std::uint8_t ReadModemLines() override;
    void PurgeDevice(int direction) override;
    // Without kQueueDetailTransmitCount the receive count is read; a
    // terminal does not report XOFF holds.
    void ReadDeviceQueues(int detail, std::int32_t& received, std::uint16_t& holdFlags) override;

private:
    struct DeviceState;           // saved terminal settings, defined in the .cpp
    struct LineErrorCounts {      // the device's error counters last seen
        std::uint32_t overrun = 0;
        std::uint32_t bufferOverrun = 0;
        std::uint32_t parity = 0;
        std::uint32_t frame = 0;
        std::uint32_t breaks = 0;
    };

    // Sets `settings` on the device and checks what it kept. False, with
    // errno set, when it refused.
    bool SendToDevice(const QvPortSettings& wanted);
    // Sets the rate in baud and checks that the device kept it exactly.
    bool ApplyArbitraryRate(std::uint32_t rate);
    void GatherLineErrors();

    std::unique_ptr<DeviceState> device_;
    TransmitDeviceMaker makeTransmitDevice_;
    std::optional<QvPortSettings> applied_;  // the record the device took last
    int fd_ = -1;
    LineErrorCounts errorCounts_;
    bool noLineCounters_ = false;  // the open device answered it keeps no error counters
};
