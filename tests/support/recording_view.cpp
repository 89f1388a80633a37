#include "support/recording_view.h"

#include <chrono>

#include "engine/patch_engine.h"

void RecordingView::SetCaption(const CString& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    caption_ = text;
    events_.push_back("caption " + text);
}

void RecordingView::ShowGameFolder(const CString& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    folder_ = folder;
    events_.push_back("folder " + folder);
}

void RecordingView::SetProgressRange(int maximum) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back("range " + std::to_string(maximum));
}

void RecordingView::SetProgressPos(int position) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back("pos " + std::to_string(position));
}

void RecordingView::EnableRun(bool enable) {
    std::lock_guard<std::mutex> lock(mutex_);
    runEnabled_ = enable;
    events_.push_back(enable ? "run on" : "run off");
}

bool RecordingView::IsRunEnabled() {
    std::lock_guard<std::mutex> lock(mutex_);
    return runEnabled_;
}

int RecordingView::ShowMessage(const CString& text, const CString& caption, unsigned style,
                               bool owned) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back({text, caption, style, owned});
    events_.push_back("box " + caption + "|" + text);
    return kIdOk;
}

void RecordingView::PostPatchMessage(int code, int value) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.emplace_back(code, value);
        postedLog_.emplace_back(code, value);
    }
    posted_.notify_one();
}

int RecordingView::PumpUntilIdle(CPatchEngine& engine, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int endCode = -1;
    while (!IsRunEnabled()) {
        std::pair<int, int> message;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!posted_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) {
                return -1;
            }
            message = queue_.front();
            queue_.pop_front();
        }
        engine.OnPatchMessage(message.first, message.second);
        if (message.first != PATCH_PROGRESS) endCode = message.first;
    }
    return endCode;
}

std::vector<std::string> RecordingView::Events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<ShownMessage> RecordingView::Messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

std::vector<std::pair<int, int>> RecordingView::Posted() {
    std::lock_guard<std::mutex> lock(mutex_);
    return postedLog_;
}

std::string RecordingView::caption() {
    std::lock_guard<std::mutex> lock(mutex_);
    return caption_;
}

std::string RecordingView::folder() {
    std::lock_guard<std::mutex> lock(mutex_);
    return folder_;
}

void RecordingView::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
    messages_.clear();
    postedLog_.clear();
}
