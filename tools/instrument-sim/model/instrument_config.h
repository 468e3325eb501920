#pragma once
// What the simulated instrument is and how it misbehaves: one plain record,
// filled by tests or by the command line of the pty tool, read once by
// InstrumentModel. Every fault is off by default, so a default-built config
// is a healthy instrument that speaks the tag language (update method 2).

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace instrument_sim {

// Line rates of the instrument's two sides.
inline constexpr std::uint32_t kApplicationBaud = 9600;
inline constexpr std::uint32_t kBootBaud = 38400;

// Boot-side protocol bytes.
inline constexpr std::uint8_t kSyncProbe = 0x0D;
inline constexpr std::uint8_t kSyncReply = 0xAA;
inline constexpr std::uint8_t kKernelAccepted = 0x5A;
inline constexpr std::uint8_t kKernelMemoryErrors = 0xA5;
inline constexpr std::uint8_t kStatusOk = 0x00;

// Boot-loader command bytes the instrument understands.
inline constexpr std::uint8_t kCmdClearFlash = 1;
inline constexpr std::uint8_t kCmdEraseFlash = 2;
inline constexpr std::uint8_t kCmdProgramFlash = 4;
inline constexpr std::uint8_t kCmdSendUpdate = 5;
inline constexpr std::uint8_t kCmdStartNewCode = 6;

// When neither a size nor a file tells how long an image is, the image is
// taken as complete once the host has been silent this long after its last
// byte (the host waits 500 ms for the end code and 15000 ms for the status,
// and pauses 1000 ms before the update image's last two bytes).
inline constexpr std::uint32_t kKernelEndGapMs = 200;
inline constexpr std::uint32_t kUpdateEndGapMs = 2000;

// How a byte sent at a rate other than the receiver's arrives.
enum class NoiseMode {
    kGarble,  // the receiving UART samples the foreign waveform at its own rate
    kDrop,    // the byte is lost
};

// How the application side answers the version query.
enum class VersionReply {
    kVersion,    // one line holding "<VER>version</VER>"
    kNoVersion,  // `versionlessLines` lines without a version element
    kSilent,     // nothing
};

// How the boot side ends the kernel.
enum class KernelEnd {
    kAccept,        // 0x5A
    kMemoryErrors,  // 0xA5, then `memoryErrors` as 16 bits, low byte first
    kBadCode,       // `badEndCode`
};

// A point in the conversation from which the instrument says nothing more
// (it still receives and records what the host sends).
enum class SilentStage {
    kNone,
    kTagReplies,     // the application side answers no tag line
    kSyncReply,      // no 0xAA (nor any other answer) to the probes
    kKernelEcho,     // no echo from kernel byte `silentAtKernelByte` (0-based) on
    kEndCode,        // everything echoed, no end code
    kCommandEcho,    // no echo of command `silentCommand`
    kCommandStatus,  // echo, but no status byte for command `silentCommand`
};

// Where the line goes dead: the device vanishes (the pty closes, the
// in-process port fails like an unplugged adapter).
enum class HangUpStage {
    kNone,
    kKernel,  // after `hangUpAfterBytes` kernel bytes have been received
    kUpdate,  // after `hangUpAfterBytes` update image bytes have been received
};

struct InstrumentConfig {
    // --- Identity -------------------------------------------------------
    // 2: the application side speaks the tag language at 9600 baud and moves
    // to the boot side on the switch command. 1: the instrument is silent to
    // tag lines and sits on its boot side (38400 baud) from the start.
    int updateMethod = 2;
    // The parent tag exactly as the host stores it; the host wraps every
    // command in "<" + parentTag + ">" ... "</" + parentTag + ">".
    std::string parentTag = "<ORV72>";
    std::string version = "1.0.0";
    VersionReply versionReply = VersionReply::kVersion;
    int versionlessLines = 5;
    // Reply to the probe line "<CFG><OUTRATE>0</OUTRATE></CFG>" (a line feed
    // is appended); empty: no reply.
    std::string probeLineReply;

    // --- Images ---------------------------------------------------------
    // Expected sizes. 0 with no expected bytes: unknown, the image ends after
    // a gap (kKernelEndGapMs / kUpdateEndGapMs). Expected bytes, when given,
    // set the size and are what the received image is compared with; the
    // file names only label them in the summary (LoadImageFiles fills both).
    std::uint32_t kernelSize = 0;
    std::uint32_t updateSize = 0;
    std::vector<std::uint8_t> expectedKernel;
    std::vector<std::uint8_t> expectedUpdate;
    std::string kernelFile;
    std::string updateFile;

    // --- Line -----------------------------------------------------------
    // Each byte takes 10 bit-times at its rate in each direction. Off: bytes
    // arrive the moment they are sent.
    bool lineTime = true;
    NoiseMode noise = NoiseMode::kGarble;
    // The rate the boot side listens and answers at; another than 38400 is
    // an instrument the host cannot reach there.
    std::uint32_t bootBaud = kBootBaud;

    // --- Baud synchronisation --------------------------------------------
    // The probe (1-based) from which 0x0D is answered with 0xAA; 0: never.
    int syncFromProbe = 1;
    // Answer to the probes before that one; none when empty.
    std::optional<std::uint8_t> preSyncReply;
    std::uint32_t syncReplyDelayMs = 0;

    // --- Kernel ---------------------------------------------------------
    // Echo of kernel byte N (0-based) is the byte XOR 0xFF; -1: never.
    int wrongEchoAtByte = -1;
    // Echo of kernel byte N comes `lateEchoMs` late; -1: never.
    int lateEchoAtByte = -1;
    std::uint32_t lateEchoMs = 600;
    // `strayByte` is sent before the echo of kernel byte N; -1: never.
    int strayBeforeEchoAtByte = -1;
    std::uint8_t strayByte = 0x55;
    KernelEnd kernelEnd = KernelEnd::kAccept;
    std::uint16_t memoryErrors = 3;
    // How many of the two count bytes follow 0xA5 (fewer: the rest never comes).
    int memoryErrorCountBytes = 2;
    std::uint8_t badEndCode = 0x00;

    // --- Boot-loader commands -----------------------------------------
    // Status byte per command (default kStatusOk for every command).
    std::map<int, std::uint8_t> statusFor;
    // Time from the command's echo (command 5: from the image's last byte)
    // to its status byte, per command; default 0.
    std::map<int, std::uint32_t> statusDelayMs;
    // Echo of command C comes this late, per command; default 0.
    std::map<int, std::uint32_t> commandEchoDelayMs;
    // `strayByte` is sent before the echo of command C; -1: never.
    int strayBeforeCommandEcho = -1;

    // --- Silence and hang-up ------------------------------------------
    SilentStage silentFrom = SilentStage::kNone;
    int silentAtKernelByte = 0;  // for kKernelEcho
    int silentCommand = 0;       // for kCommandEcho and kCommandStatus
    HangUpStage hangUp = HangUpStage::kNone;
    std::uint32_t hangUpAfterBytes = 0;
};

// Reads `kernelFile` and `updateFile` (those not empty) into the expected
// images. Returns an empty text on success, else what could not be read.
std::string LoadImageFiles(InstrumentConfig& config);

// The config's first problem as a sentence, or an empty text when the model
// can run with it (update method 1 or 2, command numbers among 1, 2, 4, 5, 6,
// an update image of at least two bytes when its size is known).
std::string ValidateConfig(const InstrumentConfig& config);

}  // namespace instrument_sim
