// The dialog's window as the dialog sees it, and the ids of its template
// and controls: what the Win32 view implements and the folder chooser uses,
// without either knowing the dialog.
#pragma once

#include "base/types.h"
#include "engine/patch_view.h"

// What the dialog needs of its window: everything the engine shows (the
// patch view), and the few things only the dialog itself asks for.
class IMainView : public IPatchView {
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
