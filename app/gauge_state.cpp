#include "app/gauge_state.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace app {
namespace {

constexpr std::int64_t kInt32Lowest = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Highest = std::numeric_limits<std::int32_t>::max();

}  // namespace

std::string RangeErrorText(std::int64_t low, std::int64_t high) {
    return "Value must be between " + std::to_string(low) + " and " + std::to_string(high);
}

int GaugeState::PercentDone() const {
    const std::int64_t span = std::int64_t{maxValue_} - minValue_;
    if (span == 0) return 0;
    const double done = static_cast<double>(std::int64_t{progress_} - minValue_) * 100.0;
    return static_cast<int>(std::trunc(done / static_cast<double>(span)));
}

bool GaugeState::SetProgress(std::int32_t value) {
    const int before = PercentDone();
    const std::int32_t clamped = std::clamp(value, minValue_, maxValue_);
    if (clamped == progress_) return false;
    progress_ = clamped;
    return PercentDone() != before;
}

void GaugeState::AddProgress(std::int32_t amount) {
    const std::int64_t sum = std::clamp(std::int64_t{progress_} + amount, kInt32Lowest, kInt32Highest);
    SetProgress(static_cast<std::int32_t>(sum));
}

bool GaugeState::SetMinValue(std::int32_t value) {
    if (value == minValue_) return false;
    if (value > maxValue_) throw GaugeRangeError(RangeErrorText(kInt32Lowest + 1, std::int64_t{maxValue_} - 1));
    minValue_ = value;
    progress_ = std::max(progress_, minValue_);
    return true;
}

bool GaugeState::SetMaxValue(std::int32_t value) {
    if (value == maxValue_) return false;
    if (value < minValue_) throw GaugeRangeError(RangeErrorText(std::int64_t{minValue_} + 1, kInt32Highest));
    maxValue_ = value;
    progress_ = std::min(progress_, maxValue_);
    return true;
}

}  // namespace app
