#pragma once
// DataExchange: the worker that performs one firmware update on its own
// thread, from the instrument's tag-language dialogue to the start of the new
// code, and reports every step to the window as a line of text.
//
// How a front end runs one update (all on the window's thread):
//   auto worker = std::make_unique<DataExchange>(services, window, info);
//   if (!worker->OpenLink(portNumber)) { /* report; `worker` releases it */ }
//   DataExchange* current = worker.get();
//   worker->SetEndNotification([&] { /* drain current->TakeText(), then
//                                        current = nullptr; re-enable controls */ });
//   platform::Thread::Start(std::move(worker));
// On each WM_WORKERTEXT the window calls current->TakeText() if `current` is
// still set; a nullopt result is ignored. The object stays alive until its end
// notification has returned and is destroyed right after, on its own thread,
// which closes the port; lines still queued then are discarded.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "comlink/serial.h"
#include "engine/image_file.h"
#include "engine/message_queue.h"
#include "engine/update_failure.h"
#include "engine/update_info.h"
#include "platform/thread.h"
#include "platform/window_services.h"

// One-byte boot-loader commands.
enum BootCommand : std::uint8_t {
    bcClearFlash = 1,
    bcEraseFlash = 2,
    bcProgramFlash = 4,
    bcSendUpdate = 5,
    bcStartNewCode = 6,
};

// Update method codes: 0 until detected; 1 for an instrument that gave no
// tag-language acknowledgement (boot-loader steps only); 2 when it did (adds
// the version query, the operator's question, the switch and the start).
inline constexpr std::int32_t kMethodUnknown = 0;
inline constexpr std::int32_t kMethodBootOnly = 1;
inline constexpr std::int32_t kMethodTagLanguage = 2;

class DataExchange : public platform::Thread {
public:
    // Created suspended, on the window's thread. Opens and sizes both images
    // (a file that cannot be opened counts as -1) and holds them open until
    // the worker ends; sends and posts nothing. `services` and `info` must
    // outlive the worker.
    DataExchange(platform::WindowServices& services, platform::WindowHandle window,
                 const update_info& info);
    // Closes the link; lines still queued are discarded.
    ~DataExchange() override = default;

    // Window's thread, before the start. Opens COM port `portNumber` (1 is
    // the first; the window's 1 to 35, or 1 to N for the devices named on a
    // command line) at 9600 baud. True when ready; on false the link is
    // closed.
    bool OpenLink(int portNumber);
    // After OpenLink gave false: why the port could not open its device,
    // when that was the cause.
    const std::optional<DeviceOpenFailure>& LinkOpenFailure() const { return serial.OpenFailure(); }

    // The thread body: the whole update sequence, ending with the result
    // text and a pause of 3000 ms.
    void RunUpdate();

    // Window's thread: removes and returns the oldest waiting line, or
    // nullopt when none waits.
    std::optional<std::string> TakeText();

    // Worker's thread: queues `text` for the window and posts WM_WORKERTEXT;
    // drops it once the thread has been asked to terminate.
    void PostText(const std::string& text);
    // Posts the progress line "DATA:<total>:<left>" with both counts unsigned.
    void PostProgress(std::uint32_t total, std::uint32_t left);

    // Tag-language dialogue at 9600 baud. DetectUpdateMethod returns 2 when
    // the instrument acknowledged the probe, else 1. QueryVersion returns
    // true and puts the (upper-cased) version in `version` when one came;
    // false leaves `version` as it was.
    std::int32_t DetectUpdateMethod();
    bool QueryVersion(std::string& version);
    // Raises the letters a to z to A to Z in place; other bytes stay.
    static void ToUpperAscii(std::string& text);

    // Moves the line to 38400 baud and probes until the boot side answers
    // 0xAA. True when it answered.
    bool SynchBaudRates();

