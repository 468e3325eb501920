#pragma once
// The worker-to-window channel's queue: the worker appends one line per text
// it shows, the window takes them out oldest first, each after one
// WM_WORKERTEXT notification. Both threads go through the queue's own lock,
// held for one append or one removal and never together with another lock.

#include <deque>
#include <memory>
#include <queue>
#include <string>

#include "platform/critical_section.h"

// One line for the window: plain 8-bit text, no terminator of its own.
struct DataMessage {
    std::string text;
};

class MessageQueue {
public:
    MessageQueue() = default;
    // Discards every line still waiting.
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // Adds `message` at the back. Takes the lock for the append alone.
    void Append(std::unique_ptr<DataMessage> message);
    // Removes and returns the oldest line, or null when none waits. Takes the
    // lock for the removal alone; the caller releases the line outside it.
    std::unique_ptr<DataMessage> TakeOldest();

private:
    friend class Lock;

    platform::CriticalSection section_;
    std::queue<std::unique_ptr<DataMessage>, std::deque<std::unique_ptr<DataMessage>>> lines_;
};

// Holds a queue's lock from construction to destruction, so that it is
// released on every way out of the guarded block.
class Lock {
public:
    explicit Lock(MessageQueue& queue) : section_(queue.section_) { section_.Enter(); }
    ~Lock() { section_.Leave(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    platform::CriticalSection& section_;
};
