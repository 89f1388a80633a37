#include "tools/patchkit/console_view.h"

#include <chrono>
#include <string>

#include "platform/cp932.h"

namespace {

constexpr int kBarWidth = 40;

}  // namespace

ConsoleView::ConsoleView(std::ostream& out, std::ostream& err, bool drawProgress)
    : out_(out), err_(err), drawProgress_(drawProgress) {}

void ConsoleView::SetCaption(const CString& text) {
    Say("caption: " + platform::DisplayUtf8(text));
}

void ConsoleView::ShowGameFolder(const CString& folder) {
    Say("game folder: " + (folder.empty() ? std::string("(none)") : platform::DisplayUtf8(folder)));
}

void ConsoleView::SetProgressRange(int maximum) {
    std::lock_guard<std::mutex> lock(mutex_);
    maximum_ = maximum;
    DrawBarLocked();
}

void ConsoleView::SetProgressPos(int position) {
    std::lock_guard<std::mutex> lock(mutex_);
    position_ = position;
    DrawBarLocked();
}

void ConsoleView::EnableRun(bool enable) {
    std::lock_guard<std::mutex> lock(mutex_);
    runEnabled_ = enable;
}

bool ConsoleView::IsRunEnabled() {
    std::lock_guard<std::mutex> lock(mutex_);
    return runEnabled_;
}

int ConsoleView::ShowMessage(const CString& text, const CString& caption, unsigned /*style*/,
                             bool /*owned*/) {
    // Every box is answered with its first button (OK).
    std::string body = platform::DisplayUtf8(text);
    std::string shown;
    for (char c : body) {
        shown += c;
        if (c == '\n') shown += "    ";
    }
    Say("[" + platform::DisplayUtf8(caption) + "] " + shown);
    return kIdOk;
}

void ConsoleView::PostPatchMessage(int code, int value) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.emplace_back(code, value);
    }
    posted_.notify_one();
}

bool ConsoleView::WaitMessage(int timeoutMs, int* code, int* value) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!posted_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this] { return !queue_.empty(); })) {
        return false;
    }
    *code = queue_.front().first;
    *value = queue_.front().second;
    queue_.pop_front();
    return true;
}

void ConsoleView::Say(const std::string& utf8) {
    std::lock_guard<std::mutex> lock(mutex_);
    ClearBarLocked();
    out_ << utf8 << std::endl;
    DrawBarLocked();
}

void ConsoleView::ClearBarLocked() {
    if (!barShown_) return;
    err_ << '\r' << std::string(kBarWidth + 20, ' ') << '\r' << std::flush;
    barShown_ = false;
}

void ConsoleView::DrawBarLocked() {
    if (!drawProgress_ || maximum_ <= 0) return;
    int position = position_ < 0 ? 0 : (position_ > maximum_ ? maximum_ : position_);
    int filled = static_cast<int>(static_cast<long long>(position) * kBarWidth / maximum_);
    err_ << "\r[" << std::string(filled, '#') << std::string(kBarWidth - filled, '.') << "] "
         << position << '/' << maximum_ << std::flush;
    barShown_ = true;
}
