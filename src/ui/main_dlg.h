// The program's one dialog, apart from the window system: it hosts the patch
// engine, which shows everything through the IMainView, and holds the
// reactions to the dialog's buttons and messages. The Win32 dialog procedure
// only forwards to it.
#pragma once

#include "engine/patch_engine.h"
#include "ui/main_view.h"

class CMainDlg {
public:
    explicit CMainDlg(IMainView& view);
    ~CMainDlg();
    CMainDlg(const CMainDlg&) = delete;
    CMainDlg& operator=(const CMainDlg&) = delete;

    // WM_INITDIALOG, after the view has centred the dialog and set its
    // icons: the progress at 0, the script loaded, the first title and
    // regist run. On failure the program ends (after the error box).
    // Returns 0: no initial keyboard focus is chosen.
    int OnInitDialog();
    // WM_CLOSE: refused while a run is in progress; otherwise asks first.
    void OnClose();
    // WM_COMMAND from the run, abort and folder buttons.
    void OnRun();
    void OnAbort();
    void OnFolder();
    // WM_PATCH.
    int OnPatchMessage(int code, int value);

    CPatchEngine& Engine() { return engine_; }

private:
    IMainView& view_;
    CPatchEngine engine_;
};
