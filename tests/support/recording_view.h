// A window for the engine that writes down everything it is asked to show,
// and a message queue that a test pumps like the dialog thread would.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/patch_view.h"

class CPatchEngine;

struct ShownMessage {
    CString text;
    CString caption;
    unsigned style;
    bool owned;
};

class RecordingView : public IPatchView {
public:
    void SetCaption(const CString& text) override;
    void ShowGameFolder(const CString& folder) override;
    void SetProgressRange(int maximum) override;
    void SetProgressPos(int position) override;
    void EnableRun(bool enable) override;
    bool IsRunEnabled() override;
    int ShowMessage(const CString& text, const CString& caption, unsigned style,
                    bool owned) override;
    void PostPatchMessage(int code, int value) override;

    // Hands posted reports to the engine until a run has ended (the run
    // button is enabled again); returns the end code, or -1 when the run
    // did not end within timeoutMs.
    int PumpUntilIdle(CPatchEngine& engine, int timeoutMs = 20000);

    // What was shown, in order, as short lines: "caption X", "folder X",
    // "range N", "pos N", "run on", "run off", "box CAPTION|TEXT".
    std::vector<std::string> Events();
    std::vector<ShownMessage> Messages();
    std::vector<std::pair<int, int>> Posted();  // every WM_PATCH, in order
    std::string caption();
    std::string folder();
    void Clear();

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::pair<int, int>> queue_;
    std::vector<std::pair<int, int>> postedLog_;
    std::vector<std::string> events_;
    std::vector<ShownMessage> messages_;
    std::string caption_ = "Patch";
    std::string folder_;
    bool runEnabled_ = true;
};
