#pragma once
// Reading the instrument's reply lines in the tag dialogue.

#include <optional>
#include <string>

namespace engine {

// True when `reply` holds the tag-language acknowledgement "<ack>false</ack>".
bool IsAcknowledgement(const std::string& reply);

// The version in a reply to the version query: the reply raised to upper
// case (ASCII letters only), then the text after its first "<VER>" up to the
// next "</" (or to the end). Nothing when the reply holds no "<VER>".
std::optional<std::string> VersionInReply(std::string reply);

// Raises the letters a to z to A to Z in place; other bytes stay.
void ToUpperAscii(std::string& text);

}  // namespace engine
