#include "tools/instrument-sim/model/instrument_config.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace instrument_sim {
namespace {

// Reads the whole file into `bytes`. Returns an empty text, or why the file
// cannot be read. A folder opens as a stream but fails on its first read
// (the stream library then throws), so it is refused before.
std::string ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return "it is a folder";
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::filesystem::exists(path, error) ? "it cannot be opened" : "no such file";
    try {
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure&) {
        return "a read error";
    }
    return file.bad() ? "a read error" : "";
}

bool IsKnownCommand(int command) {
    return command == kCmdClearFlash || command == kCmdEraseFlash ||
           command == kCmdProgramFlash || command == kCmdSendUpdate ||
           command == kCmdStartNewCode;
}

template <typename Map>
bool AllKnownCommands(const Map& map) {
    for (const auto& entry : map) {
        if (!IsKnownCommand(entry.first)) return false;
    }
    return true;
}

}  // namespace

std::string LoadImageFiles(InstrumentConfig& config) {
    const auto load = [](const char* what, const std::string& path, std::vector<std::uint8_t>& bytes) {
        if (path.empty()) return std::string();
        const std::string why = ReadWholeFile(path, bytes);
        return why.empty() ? why : "cannot read the " + std::string(what) + " file " + path + ": " + why;
    };
    if (std::string error = load("kernel", config.kernelFile, config.expectedKernel); !error.empty()) return error;
    if (std::string error = load("update", config.updateFile, config.expectedUpdate); !error.empty()) return error;
    return {};
}

std::string ValidateConfig(const InstrumentConfig& config) {
    if (config.updateMethod != 1 && config.updateMethod != 2) {
        return "the update method must be 1 or 2";
    }
    if (!AllKnownCommands(config.statusFor) || !AllKnownCommands(config.statusDelayMs) ||
        !AllKnownCommands(config.commandEchoDelayMs)) {
        return "a command number must be one of 1, 2, 4, 5, 6";
    }
    const bool silentCommandNeeded = config.silentFrom == SilentStage::kCommandEcho ||
                                     config.silentFrom == SilentStage::kCommandStatus;
    if (silentCommandNeeded && !IsKnownCommand(config.silentCommand)) {
        return "the silent command must be one of 1, 2, 4, 5, 6";
    }
    if (config.strayBeforeCommandEcho != -1 && !IsKnownCommand(config.strayBeforeCommandEcho)) {
        return "the command with a stray byte must be one of 1, 2, 4, 5, 6";
    }
    const bool updateKnown = !config.updateFile.empty() || !config.expectedUpdate.empty();
    const std::size_t updateSize = updateKnown ? config.expectedUpdate.size() : config.updateSize;
    if ((updateKnown || config.updateSize > 0) && updateSize < 2) {
        return "the update image must hold at least two bytes";
    }
    if (config.versionlessLines < 0) return "the number of version-less lines cannot be negative";
    return {};
}

}  // namespace instrument_sim
