// The worker's side and the window's side of the message channel.

#include <memory>
#include <utility>

#include "engine/data_exchange.h"

namespace {

constexpr const char* kProgressPrefix = "DATA:";
constexpr std::int32_t kProgressStep = 100;

}  // namespace

void DataExchange::PostText(const std::string& text) {
    if (TerminateRequested()) {
        return;
    }
    messages.Append(std::make_unique<DataMessage>(DataMessage{text}));
    services.PostWindowMessage(windowHandle, platform::WM_WORKERTEXT);
}

void DataExchange::PostProgress(std::uint32_t total, std::uint32_t left) {
    PostText(kProgressPrefix + std::to_string(total) + ":" + std::to_string(left));
}

std::optional<std::string> DataExchange::TakeText() {
    std::unique_ptr<DataMessage> line = messages.TakeOldest();
    if (!line) {
        return std::nullopt;
    }
    return std::move(line->text);
}

void DataExchange::PostCurrentProgress() {
    PostProgress(static_cast<std::uint32_t>(byteTotal), static_cast<std::uint32_t>(bytesLeft));
}

void DataExchange::CountDownOneByte() {
    bytesLeft = static_cast<std::int32_t>(static_cast<std::uint32_t>(bytesLeft) - 1U);
}

void DataExchange::CountSentByte() {
    CountDownOneByte();
    if (bytesLeft % kProgressStep == 0) {
        PostCurrentProgress();
    }
}
