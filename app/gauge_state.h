#pragma once
// The progress gauge's value and range, without any drawing: clamping, the
// whole-number percentage, and whether a change needs a repaint.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace app {

// How the gauge draws its value.
enum TCGaugeKind : int {
    gkText = 0,           // the percentage text alone
    gkHorizontalBar = 1,  // a bar growing to the right
    gkVerticalBar = 2,    // a bar growing upwards
    gkPie = 3,            // a wedge growing clockwise from twelve o'clock
    gkNeedle = 4,         // a half dial with a needle
};

// none leaves the drawing the whole control; single keeps a 1-pixel black frame.
enum class GaugeBorderStyle : int { None = 0, Single = 1 };

// The error of SetMinValue and SetMaxValue; what() is the text shown.
class GaugeRangeError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// Returns "Value must be between <low> and <high>".
std::string RangeErrorText(std::int64_t low, std::int64_t high);

class GaugeState {
public:
    std::int32_t MinValue() const { return minValue_; }
    std::int32_t MaxValue() const { return maxValue_; }
    std::int32_t Progress() const { return progress_; }

    // Returns the whole part of (Progress - MinValue) * 100 / (MaxValue -
    // MinValue), 0 when the range is empty; always 0 to 100.
    int PercentDone() const;

    // Stores `value` clamped to the range. Returns true when the gauge must be
    // repainted: the stored value changed and so did the whole percentage.
    bool SetProgress(std::int32_t value);

    // SetProgress(Progress + amount), the sum held within the 32-bit range.
    // The caller repaints whatever this returns.
    void AddProgress(std::int32_t amount);

    // Store a new end of the range, pulling Progress inside it. Return true
    // when the value changed (the gauge must be repainted), false when it was
    // already set. Throw GaugeRangeError, changing nothing, for a minimum
    // above MaxValue or a maximum below MinValue.
    bool SetMinValue(std::int32_t value);
    bool SetMaxValue(std::int32_t value);

private:
    std::int32_t minValue_ = 0;
    std::int32_t maxValue_ = 100;
    std::int32_t progress_ = 0;
};

}  // namespace app
