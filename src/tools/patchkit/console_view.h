// The engine's window, on a terminal: captions, the folder and message boxes
// are printed on standard output; the progress bar is drawn on standard
// error when that is a terminal; posted reports queue up for the main loop.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <ostream>
#include <utility>

#include "engine/patch_view.h"

class ConsoleView : public IPatchView {
public:
    ConsoleView(std::ostream& out, std::ostream& err, bool drawProgress);

    void SetCaption(const CString& text) override;
    void ShowGameFolder(const CString& folder) override;
    void SetProgressRange(int maximum) override;
    void SetProgressPos(int position) override;
    void EnableRun(bool enable) override;
    bool IsRunEnabled() override;
    int ShowMessage(const CString& text, const CString& caption, unsigned style,
                    bool owned) override;
    void PostPatchMessage(int code, int value) override;

    // Waits up to timeoutMs for a posted report. False when none came.
    bool WaitMessage(int timeoutMs, int* code, int* value);
    // Prints a line of the tool's own (UTF-8).
    void Say(const std::string& utf8);

private:
    void ClearBarLocked();
    void DrawBarLocked();

    std::ostream& out_;
    std::ostream& err_;
    bool drawProgress_;
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::pair<int, int>> queue_;
    bool runEnabled_ = true;
    int maximum_ = 0;
    int position_ = 0;
    bool barShown_ = false;
};
