#include "comlink/qv_com_link.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "comlink/port_devices.h"
#include "platform/clock.h"

namespace {

// Where the failure report names the library's source.
constexpr const char* kLibrarySourcePath = "CPP_ALL\\COMLINK";

// Report line of each slot the base leaves to the port types (slots 1 to 22).
enum ReportLine : int {
    kIdleLine = 241,
    kPollStatusLine = 243,
    kOpenLine = 245,
    kOpenDeviceLine = 247,
    kCloseDeviceLine = 249,
    kQueueStatusLine = 251,
    kSetBufferSizesLine = 255,
    kSetHandshakeLine = 257,
    kGetHandshakeLine = 259,
    kBreakLine = 261,
    kSignalLine = 263,
    kSetFormatLine = 265,
    kGetFormatLine = 267,
    kReadLineStatusLine = 269,
    kWriteByteLine = 271,
    kWriteStringLine = 273,
    kWriteLine = 275,
    kTransmitImmediateLine = 277,
    kReadByteLine = 279,
    kReadLine = 281,
    kFlushLine = 283,
    kDumpLine = 285,
};

void ReportToStandardError(const std::string& text, const std::string& title) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
}

// Several workers open and close their ports at once: the use-count table's
// check, count and give-back each hold its lock.
struct UseCountTable {
    std::mutex mutex;
    std::map<std::string, int> counts;  // devices held; none at 0
};

UseCountTable& UseCounts() {
    static UseCountTable table;
    return table;
}

QvFailureReporter& Reporter() {
    static QvFailureReporter reporter = ReportToStandardError;
    return reporter;
}

// Index of the line record's field for `lineId`, or -1.
int FieldIndex(int lineId) {
    for (std::size_t k = 0; k < kLineRecordOrder.size(); ++k) {
        if (kLineRecordOrder[k] == lineId) return static_cast<int>(k);
    }
    return -1;
}

}  // namespace

int QvLineRecord::Field(int lineId) const {
    const int k = FieldIndex(lineId);
    if (k < 0) return 0;
    return (bytes[static_cast<std::size_t>(k / 4)] >> (2 * (k % 4))) & 0x3;
}

void QvLineRecord::SetField(int lineId, int value) {
    const int k = FieldIndex(lineId);
    if (k < 0) return;
    const int shift = 2 * (k % 4);
    auto& byte = bytes[static_cast<std::size_t>(k / 4)];
    byte = static_cast<std::uint8_t>((byte & ~(0x3 << shift)) | ((value & 0x3) << shift));
}

std::string QvFailureReportText(int reportLine) {
    const char* format = "Pure Virtual function called @%s,%d\nUnable to continue execution";
    const int length = std::snprintf(nullptr, 0, format, kLibrarySourcePath, reportLine);
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, format, kLibrarySourcePath, reportLine);
    return text;
}

void SetFailureReporter(QvFailureReporter reporter) {
    Reporter() = reporter ? std::move(reporter) : QvFailureReporter(ReportToStandardError);
}

void QvReportMissingOperation(int reportLine) {
    Reporter()(QvFailureReportText(reportLine), kLibraryErrorTitle);
    std::exit(1);
}

int PortUseCount(const std::string& device) {
    UseCountTable& table = UseCounts();
    std::lock_guard lock(table.mutex);
    const auto found = table.counts.find(device);
    return found == table.counts.end() ? 0 : found->second;
}

int PortUseCount(int portIndex) { return PortUseCount(PortDevicePath(portIndex)); }

QvComLink::~QvComLink() {
    if (!holdsPortIndex_) return;
    UseCountTable& table = UseCounts();
    std::lock_guard lock(table.mutex);
    if (--table.counts[heldDevice_] <= 0) table.counts.erase(heldDevice_);
}

int QvComLink::CheckPortIndex() const {
    if (portIndex < 0) return LINK_ERR_PORT;
    return PortUseCount(PortDevicePath(portIndex)) != 0 ? LINK_ERR_IN_USE : LINK_OK;
}

void QvComLink::TakePortIndex() {
    heldDevice_ = PortDevicePath(portIndex);
    UseCountTable& table = UseCounts();
    std::lock_guard lock(table.mutex);
    ++table.counts[heldDevice_];
    holdsPortIndex_ = true;
}

int QvComLink::Idle() { QvReportMissingOperation(kIdleLine); }
int QvComLink::PollStatus() { QvReportMissingOperation(kPollStatusLine); }
int QvComLink::Open(int) { QvReportMissingOperation(kOpenLine); }
int QvComLink::OpenDevice() { QvReportMissingOperation(kOpenDeviceLine); }
int QvComLink::CloseDevice() { QvReportMissingOperation(kCloseDeviceLine); }
int QvComLink::QueueStatus(QvQueueStatus&, int) { QvReportMissingOperation(kQueueStatusLine); }
int QvComLink::SetBufferSizes(int, int, int) { QvReportMissingOperation(kSetBufferSizesLine); }
int QvComLink::SetHandshake(int, int) { QvReportMissingOperation(kSetHandshakeLine); }
int QvComLink::GetHandshake(int&, int&) { QvReportMissingOperation(kGetHandshakeLine); }
int QvComLink::Break(int) { QvReportMissingOperation(kBreakLine); }
int QvComLink::Signal(int, int) { QvReportMissingOperation(kSignalLine); }
int QvComLink::SetFormat(std::int32_t, char, int, int) { QvReportMissingOperation(kSetFormatLine); }
void QvComLink::GetFormat(std::int32_t&, char&, int&, int&) { QvReportMissingOperation(kGetFormatLine); }
void QvComLink::ReadLineStatus(QvLineRecord&) { QvReportMissingOperation(kReadLineStatusLine); }
int QvComLink::WriteByte(std::uint8_t) { QvReportMissingOperation(kWriteByteLine); }
int QvComLink::WriteString(const char*) { QvReportMissingOperation(kWriteStringLine); }
int QvComLink::Write(const void*, int) { QvReportMissingOperation(kWriteLine); }
int QvComLink::TransmitImmediate(std::uint8_t) { QvReportMissingOperation(kTransmitImmediateLine); }
int QvComLink::ReadByte() { QvReportMissingOperation(kReadByteLine); }
int QvComLink::Read(void*, int) { QvReportMissingOperation(kReadLine); }
int QvComLink::Flush(int, int) { QvReportMissingOperation(kFlushLine); }
void QvComLink::Dump(const QvDumpSink&) { QvReportMissingOperation(kDumpLine); }
int QvComLink::AwaitInput(int) { return Idle(); }
void QvComLink::AwaitTransmitRoom(int, int) { platform::SleepMs(0); }
int QvComLink::Reserved1() { return LINK_ERR_NOT_SUPPORTED; }
int QvComLink::Reserved2() { return LINK_ERR_NOT_SUPPORTED; }
