// What the engine needs of the window that hosts it, the patch view:
// everything a player sees goes through here, so the engine runs and is
// tested without a window.
#pragma once

#include "base/types.h"

// The window message that carries the worker's reports, and its codes.
constexpr unsigned WM_PATCH = 0x0400 + 1;  // WM_USER + 1
constexpr int PATCH_ABORTED = 0;
constexpr int PATCH_PROGRESS = 1;
constexpr int PATCH_LATEST = 2;
constexpr int PATCH_FINISHED = 99;

// Message box styles and results, with the values of the Windows API.
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbOkCancel = 0x1;
constexpr unsigned kMbIconError = 0x10;
constexpr unsigned kMbIconExclamation = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

class IPatchView {
public:
    virtual ~IPatchView() = default;

    // The dialog caption. May be called from the worker (a title line run
    // during a run).
    virtual void SetCaption(const CString& text) = 0;
    // Shows the game folder in the folder display. Any thread.
    virtual void ShowGameFolder(const CString& folder) = 0;
    // The progress bar (dialog thread only).
    virtual void SetProgressRange(int maximum) = 0;
    virtual void SetProgressPos(int position) = 0;
    // The run button (dialog thread only).
    virtual void EnableRun(bool enable) = 0;
    virtual bool IsRunEnabled() = 0;
    // A message box; returns kIdOk or kIdCancel. One owned by the dialog is
    // shown from the dialog thread; one without owner may come from any
    // thread and blocks only that thread.
    virtual int ShowMessage(const CString& text, const CString& caption, unsigned style,
                            bool owned) = 0;
    // Posts WM_PATCH with a code and a value from any thread. The dialog
    // thread hands posted messages, in the order they were posted, to
    // CPatchEngine::OnPatchMessage.
    virtual void PostPatchMessage(int code, int value) = 0;
};
