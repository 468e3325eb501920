#include "tools/instrument-sim/model/instrument_config.h"

#include <fstream>
#include <iterator>

namespace instrument_sim {
namespace {

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
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
    if (!config.kernelFile.empty() && !ReadWholeFile(config.kernelFile, config.expectedKernel)) {
        return "cannot read the kernel file " + config.kernelFile;
    }
    if (!config.updateFile.empty() && !ReadWholeFile(config.updateFile, config.expectedUpdate)) {
        return "cannot read the update file " + config.updateFile;
    }
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
