#pragma once
// Shared set-up of the engine's tests: a virtual clock, a temporary folder for
// image files, the recording window and a worker over a chosen port.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/data_exchange.h"
#include "platform/clock.h"
#include "test_window.h"

namespace engine_test {

// Bytes 0, 1, 2, ... of the given length (wrapping at 256), skipping 0xAA so
// that a kernel never starts with the sync answer by accident.
inline std::string PatternImage(std::size_t length, std::uint8_t seed = 1) {
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) {
        auto byte = static_cast<std::uint8_t>(seed + i);
        if (byte == 0xAA) byte = 0xAB;
        bytes.push_back(static_cast<char>(byte));
    }
    return bytes;
}

class EngineTest : public ::testing::Test {
protected:
    EngineTest() : clockScope_(clock) {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  ("engine-" + std::to_string(::getpid()) + "-" + test->test_suite_name() + "-" + test->name());
        std::filesystem::create_directories(folder_);
        info.version = "2.0.0";
        info.instrument = "Test";
        info.parent_tag = "ORV72";
        info.kernel_file = (folder_ / "kernel.bin").string();
        info.update_file = (folder_ / "update.bin").string();
    }
    ~EngineTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // Writes `bytes` to `path` as raw bytes.
    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    void WriteImages(std::size_t kernelSize, std::size_t updateSize) {
        kernel = PatternImage(kernelSize, 1);
        update = PatternImage(updateSize, 7);
        WriteFile(info.kernel_file, kernel);
        WriteFile(info.update_file, update);
    }
    std::string PathIn(const std::string& name) const { return (folder_ / name).string(); }

    // A worker built now (images sized now) with its link open on COM1.
    DataExchange& OpenWorker() {
        worker = std::make_unique<DataExchange>(window, TestWindow::kHandle, info);
        EXPECT_TRUE(worker->OpenLink(1));
        window.Attach(worker.get());
        return *worker;
    }
    // The lines posted so far, taken as the window takes them.
    std::vector<std::string> Posted() {
        window.Pump(false);
        return window.Texts();
    }

    platform::VirtualClock clock;
    platform::ScopedClock clockScope_;
    std::filesystem::path folder_;
    update_info info;
    std::string kernel;
    std::string update;
    TestWindow window;
    // Derived fixtures that own the far end of the line reset it first.
    std::unique_ptr<DataExchange> worker;
};

}  // namespace engine_test
