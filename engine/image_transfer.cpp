// Image transfers: the kernel echoed byte by byte with its end code, the
// update image streamed with its last two bytes held back. Files are read one
// byte at a time through a buffered stream, never loaded whole.

#include <fstream>

#include "engine/data_exchange.h"
#include "engine/image_file.h"
#include "platform/clock.h"

namespace {

constexpr int kKernelEchoTimeoutMs = 500;
constexpr int kKernelEndCodeTimeoutMs = 500;
constexpr int kKernelAccepted = 0x5A;
constexpr int kKernelMemoryErrors = 0xA5;
constexpr int kHeldBackBytes = 2;
constexpr std::uint32_t kHeldBackPauseMs = 1000;
// The port's transmit queue holds 8192 bytes; wait while it holds more than
// this, so that the next byte always fits.
constexpr int kTransmitQueueHighWater = 8190;

// Reads the next byte of `image` into `byte`; false at the end or on error.
bool NextByte(std::ifstream& image, std::uint8_t& byte) {
    char c = 0;
    if (!image.get(c)) {
        return false;
    }
    byte = static_cast<std::uint8_t>(c);
    return true;
}

std::string MemoryErrorText(int count) {
    return "Error: " + std::to_string(count) + " memory errors encountered.";
}

}  // namespace

engine::HeldImage& DataExchange::ImageFor(const std::string& path, std::optional<engine::HeldImage>& opened) {
    if (path == kernelImage.Path()) return kernelImage;
    if (path == updateImage.Path()) return updateImage;
    return opened.emplace(path);
}

std::int32_t DataExchange::GetImageSize(const std::string& path) {
    std::ifstream image = engine::OpenImage(path);
    if (!image) {
        return -1;
    }
    image.seekg(0, std::ios::end);
    const std::streamoff size = image.tellg();
    if (size < 0) {
        return -1;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(size));
}

bool DataExchange::SendImageEchoed(const std::string& path, std::string& resultText) {
    std::optional<engine::HeldImage> opened;
    engine::HeldImage& held = ImageFor(path, opened);
    std::ifstream& image = held.FromStart();
    if (!image) {
        return FailWith(engine::FailureReason::kImageUnusable);
    }
    std::uint8_t byte = 0;
    for (std::int64_t sent = 0; sent != held.SizedLength(); ++sent) {
        failure.byteIndex = sent;
        if (!NextByte(image, byte)) {
            return FailWith(engine::FailureReason::kImageUnusable);  // shorter than when it was sized
        }
        if (const int code = serial.WriteByte(byte); code != 0) {
            return FailOnWrite(code);
        }
        if (const int echo = serial.ReadByte(kKernelEchoTimeoutMs); echo != byte) {
            return FailOnReply(byte, echo, kKernelEchoTimeoutMs, engine::FailureReason::kWrongEcho);
        }
        CountSentByte();
    }
    failure.byteIndex = -1;
    if (!held.Unchanged()) {
        return FailWith(engine::FailureReason::kImageUnusable);
    }
    PostCurrentProgress();

    const int endCode = serial.ReadByte(kKernelEndCodeTimeoutMs);
    if (endCode == kKernelAccepted) {
        return true;
    }
    if (endCode == kKernelMemoryErrors) {
        // Both count bytes are awaited, each with its own time-out, even when
        // the first did not come; a count that did not arrive in full is not
        // reported as a count.
        const int low = serial.ReadByte(kKernelEndCodeTimeoutMs);
        const int high = serial.ReadByte(kKernelEndCodeTimeoutMs);
        if (low >= 0 && high >= 0) {
            resultText = MemoryErrorText(high * 256 + low);
            failure.count = high * 256 + low;
            return FailWith(engine::FailureReason::kMemoryErrors);
        }
        return FailOnReply(0, -1, kKernelEndCodeTimeoutMs, engine::FailureReason::kNoAnswer);
    }
    return FailOnReply(kKernelAccepted, endCode, kKernelEndCodeTimeoutMs, engine::FailureReason::kWrongEndCode);
}

bool DataExchange::SendImageStreamed(const std::string& path) {
    std::optional<engine::HeldImage> opened;
    engine::HeldImage& held = ImageFor(path, opened);
    std::ifstream& image = held.FromStart();
    if (!image || held.SizedLength() < kHeldBackBytes) {
        return FailWith(engine::FailureReason::kImageUnusable);
    }
    const std::int64_t bodyLength = held.SizedLength() - kHeldBackBytes;

    std::uint8_t byte = 0;
    for (std::int64_t sent = 0; sent != bodyLength; ++sent) {
        if (!NextByte(image, byte)) {
            return FailWith(engine::FailureReason::kImageUnusable);
        }
        for (;;) {
            const int queued = serial.TxQueueCount();
            queuedForLine.store(queued, std::memory_order_relaxed);
            if (queued <= kTransmitQueueHighWater) break;
            serial.AwaitTxRoom(kTransmitQueueHighWater);
        }
        if (const int code = serial.WriteByte(byte); code != 0) {
            return FailOnWrite(code);
        }
        CountSentByte();
    }
    // An image that changed length during the body is not completed: without
    // its last two bytes the instrument never holds it as a whole image.
    if (!held.Unchanged()) {
        return FailWith(engine::FailureReason::kImageUnusable);
    }
    // The hold-back counts from the last body byte handed to the link; the
    // transmit queue goes on draining meanwhile.
    const std::uint32_t bodyEndMs = platform::NowMs();
    PostCurrentProgress();
    const std::uint32_t elapsedMs = platform::NowMs() - bodyEndMs;
    if (elapsedMs < kHeldBackPauseMs) {
        platform::SleepMs(kHeldBackPauseMs - elapsedMs);
    }

    for (int held = 0; held < kHeldBackBytes; ++held) {
        if (!NextByte(image, byte)) {
            return FailWith(engine::FailureReason::kImageUnusable);
        }
        if (const int code = serial.WriteByte(byte); code != 0) {
            return FailOnWrite(code);
        }
        CountDownOneByte();
        PostCurrentProgress();
    }
    return true;
}
