// The program's one dialog, apart from the window system: it hosts the patch
// engine, which shows everything through the IMainView, and holds the
// reactions to the dialog's buttons and messages. The Win32 dialog procedure
// only forwards to it.
#pragma once

#include "engine/patch_engine.h"
#include "engine/run_context.h"
#include "engine/types.h"

// What the dialog needs of its window: everything the engine shows (the
// run context), and the few things only the dialog itself asks for.
class IMainView : public IRunContext {
public:
    // Ends the modal dialog with a result.
    virtual void EndDialog(int result) = 0;
    // The shell's folder browser, owned by the dialog: kBrowse* below; the
    // chosen path in *chosen after kBrowseChosen.
    virtual int BrowseForFolder(const CString& title, const CString& initialFolder,
                                CString* chosen) = 0;
    // The ProductName of the program's own version information (empty when
    // it has none; a missing version resource is reported in a box).
    virtual CString ReadOwnProductName() = 0;
};

// Results of IMainView::BrowseForFolder.
constexpr int kBrowseChosen = 1;
constexpr int kBrowseCancelled = 2;
constexpr int kBrowseNotFileSystem = 3;

// Control ids of dialog template 129.
constexpr int kIdcRun = 1000;
constexpr int kIdcAbort = 1001;
constexpr int kIdcProgress = 1002;
constexpr int kIdcFolder = 1004;
constexpr int kIdcChooseFolder = 1005;
constexpr int kIddMain = 129;
constexpr int kIdiMain = 128;

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
