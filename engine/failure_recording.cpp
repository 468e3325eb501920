// How the protocol operations keep the cause of a failure for the sequence's
// failure detail. None of them changes what is sent or when.

#include "engine/data_exchange.h"

bool DataExchange::FailWith(engine::FailureReason reason) {
    failure.reason = reason;
    return false;
}

bool DataExchange::FailOnWrite(int linkCode) {
    failure.linkCode = linkCode;
    return FailWith(engine::FailureReason::kWriteError);
}

bool DataExchange::FailOnReply(int expected, int received, int timeoutMs, engine::FailureReason mismatch) {
    failure.expected = expected;
    failure.timeoutMs = timeoutMs;
    if (received < 0) return FailWith(engine::FailureReason::kNoAnswer);
    failure.received = received;
    return FailWith(mismatch);
}
