// Worker-line parsing: any line as the window reads it. A line is a progress
// line exactly when it starts with "DATA:", an error line when it starts
// with "ERROR:", and sent is total - remaining with 32-bit wrap-around.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/worker_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const app::WorkerLine read = app::ReadWorkerLine(line);
    const bool progress = line.starts_with(app::kProgressPrefix);
    if ((read.kind == app::LineKind::Progress) != progress) std::abort();
    if (!progress && (read.kind == app::LineKind::Error) != line.starts_with(app::kErrorPrefix)) std::abort();
    if (read.kind == app::LineKind::Progress) {
        const auto sent = static_cast<std::int32_t>(static_cast<std::uint32_t>(read.progress.total) -
                                                    static_cast<std::uint32_t>(read.progress.remaining));
        if (read.progress.sent != sent) std::abort();
    }
    return 0;
}
