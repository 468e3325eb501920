#pragma once
// A file with given contents in the temporary folder, removed again when the
// test is done with it.

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

class TempIni {
public:
    explicit TempIni(std::string_view contents) : path_(UniquePath()) {
        std::ofstream(path_, std::ios::binary) << contents;
    }
    ~TempIni() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    TempIni(const TempIni&) = delete;
    TempIni& operator=(const TempIni&) = delete;

    const std::string& Path() const { return path_; }

private:
    static std::string UniquePath() {
        static std::atomic<int> counter{0};
        const std::string name = "updater-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".ini";
        return (std::filesystem::temp_directory_path() / name).string();
    }

    std::string path_;
};
