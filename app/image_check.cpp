#include "app/image_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace app {
namespace {

namespace fs = std::filesystem;

struct Image {
    const char* key;
    const std::string& path;
};

std::string Named(const Image& image) { return std::string(image.key) + " " + image.path + ": "; }

// Why the worker will take `image` as missing, or nothing when it exists.
std::optional<std::string> MissingCause(const Image& image) {
    if (image.path.empty()) return std::string(image.key) + ": not set in section [UPDATE]";
    std::error_code error;
    const fs::file_status status = fs::status(image.path, error);
    if (!fs::exists(status)) {
        // A relative path is looked for from the current folder: say where that was.
        const fs::path absolute = fs::absolute(image.path, error);
        const bool relative = fs::path(image.path).is_relative() && !error;
        return Named(image) + "no such file" + (relative ? " (looked for " + absolute.string() + ")" : "");
    }
    return std::nullopt;
}

// Why an existing `image` cannot be sent, or nothing; `size` gets its size.
std::optional<std::string> UnusableCause(const Image& image, long long& size) {
    std::error_code error;
    if (fs::is_directory(image.path, error)) return Named(image) + "a folder, not a file";
    if (!fs::is_regular_file(image.path, error)) {
        // A pipe or a device has no size to announce and may never end.
        return Named(image) + "not a regular file";
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(image.path.c_str(), "rb"), std::fclose);
    if (!file) return Named(image) + "cannot be read (" + std::strerror(errno) + ")";
    const std::uintmax_t bytes = fs::file_size(image.path, error);
    if (error) return Named(image) + "its size cannot be read (" + error.message() + ")";
    size = bytes > static_cast<std::uintmax_t>(kLargestImageTotal) ? kLargestImageTotal + 1
                                                                     : static_cast<long long>(bytes);
    return std::nullopt;
}

}  // namespace

ImageCheck CheckImages(const update_info& info) {
    const Image kernel{"kernel_file", info.kernel_file};
    const Image update{"update_file", info.update_file};
    ImageCheck check;
    for (const Image& image : {kernel, update}) {
        if (std::optional<std::string> cause = MissingCause(image)) check.missing.push_back(*cause);
    }
    if (!check.missing.empty()) return check;

    long long kernelSize = 0;
    long long updateSize = 0;
    if (std::optional<std::string> cause = UnusableCause(kernel, kernelSize)) {
        check.refusal = *cause;
    } else if (std::optional<std::string> cause = UnusableCause(update, updateSize)) {
        check.refusal = *cause;
    } else if (updateSize < kSmallestUpdateImage) {
        check.refusal = Named(update) + "holds " + std::to_string(updateSize) +
                        (updateSize == 1 ? " byte" : " bytes") + "; an update image needs at least 2";
    } else if (kernelSize + updateSize > kLargestImageTotal) {
        check.refusal = "the images hold more than " + std::to_string(kLargestImageTotal) +
                        " bytes together, more than the update's byte counters carry";
    }
    return check;
}

}  // namespace app
