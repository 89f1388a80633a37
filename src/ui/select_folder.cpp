#include "ui/select_folder.h"

#include <shlobj.h>

#include <cwchar>
#include <string>

#include "platform/win32/win32_text.h"
#include "ui/main_view.h"

namespace {

// Opens the browser on the initial folder; `data` is its wide text.
int CALLBACK SelectInitialFolder(HWND browser, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data != 0) {
        // Twice. Wine matches the path's folders with the tree's items by
        // their whole item ids, access times included, and its first look
        // at the path reads those folders, which can move their access
        // times: the first selection then finds no match and the browser
        // stays on the desktop. The second matches. Windows just selects
        // the same folder again.
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
    }
    return 0;
}

}  // namespace

CSelectFolder::CSelectFolder() { std::wmemset(buffer_, 0, MAX_PATH); }

CSelectFolder::~CSelectFolder() = default;

int CSelectFolder::Browse(HWND owner, const CString& title, const CString& initialFolder) {
    std::wstring wideTitle;
    std::wstring wideInitial;
    if (!platform::WideFromCp932(title, &wideTitle)) wideTitle.clear();
    if (!platform::WideFromCp932(initialFolder, &wideInitial)) wideInitial.clear();

    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;  // from the desktop
    info.pszDisplayName = buffer_;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = SelectInitialFolder;
    // An empty folder preselects nothing: the browser opens where it likes.
    info.lParam = wideInitial.empty() ? 0 : reinterpret_cast<LPARAM>(wideInitial.c_str());

    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item) return kBrowseCancelled;
    if (!SHGetPathFromIDListW(item, buffer_)) {
        CoTaskMemFree(item);
        return kBrowseNotFileSystem;
    }
    CoTaskMemFree(item);
    // The engine works on CP932 paths: one that CP932 cannot spell is no
    // usable folder.
    if (!platform::Cp932FromWide(buffer_, std::wcslen(buffer_), &path_)) {
        path_.clear();
        return kBrowseNotFileSystem;
    }
    return kBrowseChosen;
}
