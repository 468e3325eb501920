#pragma once
// The update's steps in the order they run: the text posted as each starts,
// the result text when it fails, and whether the instrument is in its boot
// side (without working software until an update completes) once the step
// is reached. The sequence runs from this table; front ends read it rather
// than keeping step texts of their own.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace engine {

enum class UpdateStep : std::uint8_t {
    kImageCheck,   // both image files exist
    kContact,      // the probe that tells the update method
    kSwitch,       // method 2: the switch to update mode
    kSynchronise,  // the boot side answers at 38400 baud
    kKernel,       // the echoed kernel
    kUpdate,       // command 5 with the streamed update image
    kClear,        // command 1
    kErase,        // command 2
    kProgram,      // command 4
    kStart,        // method 2: command 6
};

struct StepEntry {
    UpdateStep step;
    std::string_view name;  // short and stable, for machine-readable output
    const char* text;       // posted as the step starts; null when none is
    const char* failure;    // the result text when it fails; null when it cannot
    bool bootSide;          // the instrument is in its boot side once this is reached
};

inline constexpr std::array<StepEntry, 10> kUpdateSteps = {{
    {UpdateStep::kImageCheck, "image-check", nullptr, "Missing an update binary.", false},
    {UpdateStep::kContact, "contact", "Contacting instrument.", nullptr, false},
    {UpdateStep::kSwitch, "switch", "Switching to update mode.", nullptr, true},
    {UpdateStep::kSynchronise, "synchronise", "Synching baud rates.", "Could not synch baud rates", true},
    {UpdateStep::kKernel, "kernel", "Sending kernel.", "Could Not Send Kernel.", true},
    {UpdateStep::kUpdate, "update", "Sending update.", "Could not send update.", true},
    {UpdateStep::kClear, "clear", "Clearing flash.", "Could not clear flash.", true},
    {UpdateStep::kErase, "erase", "Erasing flash.", "Could not erase flash.", true},
    {UpdateStep::kProgram, "program", "Programming flash.", "Could not program flash.", true},
    {UpdateStep::kStart, "start", "Starting new code.", "Could not start application.", true},
}};

// The result text of an update whose every step succeeded.
inline constexpr std::string_view kSuccessText = "Update successful.";

constexpr const StepEntry& StepEntryOf(UpdateStep step) { return kUpdateSteps[static_cast<std::size_t>(step)]; }

// The step that posts `text` as it starts; nothing for any other line (a
// progress line, a result text).
std::optional<UpdateStep> StepOfText(std::string_view text);

}  // namespace engine
