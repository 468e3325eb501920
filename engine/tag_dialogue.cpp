// The instrument's tag-language dialogue at 9600 baud: the probe that decides
// the update method, and the version query.

#include <cstring>
#include <vector>

#include "comlink/text_terminators.h"
#include "engine/data_exchange.h"
#include "platform/clock.h"

namespace {

constexpr int kLineFeed = 0x0A;

constexpr const char* kProbeBody = "<CFG><OUTRATE>0</OUTRATE></CFG>";
constexpr const char* kEmptyElement = "<>";
constexpr const char* kAcknowledgement = "<ack>false</ack>";
constexpr std::uint32_t kProbeSettleMs = 500;
constexpr unsigned int kProbeReplyLimit = 1000;
constexpr int kProbeReplyTimeoutMs = 100;
constexpr int kProbeReplyAttempts = 5;

constexpr const char* kVersionQueryBody = "?";
constexpr const char* kVersionOpen = "<VER>";
constexpr const char* kVersionClose = "</";
constexpr unsigned int kVersionReplyLimit = 2000;
constexpr int kVersionReplyTimeoutMs = 2000;
constexpr int kVersionReplyAttempts = 5;

// Reads one reply line of at most `limit` bytes; the text ends at the line
// feed (kept), at the limit, or at the first zero byte.
std::string ReadReplyLine(Serial& serial, unsigned int limit, int timeoutMs) {
    std::vector<char> buffer(limit + 1, '\0');
    serial.ReadText(buffer.data(), limit, kLineFeed, timeoutMs);
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

}  // namespace

void DataExchange::WriteTagCommand(const std::string& body) {
    const std::string line = "<" + info->parent_tag + ">" + body + "</" + info->parent_tag + ">";
    serial.WriteText(line.c_str(), kTerminatorLf);
}

std::int32_t DataExchange::DetectUpdateMethod() {
    std::int32_t method = kMethodUnknown;
    WriteTagCommand(kProbeBody);
    platform::SleepMs(kProbeSettleMs);
    serial.FlushInput();
    serial.WriteText(kEmptyElement, kTerminatorLf);
    for (int attempt = 0; attempt < kProbeReplyAttempts; ++attempt) {
        const std::string reply = ReadReplyLine(serial, kProbeReplyLimit, kProbeReplyTimeoutMs);
        if (reply.find(kAcknowledgement) != std::string::npos) {
            method = kMethodTagLanguage;
            break;
        }
        method = kMethodBootOnly;
    }
    return method;
}

bool DataExchange::QueryVersion(std::string& version) {
    serial.FlushInput();
    serial.FlushOutput();
    WriteTagCommand(kVersionQueryBody);
    for (int failure = 0; failure < kVersionReplyAttempts; ++failure) {
        std::string reply = ReadReplyLine(serial, kVersionReplyLimit, kVersionReplyTimeoutMs);
        ToUpperAscii(reply);
        const std::size_t open = reply.find(kVersionOpen);
        if (open == std::string::npos) {
            continue;
        }
        const std::size_t start = open + std::strlen(kVersionOpen);
        const std::size_t close = reply.find(kVersionClose, start);
        version = reply.substr(start, close == std::string::npos ? std::string::npos : close - start);
        return true;
    }
    return false;
}

void DataExchange::ToUpperAscii(std::string& text) {
    constexpr char kCaseDistance = 'a' - 'A';
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - kCaseDistance);
        }
    }
}
