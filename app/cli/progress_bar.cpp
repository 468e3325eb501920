#include "app/cli/progress_bar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cli {
namespace {

constexpr char kFilledCell = '#';
constexpr char kEmptyCell = '.';
constexpr double kKibi = 1024.0;
constexpr std::int64_t kMsPerSecond = 1000;
constexpr double kLongestShownSeconds = 99.0 * 3600 + 59 * 60 + 59;

int PercentOf(std::int64_t sent, std::int64_t total) {
    if (total <= 0) return 0;
    const std::int64_t percent = sent * 100 / total;
    return static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100));
}

}  // namespace

std::string FormatRate(double bytesPerSecond) {
    char text[32];
    if (bytesPerSecond < kKibi) {
        std::snprintf(text, sizeof text, "%.0f B/s", bytesPerSecond);
    } else if (bytesPerSecond < kKibi * kKibi) {
        std::snprintf(text, sizeof text, "%.1f KB/s", bytesPerSecond / kKibi);
    } else {
        std::snprintf(text, sizeof text, "%.1f MB/s", bytesPerSecond / (kKibi * kKibi));
    }
    return text;
}

std::string FormatDuration(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    char text[32];
    const long long hours = seconds / 3600;
    const long long minutes = (seconds / 60) % 60;
    const long long rest = seconds % 60;
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, rest);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, rest);
    }
    return text;
}

std::string FormatProgressBar(const ProgressFigures& figures) {
    const int percent = PercentOf(figures.sent, figures.total);
    const int filled = percent * kBarCells / 100;

    std::string line = "[";
    line.append(static_cast<std::size_t>(filled), kFilledCell);
    line.append(static_cast<std::size_t>(kBarCells - filled), kEmptyCell);
    line += "]  " + std::to_string(figures.sent) + "/" + std::to_string(figures.total) + " bytes  ";
    line += std::to_string(percent) + "%  ";

    if (figures.measuredBytes > 0 && figures.measuredMs > 0) {
        const double rate = static_cast<double>(figures.measuredBytes) * kMsPerSecond /
                            static_cast<double>(figures.measuredMs);
        const std::int64_t onLine = figures.sent - std::clamp<std::int64_t>(figures.queued, 0, figures.sent);
        const std::int64_t left = std::max<std::int64_t>(figures.total - onLine, 0);
        // Held below 100 hours so a crawling line cannot overflow the count.
        const double seconds = std::min(std::ceil(static_cast<double>(left) / rate), kLongestShownSeconds);
        const auto secondsLeft = static_cast<std::int64_t>(seconds);
        line += FormatRate(rate) + "  " + FormatDuration(secondsLeft) + " left";
    } else {
        line += "-- B/s  --:-- left";
    }
    return line;
}

}  // namespace cli
