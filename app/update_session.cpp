#include "app/update_session.h"

#include <atomic>

#include "app/port_text.h"
#include "engine/data_exchange.h"
#include "engine/update_steps.h"

namespace app {

// Passes the worker's calls to the front end's services, telling the
// observer of the question and its answer on the way.
class UpdateSession::QuestionRelay final : public platform::WindowServices {
public:
    QuestionRelay(platform::WindowServices& inner, SessionObserver& observer) : inner_(inner), observer_(observer) {}
    void PostWindowMessage(platform::WindowHandle window, unsigned int message) override {
        inner_.PostWindowMessage(window, message);
    }
    platform::Answer AskYesNo(platform::WindowHandle window, const std::string& text,
                              const std::string& caption) override {
        observer_.OnQuestion(text, caption);
        const platform::Answer answer = inner_.AskYesNo(window, text, caption);
        if (answer == platform::Answer::No) declined.store(true);
        observer_.OnAnswer(answer != platform::Answer::No);
        return answer;
    }
    void RunOnWindowThread(std::function<void()> task) override { inner_.RunOnWindowThread(std::move(task)); }

    std::atomic<bool> declined{false};

private:
    platform::WindowServices& inner_;
    SessionObserver& observer_;
};

UpdateSession::UpdateSession(platform::WindowServices& services, platform::WindowHandle window,
                             const update_info& info, SessionObserver& observer)
    : relay_(std::make_unique<QuestionRelay>(services, observer)), window_(window), info_(info), observer_(observer) {}

UpdateSession::~UpdateSession() = default;

bool UpdateSession::Open(int portNumber) {
    result_ = UpdateResult{};
    created_ = std::make_unique<DataExchange>(*relay_, window_, info_);
    if (created_->OpenLink(portNumber)) {
        linkHandle_ = created_->LinkHandle();
        return true;
    }
    result_.end = UpdateEnd::kLinkNotOpened;
    result_.finalText = std::string(kLinkFailureText);
    result_.linkFailure = created_->LinkOpenFailure();
    created_.reset();  // never started: released here, holding no port
    observer_.OnResult(result_);
    return false;
}

engine::HeldImage& UpdateSession::HeldKernel() { return created_->HeldKernelImage(); }
engine::HeldImage& UpdateSession::HeldUpdate() { return created_->HeldUpdateImage(); }

void UpdateSession::Start() {
    worker_ = created_.get();
    created_->SetEndNotification([this] { Finish(); });
    ended_ = platform::Thread::Start(std::move(created_));
}

void UpdateSession::OnWorkerText() {
    if (worker_ == nullptr) return;
    if (std::optional<std::string> line = worker_->TakeText()) Show(*line);
}

std::int64_t UpdateSession::QueuedForLine() const { return worker_ != nullptr ? worker_->QueuedForLine() : 0; }

void UpdateSession::RequestTerminate() {
    if (worker_ != nullptr) worker_->RequestTerminate();
}

void UpdateSession::Show(const std::string& line) {
    observer_.OnLine(line);
    const WorkerLine read = ReadWorkerLine(line);
    switch (read.kind) {
    case LineKind::Progress:
        observer_.OnProgress(read.progress);
        return;
    case LineKind::Error:
        observer_.OnErrorLine(read.text);
        return;
    case LineKind::Status:
        break;
    }
    if (const std::optional<engine::UpdateStep> step = engine::StepOfText(line)) {
        result_.steps.push_back(*step);
        observer_.OnStep(*step, line);
    }
}

void UpdateSession::Finish() {
    // Every line was announced before this call; show any still waiting.
    while (worker_ != nullptr) {
        std::optional<std::string> line = worker_->TakeText();
        if (!line) break;
        Show(*line);
    }
    // The body has returned: what it learnt of the instrument is final.
    result_.installedVersion = worker_->InstalledVersion();
    result_.updateMethod = worker_->UpdateMethod();
    // The worker keeps its result text also when a closed window no longer
    // took its lines; without one its body ended early (an exception).
    const std::optional<std::string>& text = worker_->ResultText();
    result_.finalText = text.value_or("");
    if (text && *text == engine::kSuccessText) {
        result_.end = UpdateEnd::kSucceeded;
    } else if (text && text->empty() && relay_->declined.load()) {
        result_.end = UpdateEnd::kDeclined;
    } else {
        result_.end = UpdateEnd::kFailed;
        result_.failure = worker_->Failure();
    }
    worker_ = nullptr;
    observer_.OnResult(result_);
}

}  // namespace app
