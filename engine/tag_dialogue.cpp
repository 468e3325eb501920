// The instrument's tag-language dialogue at 9600 baud: the probe that decides
// the update method, and the version query.

#include <cstring>
#include <utility>
#include <vector>

#include "comlink/text_terminators.h"
#include "engine/data_exchange.h"
#include "engine/tag_replies.h"
#include "platform/clock.h"

namespace {

constexpr int kLineFeed = 0x0A;

constexpr const char* kProbeBody = "<CFG><OUTRATE>0</OUTRATE></CFG>";
constexpr const char* kEmptyElement = "<>";
constexpr std::uint32_t kProbeSettleMs = 500;
constexpr unsigned int kProbeReplyLimit = 1000;
constexpr int kProbeReplyTimeoutMs = 100;
constexpr int kProbeReplyAttempts = 5;

constexpr const char* kVersionQueryBody = "?";
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
        if (engine::IsAcknowledgement(reply)) {
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
        if (std::optional<std::string> found =
                engine::VersionInReply(ReadReplyLine(serial, kVersionReplyLimit, kVersionReplyTimeoutMs))) {
            version = std::move(*found);
            return true;
        }
    }
    return false;
}

void DataExchange::ToUpperAscii(std::string& text) { engine::ToUpperAscii(text); }
