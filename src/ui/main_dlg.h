// The program's one dialog, apart from the window system: it hosts the patch
// engine, answers the engine's requests through IMainView, and holds the
// reactions to the dialog's buttons and messages. The Win32 dialog procedure
// only forwards to it.
#pragma once

#include "engine/patch_engine.h"
#include "engine/run_context.h"
#include "engine/types.h"

// What the dialog needs of its window.
class IMainView {
public:
    virtual ~IMainView() = default;

    // The caption. Any thread.
    virtual void SetCaption(const CString& text) = 0;
    // The folder display (static 1004). Any thread.
    virtual void SetFolderText(const CString& folder) = 0;
    // The progress bar (control 1002), dialog thread.
    virtual void SetProgressRange(int maximum) = 0;
    virtual void SetProgressPos(int position) = 0;
    // The run button (1000), dialog thread.
    virtual void EnableRun(bool enable) = 0;
    virtual bool IsRunEnabled() = 0;
    // A message box owned by the dialog, or without owner (any thread).
    // Returns kIdOk or kIdCancel.
    virtual int ShowMessage(const CString& text, const CString& caption, unsigned style,
                            bool owned) = 0;
    // Posts WM_PATCH to the dialog. Any thread.
    virtual void PostPatchMessage(int code, int value) = 0;
    // Ends the modal dialog with a result.
    virtual void EndDialog(int result) = 0;
    // The shell's folder browser, owned by the dialog: kBrowse* below; the
    // chosen path in *chosen after kBrowseChosen.
    virtual int BrowseForFolder(const CString& title, const CString& initialFolder,
                                CString* chosen) = 0;
    // The ProductName of the program's own version information (empty when
    // it has none). `context` reports a missing version resource.
    virtual CString ReadOwnProductName(IRunContext& context) = 0;
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

class CMainDlg : public IRunContext {
public:
    explicit CMainDlg(IMainView& view);
    ~CMainDlg() override;
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

    // IRunContext: what the engine asks of the window.
    void SetCaption(const CString& text) override;
    void ShowGameFolder(const CString& folder) override;
    void SetProgressRange(int maximum) override;
    void SetProgressPos(int position) override;
    void EnableRun(bool enable) override;
    bool IsRunEnabled() override;
    int ShowMessage(const CString& text, const CString& caption, unsigned style,
                    bool owned) override;
    void PostPatchMessage(int code, int value) override;

private:
    IMainView& view_;
    CPatchEngine engine_;
};
