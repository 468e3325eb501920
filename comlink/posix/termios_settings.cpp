#include "comlink/posix/termios_settings.h"

#include <cerrno>
#include <cstdint>
#include <iterator>

namespace {

constexpr int kSmallestTerminalDataBits = 5;  // the smallest character size a terminal knows

// A rate without a speed code is set in baud when it divides the serial
// port's base rate, as every rate a PC UART generates exactly does.
constexpr std::uint32_t kUartBaseRate = 115200;
// The placeholder code a rate set in baud replaces.
constexpr speed_t kPlaceholderSpeed = B38400;

struct RateEntry {
    std::uint32_t rate;
    speed_t speed;
};

constexpr RateEntry kRates[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},
    {150, B150},     {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},   {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},   {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
};

bool SpeedForRate(std::uint32_t rate, speed_t& speed) {
    for (const RateEntry& entry : kRates) {
        if (entry.rate == rate) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

bool SizeFlagForDataBits(int dataBits, tcflag_t& flag) {
    constexpr tcflag_t kSizeFlags[] = {CS5, CS6, CS7, CS8};
    const int index = dataBits - kSmallestTerminalDataBits;
    if (index < 0 || index >= static_cast<int>(std::size(kSizeFlags))) return false;  // 4 bits: none
    flag = kSizeFlags[index];
    return true;
}

bool ParityFlags(std::uint8_t parity, tcflag_t& flags) {
    switch (parity) {
    case kParityNone: flags = 0; return true;
    case kParityOdd: flags = PARENB | PARODD; return true;
    case kParityEven: flags = PARENB; return true;
#ifdef CMSPAR
    case kParityMark: flags = PARENB | PARODD | CMSPAR; return true;
    case kParitySpace: flags = PARENB | CMSPAR; return true;
#endif
    default: return false;
    }
}

// The line-format bits the device must keep for a setting to count as taken.
#ifdef CMSPAR
constexpr tcflag_t kCheckedControlFlags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
#else
constexpr tcflag_t kCheckedControlFlags = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS;
#endif

}  // namespace

bool RtsCtsHandshake(const QvPortSettings& settings) {
    return settings.fRtsControl == kControlHandshake && settings.fOutxCtsFlow != 0;
}

bool BuildTermios(const QvPortSettings& settings, termios& t, std::uint32_t& arbitraryRate) {
    speed_t speed = 0;
    tcflag_t sizeFlag = 0;
    tcflag_t parityFlags = 0;
    arbitraryRate = 0;
    if (!SpeedForRate(settings.baudRate, speed)) {
        if (settings.baudRate == 0 || kUartBaseRate % settings.baudRate != 0) {
            errno = EINVAL;
            return false;
        }
        speed = kPlaceholderSpeed;
        arbitraryRate = settings.baudRate;
    }
    // A terminal has no DTR handshake, and drives RTS by its input only
    // together with holding its output by CTS (one flag does both).
    const bool unsupportedHandshake = settings.fDtrControl == kControlHandshake ||
                                      (settings.fRtsControl == kControlHandshake && !RtsCtsHandshake(settings));
    if (!SizeFlagForDataBits(settings.byteSize, sizeFlag) || !ParityFlags(settings.parity, parityFlags) ||
        unsupportedHandshake) {
        errno = EINVAL;
        return false;
    }
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK | IGNPAR);
    if (settings.fParity != 0) t.c_iflag |= INPCK;
    if (settings.fOutX != 0) t.c_iflag |= IXON;
    if (settings.fInX != 0) t.c_iflag |= IXOFF;
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~kCheckedControlFlags;
    t.c_cflag |= CLOCAL | CREAD | sizeFlag | parityFlags;
    if (settings.stopBits != kStopBitsOne) t.c_cflag |= CSTOPB;  // one and a half with 5 bits
    if (RtsCtsHandshake(settings)) t.c_cflag |= CRTSCTS;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = static_cast<cc_t>(settings.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(settings.xoffChar);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return true;
}

bool DeviceKeptSettings(const termios& wanted, const termios& taken, bool compareSpeedCodes) {
    const bool speedKept = !compareSpeedCodes || (cfgetospeed(&taken) == cfgetospeed(&wanted) &&
                                                  cfgetispeed(&taken) == cfgetispeed(&wanted));
    return speedKept && (taken.c_cflag & kCheckedControlFlags) == (wanted.c_cflag & kCheckedControlFlags);
}