    // The file's size in bytes, or -1 when it cannot be opened.
    static std::int32_t GetImageSize(const std::string& path);
    // Both transfers read an image the worker holds (kernel_file and
    // update_file) from the file it opened at construction, and any other
    // path from a file opened now. Each sends the length the image had when
    // it was opened; a file that is shorter or longer by the end fails the
    // transfer, so that bytes other than the sized ones are never taken for
    // a whole image.
    //
    // Sends the kernel byte by byte, each echoed, then awaits the end code.
    // True when accepted; on a memory-error report `resultText` receives its
    // text and the result is false.
    bool SendImageEchoed(const std::string& path, std::string& resultText);
    // Streams the update image, holding back its last two bytes for 1000 ms.
    // False on a write error, a file that cannot be opened or read, or an
    // image shorter than two bytes (nothing is sent then); false without the
    // held-back bytes when the length changed during the body.
    bool SendImageStreamed(const std::string& path);
    // Sends one boot-loader command and awaits its echo, its transfer (5) and
    // its status byte (all but 6). True when all succeeded.
    bool SendBootCommand(BootCommand command);

    // Window's thread, before the start: the images as the worker holds them
    // open. Reading them is harmless: each transfer starts from the start.
    engine::HeldImage& HeldKernelImage() { return kernelImage; }
    engine::HeldImage& HeldUpdateImage() { return updateImage; }

    // The open link's system handle (0 when closed). Read it on the window's
    // thread before the start; it stays valid until the worker is destroyed.
    std::intptr_t LinkHandle() const { return serial.Handle(); }

    // Any thread: the bytes of the update image last seen waiting in the
    // port's transmit queue during the streamed transfer (0 before it and
    // once the next command has cleared the queue). Sent bytes minus these
    // are the bytes already on the line.
    std::int32_t QueuedForLine() const { return queuedForLine.load(std::memory_order_relaxed); }

    // Why the last run failed, beside its result text (reason kNone after a
    // success or the operator's No). Read it once the body has returned.
    const engine::FailureDetail& Failure() const { return failure; }
    // The last run's result text, also when the window no longer takes lines
    // (after RequestTerminate); nothing when the body ended without one.
    const std::optional<std::string>& ResultText() const { return resultText; }

    std::int32_t ByteTotal() const { return byteTotal; }
    std::int32_t BytesLeft() const { return bytesLeft; }
    std::int32_t UpdateMethod() const { return updateMethod; }
    const std::string& InstalledVersion() const { return installedVersion; }

private:
    void Execute() override { RunUpdate(); }

    // Writes `body` wrapped in the parent tag, then a line feed.
    void WriteTagCommand(const std::string& body);
    // Counts one image byte as sent (32-bit wrap-around).
    void CountDownOneByte();
    // Counts one image byte as sent and posts progress at each multiple of 100.
    void CountSentByte();
    // PostProgress with the current byteTotal and bytesLeft, bit for bit.
    void PostCurrentProgress();
    bool AskOperatorToContinue();
    // Each keeps why an operation failed in `failure` and returns false.
    bool FailWith(engine::FailureReason reason);
    bool FailOnWrite(int linkCode);
    // A byte read as `received` (negative: none within `timeoutMs`) where
    // `expected` was awaited; `mismatch` names a wrong byte.
    bool FailOnReply(int expected, int received, int timeoutMs, engine::FailureReason mismatch);
    // The held image named `path`, else one opened now into `opened`.
    engine::HeldImage& ImageFor(const std::string& path, std::optional<engine::HeldImage>& opened);

    Serial serial;
    MessageQueue messages;
    platform::WindowHandle windowHandle;
    const update_info* info;
    engine::HeldImage kernelImage;
    engine::HeldImage updateImage;
    std::int32_t byteTotal = 0;
    std::int32_t bytesLeft = 0;
    std::int32_t updateMethod = kMethodUnknown;
    std::string installedVersion;
    std::atomic<std::int32_t> queuedForLine{0};
    engine::FailureDetail failure;
    std::optional<std::string> resultText;
    platform::WindowServices& services;
};
