#pragma once
// QvDataFormat: a wanted line format (baud, parity, data bits, stop bits) and
// the format its port had when it was attached. Attaching saves the port's
// format and applies the wanted one; destruction puts the saved one back.
// Every operation returns 0 on success or LINK_ERR_GENERAL (-801) when the
// object is detached or the port refused the format.

#include <cstdint>

class QvComLink;
class QvSerial;

class QvDataFormat {
public:
    // Detached, wanting and remembering 1200 baud, 'N', 8, 1.
    QvDataFormat() = default;
    // The same, then Attach(link).
    explicit QvDataFormat(QvSerial& link);
    // When attached: applies the saved format again.
    ~QvDataFormat();
    QvDataFormat(const QvDataFormat&) = delete;
    QvDataFormat& operator=(const QvDataFormat&) = delete;

    // Takes the link's port, saves its format (ReadBack) and applies the
    // wanted one (Apply). A link whose port failed at construction is not
    // attached to: the object stays detached and never reaches that port.
    void Attach(QvSerial& link);
    // Sends the wanted format to the port. 0, or -801 (detached or refused).
    int Apply();
    // Saves the port's current format. 0, or -801 when detached.
    int ReadBack();
    // Stores a new wanted format and applies it; Apply's result.
    int Set(std::int32_t baud, char parity, int dataBits, int stopBits);
    // Applies the wanted format with a new rate. On refusal the previous rate
    // stays wanted (the port is not written again). Apply's result.
    int SetBaudRate(std::int32_t baud);

    bool IsAttached() const { return port != nullptr; }
    std::int32_t Baud() const { return baud; }
    char Parity() const { return parity; }
    int DataBits() const { return dataBits; }
    int StopBits() const { return stopBits; }
    std::int32_t SavedBaud() const { return savedBaud; }
    char SavedParity() const { return savedParity; }
    int SavedDataBits() const { return savedDataBits; }
    int SavedStopBits() const { return savedStopBits; }

private:
    static constexpr std::int32_t kDefaultBaud = 1200;
    static constexpr char kDefaultParity = 'N';
    static constexpr int kDefaultDataBits = 8;
    static constexpr int kDefaultStopBits = 1;

    std::int32_t baud = kDefaultBaud;
    char parity = kDefaultParity;
    std::int32_t dataBits = kDefaultDataBits;
    std::int32_t stopBits = kDefaultStopBits;
    std::int32_t savedBaud = kDefaultBaud;
    char savedParity = kDefaultParity;
    std::int32_t savedDataBits = kDefaultDataBits;
    std::int32_t savedStopBits = kDefaultStopBits;
    QvComLink* port = nullptr;  // not owned; null while detached
};
