#include <windows.h>

#include "app/cli/report_file.h"

namespace cli {
namespace {

// Closes the handle (and so drops its lock) on every path.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// Append-only access: every write lands at the end of the file, whoever
// else appends; reading is there because LockFileEx asks for it.
HANDLE OpenForAppending(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string Failure(const std::string& path, const char* what) {
    return path + ": " + what + " (system error " + std::to_string(GetLastError()) + ")";
}

}  // namespace

std::string CheckReportFile(const std::string& path) {
    const Handle file(OpenForAppending(path));
    return file.Get() == INVALID_HANDLE_VALUE ? Failure(path, "cannot open the report file") : std::string{};
}

std::string AppendReportLine(const std::string& path, const std::string& line) {
    const Handle file(OpenForAppending(path));
    if (file.Get() == INVALID_HANDLE_VALUE) return Failure(path, "cannot open the report file");
    OVERLAPPED whole{};
    if (!LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        return Failure(path, "cannot lock the report file");
    }
    const std::string record = line + "\n";
    DWORD wrote = 0;
    const BOOL written = WriteFile(file.Get(), record.data(), static_cast<DWORD>(record.size()), &wrote, nullptr);
    UnlockFileEx(file.Get(), 0, MAXDWORD, MAXDWORD, &whole);
    if (!written || wrote != record.size()) return Failure(path, "cannot write the report file");
    return {};
}

}  // namespace cli
