#include "engine/update_steps.h"

namespace engine {

static_assert([] {
    for (std::size_t i = 0; i < kUpdateSteps.size(); ++i) {
        if (static_cast<std::size_t>(kUpdateSteps[i].step) != i) return false;
    }
    return true;
}(), "kUpdateSteps lists every step once, in the enum's order");

std::optional<UpdateStep> StepOfText(std::string_view text) {
    for (const StepEntry& entry : kUpdateSteps) {
        if (entry.text != nullptr && text == entry.text) return entry.step;
    }
    return std::nullopt;
}

}  // namespace engine
