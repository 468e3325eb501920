#include "app/worker_line.h"

#include <cmath>
#include <limits>

namespace app {
namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The truncated percentage, defined for every input: 0 for a total of 0, and
// held within the 32-bit range (a small total can make the quotient huge).
std::int32_t PercentSent(std::int32_t sent, std::int32_t total) {
    if (total == 0) return 0;
    const double percent = std::trunc(static_cast<double>(sent) / total * 100.0);
    constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
    constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
    if (percent <= kLowest) return std::numeric_limits<std::int32_t>::min();
    if (percent >= kHighest) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(percent);
}

}  // namespace

std::int32_t ReadWrappedInt32(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && IsCSpace(field[i])) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;  // unsigned, so that the wrap-around is defined
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(field[i] - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);  // modulo 2^32 since C++20
}

ProgressView ReadProgress(std::string_view fields) {
    std::string_view totalField = fields;
    std::string_view remainingField = fields;
    if (const std::size_t colon = fields.find(':'); colon != std::string_view::npos) {
        totalField = fields.substr(0, colon);
        remainingField = fields.substr(colon + 1);
    }

    ProgressView view;
    view.total = ReadWrappedInt32(totalField);
    view.remaining = ReadWrappedInt32(remainingField);
    view.sent = static_cast<std::int32_t>(static_cast<std::uint32_t>(view.total) -
                                          static_cast<std::uint32_t>(view.remaining));
    view.percent = PercentSent(view.sent, view.total);
    view.sentText = std::to_string(view.sent);
    view.totalText = std::to_string(view.total);
    return view;
}

WorkerLine ReadWorkerLine(std::string_view line) {
    WorkerLine result;
    if (line.starts_with(kProgressPrefix)) {
        result.kind = LineKind::Progress;
        result.progress = ReadProgress(line.substr(kProgressPrefix.size()));
    } else if (line.starts_with(kErrorPrefix)) {
        result.kind = LineKind::Error;
        result.text = std::string(line.substr(kErrorPrefix.size()));
    } else {
        result.kind = LineKind::Status;
        result.text = std::string(line);
    }
    return result;
}

}  // namespace app
