#pragma once
// UpdateSession: one update's whole worker life for any front end, with what
// happens told as typed events. The front end keeps what is its own (drawing,
// console, options): it provides the window services, hands each
// WM_WORKERTEXT to OnWorkerText, and subscribes an observer.
//
// Life, all on the window's thread: Open (creates the worker and opens the
// link), Start, one OnWorkerText per notification; the end notification
// shows the lines still queued and delivers the result, after which the
// worker is destroyed on its own thread and the port closed (Ended()).

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/worker_line.h"
#include "comlink/device_open_failure.h"
#include "engine/image_file.h"
#include "engine/update_failure.h"
#include "engine/update_info.h"
#include "platform/window_services.h"

class DataExchange;

namespace app {

enum class UpdateEnd {
    kSucceeded,      // "Update successful."
    kFailed,         // a failure text, or no result text at all
    kDeclined,       // the operator answered No
    kLinkNotOpened,  // the worker never started
};

struct UpdateResult {
    UpdateEnd end = UpdateEnd::kFailed;
    std::string finalText;  // the worker's last line, or kLinkFailureText
    engine::FailureDetail failure;  // kFailed only
    std::optional<DeviceOpenFailure> linkFailure;  // kLinkNotOpened: why, when the device said
    std::vector<engine::UpdateStep> steps;  // the steps reached, in order
    std::string installedVersion = "Unknown";
    std::int32_t updateMethod = 0;
};

// What a front end is told. Every call comes on the window's thread, except
// OnQuestion and OnAnswer, which come on the worker's thread around the
// operator's answer.
class SessionObserver {
public:
    virtual ~SessionObserver() = default;
    // Each line the worker posted, in order, before its typed event.
    virtual void OnLine(const std::string& /*line*/) {}
    virtual void OnStep(engine::UpdateStep /*step*/, const std::string& /*text*/) {}
    virtual void OnProgress(const ProgressView& /*progress*/) {}
    virtual void OnErrorLine(const std::string& /*text*/) {}
    virtual void OnQuestion(const std::string& /*text*/, const std::string& /*caption*/) {}
    virtual void OnAnswer(bool /*yes*/) {}
    // Once, last: also when the link did not open.
    virtual void OnResult(const UpdateResult& /*result*/) {}
};

class UpdateSession {
public:
    // `services` and `info` outlive the session; `observer` is told
    // everything from Open on.
    UpdateSession(platform::WindowServices& services, platform::WindowHandle window, const update_info& info,
                  SessionObserver& observer);
    ~UpdateSession();
    UpdateSession(const UpdateSession&) = delete;
    UpdateSession& operator=(const UpdateSession&) = delete;

    // Creates the worker and opens COM port `portNumber` at 9600 baud. True
    // when ready to start; on false the result (kLinkNotOpened) was told.
    bool Open(int portNumber);
    // After Open returned true, before Start: the images as the worker holds
    // them open (read them from the start; the transfers seek back).
    engine::HeldImage& HeldKernel();
    engine::HeldImage& HeldUpdate();
    // The open link's system handle, until the worker is destroyed.
    std::intptr_t LinkHandle() const { return linkHandle_; }
    // Starts the worker after a successful Open.
    void Start();

    // Window's thread, once per WM_WORKERTEXT: shows the next line, if any.
    void OnWorkerText();
    // True from Start until the result was told.
    bool Running() const { return worker_ != nullptr; }
    // The running worker, or null; valid until the result was told.
    DataExchange* Worker() const { return worker_; }
    // Bytes of the update image waiting in the port's transmit queue (0 once
    // the worker has ended).
    std::int64_t QueuedForLine() const;
    // The worker drops every later line and the result comes without a text.
    void RequestTerminate();
    // Ready once the worker is destroyed and its port closed (after Start).
    std::shared_future<void> Ended() const { return ended_; }

private:
    class QuestionRelay;
    void Show(const std::string& line);
    void Finish();

    std::unique_ptr<QuestionRelay> relay_;
    platform::WindowHandle window_;
    const update_info& info_;
    SessionObserver& observer_;
    std::unique_ptr<DataExchange> created_;  // between Open and Start
    DataExchange* worker_ = nullptr;         // from Start until the result
    std::intptr_t linkHandle_ = 0;
    std::shared_future<void> ended_;
    UpdateResult result_;
};

}  // namespace app
