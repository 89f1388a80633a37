// The shell's folder browser: shows it with a title, opens it on a folder,
// and hands back the chosen file-system path.
#pragma once

#include <windows.h>

#include "base/types.h"

class CSelectFolder {
public:
    CSelectFolder();
    virtual ~CSelectFolder();

    // 1 (kBrowseChosen): a file-system folder was chosen, Path() holds it;
    // 2 (kBrowseCancelled): the browser was cancelled or closed;
    // 3 (kBrowseNotFileSystem): the choice has no file-system path, or one
    // that cannot be told in CP932. Needs COM on the calling thread.
    int Browse(HWND owner, const CString& title, const CString& initialFolder);

    // The chosen path, CP932, after result 1.
    const CString& Path() const { return path_; }

private:
    wchar_t buffer_[MAX_PATH];
    CString path_;
};
