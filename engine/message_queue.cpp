#include "engine/message_queue.h"

#include <utility>

MessageQueue::~MessageQueue() {
    Lock lock(*this);
    while (!lines_.empty()) {
        lines_.pop();
    }
}

void MessageQueue::Append(std::unique_ptr<DataMessage> message) {
    Lock lock(*this);
    lines_.push(std::move(message));
}

std::unique_ptr<DataMessage> MessageQueue::TakeOldest() {
    Lock lock(*this);
    if (lines_.empty()) {
        return nullptr;
    }
    std::unique_ptr<DataMessage> oldest = std::move(lines_.front());
    lines_.pop();
    return oldest;
}
