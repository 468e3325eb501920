#pragma once
// PseudoTerminal: the pty pair the simulator serves on. Owns the master and
// keeps one slave descriptor open for its whole life, so that the device
// stays in place while the program under test closes and reopens it. Never
// changes the line settings: those belong to the program on the slave side.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace instrument_sim {

class PseudoTerminal {
public:
    // Creates the pair; on failure IsOpen() is false and Error() says why.
    // With a non-empty `linkPath`, a symbolic link there names the slave
    // (an existing link is replaced, any other file is left alone and
    // reported as an error).
    explicit PseudoTerminal(const std::string& linkPath = {});
    ~PseudoTerminal();  // Close()
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool IsOpen() const { return master_ >= 0; }
    const std::string& Error() const { return error_; }
    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }

    // The rate the program on the slave side has set (its output speed), in
    // baud, or 0 when it cannot be read or has no number.
    std::uint32_t HostRate() const;
    // Reads what the program wrote, at most `max` bytes, without waiting.
    // The count (0 when nothing is there), or -1 when the master failed.
    long Read(std::uint8_t* buffer, std::size_t max);
    // Writes towards the program without waiting. The count taken (possibly
    // 0 when the slave's input is full), or -1 when the master failed.
    long Write(const std::uint8_t* data, std::size_t count);
    // What Wait found on the master.
    struct Ready {
        bool readable = false;  // the program's bytes can be read
        bool writable = false;  // the program's input has room again
    };
    // Waits up to `timeoutNs` nanoseconds for the program's bytes (when
    // `forInput`) or for room in the program's input (when `forOutput`);
    // with neither it just sleeps that long. Returns what became ready;
    // nothing at the time-out, when a signal came or on an error.
    Ready Wait(std::uint64_t timeoutNs, bool forInput, bool forOutput) const;
    // Closes both ends and removes the link: the device vanishes.
    void Close();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string linkPath_;
    std::string error_;
};

}  // namespace instrument_sim
