#include "engine/tag_replies.h"

#include <string_view>

namespace engine {
namespace {

constexpr std::string_view kAcknowledgement = "<ack>false</ack>";
constexpr std::string_view kVersionOpen = "<VER>";
constexpr std::string_view kVersionClose = "</";

}  // namespace

bool IsAcknowledgement(const std::string& reply) { return reply.find(kAcknowledgement) != std::string::npos; }

std::optional<std::string> VersionInReply(std::string reply) {
    ToUpperAscii(reply);
    const std::size_t open = reply.find(kVersionOpen);
    if (open == std::string::npos) return std::nullopt;
    const std::size_t start = open + kVersionOpen.size();
    const std::size_t close = reply.find(kVersionClose, start);
    return reply.substr(start, close == std::string::npos ? std::string::npos : close - start);
}

void ToUpperAscii(std::string& text) {
    constexpr char kCaseDistance = 'a' - 'A';
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - kCaseDistance);
    }
}

}  // namespace engine
