#pragma once
// The window over a simulated instrument: virtual time for the worker, a
// port factory that never reaches a real device, update.ini and images in a
// folder of the test's own.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/qt/main_form.h"
#include "app/qt/updater_application.h"
#include "comlink/serial.h"
#include "platform/clock.h"
#include "tools/instrument-sim/port/simulated_port.h"
#include "window_test_support.h"

namespace window_test {

// Bytes of a recognisable pattern, without 0xAA (the sync answer).
inline std::string PatternImage(std::size_t length, std::uint8_t seed) {
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) {
        auto byte = static_cast<std::uint8_t>(seed + i * 3);
        if (byte == 0xAA) byte = 0xAB;
        bytes.push_back(static_cast<char>(byte));
    }
    return bytes;
}

class WindowTest : public ::testing::Test {
protected:
    static constexpr std::size_t kKernelSize = 300;
    static constexpr std::size_t kUpdateSize = 650;

    WindowTest() : clockScope_(clock_) { ApplyWindowLook(); }

    // Writes both images and update.ini naming them.
    std::string WriteConfiguration(const std::string& version = "2.1.0") {
        kernelPath_ = folder_.Write("kernel.bin", PatternImage(kKernelSize, 1));
        updatePath_ = folder_.Write("update.bin", PatternImage(kUpdateSize, 7));
        return folder_.Write("update.ini", "[UPDATE]\nversion=" + version +
                                               "\ninstrument=Orvane\nparent_tag=<ORV72>\n"
                                               "update_file=" + updatePath_ + "\nkernel_file=" + kernelPath_ + "\n");
    }

    // Builds the instrument behind the ports (every index, or only `onlyIndex`).
    void MakeInstrument(instrument_sim::InstrumentConfig config = {}, std::optional<int> onlyIndex = std::nullopt) {
        config.kernelFile = kernelPath_;
        config.updateFile = updatePath_;
        if (!kernelPath_.empty()) {
            EXPECT_EQ(instrument_sim::LoadImageFiles(config), "");
        }
        model_ = std::make_shared<instrument_sim::InstrumentModel>(std::move(config));
        factory_.emplace(instrument_sim::SimulatedPortFactory(model_, onlyIndex));
    }

    // A window over `iniPath`, recording every status text it shows.
    std::unique_ptr<TMainForm> MakeForm(const std::string& iniPath) {
        auto form = std::make_unique<TMainForm>(iniPath);
        QObject::connect(form.get(), &TMainForm::StatusShown,
                         [this](const QString& text) { statuses_.push_back(text.toStdString()); });
        return form;
    }

    // Presses "Update Software" and waits until the worker has ended.
    static bool RunUpdate(TMainForm& form) {
        form.update->click();
        return WaitUntil([&form] { return !form.UpdateRunning(); });
    }

    static bool ControlsEnabled(const TMainForm& form) {
        return form.update->isEnabled() && form.Port->isEnabled() && form.UpDown1->isEnabled();
    }
    static bool ControlsDisabled(const TMainForm& form) {
        return !form.update->isEnabled() && !form.Port->isEnabled() && !form.UpDown1->isEnabled();
    }

    // The factory goes back before the model that it serves.
    ~WindowTest() override { factory_.reset(); }

    platform::VirtualClock clock_;
    platform::ScopedClock clockScope_;
    TempFolder folder_;
    std::string kernelPath_;
    std::string updatePath_;
    std::shared_ptr<instrument_sim::InstrumentModel> model_;
    std::optional<ScopedPortFactory> factory_;
    std::vector<std::string> statuses_;
};

}  // namespace window_test
