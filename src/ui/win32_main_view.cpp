#include "ui/win32_main_view.h"

#include <commctrl.h>

#include <string>

#include "platform/win32/win32_text.h"
#include "replace/version.h"
#include "ui/main_dlg.h"
#include "ui/select_folder.h"

namespace {

// CP932 to UTF-16 for the window; a text that is no valid CP932 shows as
// much as converts byte by byte (never garbage from the system code page).
std::wstring Wide(const CString& text) {
    std::wstring wide;
    if (platform::WideFromCp932(text, &wide)) return wide;
    wide.clear();
    for (unsigned char c : text) wide.push_back(c < 0x80 ? static_cast<wchar_t>(c) : L'?');
    return wide;
}

}  // namespace

CWin32MainView::CWin32MainView(HINSTANCE instance) : instance_(instance) {}

CWin32MainView::~CWin32MainView() {
    if (bigIcon_) DestroyIcon(bigIcon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
}

INT_PTR CWin32MainView::Run(CMainDlg& dialog, HWND owner) {
    dialog_ = &dialog;
    // The wide form: the template's texts are UTF-16 and stay so.
    INT_PTR result = DialogBoxParamW(instance_, MAKEINTRESOURCEW(kIddMain), owner, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    return result;
}

INT_PTR CALLBACK CWin32MainView::DialogProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    CWin32MainView* view;
    if (message == WM_INITDIALOG) {
        view = reinterpret_cast<CWin32MainView*>(lParam);
        view->window_ = window;
        SetWindowLongPtrW(window, DWLP_USER, lParam);
    } else {
        view = reinterpret_cast<CWin32MainView*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!view || !view->dialog_) return FALSE;
    return view->HandleMessage(message, wParam, lParam);
}

INT_PTR CWin32MainView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            CenterOverOwner();
            SetIcons();
            // FALSE: the dialog manager chooses no initial focus.
            return dialog_->OnInitDialog() != 0;
        case WM_CLOSE:
            dialog_->OnClose();
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kIdcRun:
                    dialog_->OnRun();
                    return TRUE;
                case kIdcAbort:
                    dialog_->OnAbort();
                    return TRUE;
                case kIdcChooseFolder:
                    dialog_->OnFolder();
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_PATCH:
            dialog_->OnPatchMessage(static_cast<int>(wParam), static_cast<int>(lParam));
            return TRUE;
        default:
            return FALSE;
    }
}

void CWin32MainView::CenterOverOwner() {
    RECT work;
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    RECT area = work;
    HWND owner = GetWindow(window_, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &area);

    RECT own;
    GetWindowRect(window_, &own);
    LONG width = own.right - own.left;
    LONG height = own.bottom - own.top;
    LONG x = area.left + (area.right - area.left - width) / 2;
    LONG y = area.top + (area.bottom - area.top - height) / 2;
    // Keep the whole dialog on the work area.
    if (x + width > work.right) x = work.right - width;
    if (y + height > work.bottom) y = work.bottom - height;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWin32MainView::SetIcons() {
    bigIcon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kIdiMain), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    smallIcon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kIdiMain), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    if (bigIcon_) SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    if (smallIcon_) {
        SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    }
}

// Called from the worker as well: SetWindowTextW and SetDlgItemTextW hand
// the change to the dialog's thread.
void CWin32MainView::SetCaption(const CString& text) {
    SetWindowTextW(window_, Wide(text).c_str());
}

void CWin32MainView::ShowGameFolder(const CString& folder) {
    SetDlgItemTextW(window_, kIdcFolder, Wide(folder).c_str());
}

void CWin32MainView::SetProgressRange(int maximum) {
    SendDlgItemMessageW(window_, kIdcProgress, PBM_SETRANGE32, 0, maximum);
}

void CWin32MainView::SetProgressPos(int position) {
    SendDlgItemMessageW(window_, kIdcProgress, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void CWin32MainView::EnableRun(bool enable) {
    HWND button = GetDlgItem(window_, kIdcRun);
    // A disabled button keeps no focus: hand it to the abort button so the
    // keyboard still reaches the dialog.
    if (!enable && GetFocus() == button) {
        SendMessageW(window_, WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(GetDlgItem(window_, kIdcAbort)), TRUE);
    }
    EnableWindow(button, enable ? TRUE : FALSE);
}

bool CWin32MainView::IsRunEnabled() { return IsWindowEnabled(GetDlgItem(window_, kIdcRun)) != 0; }

int CWin32MainView::ShowMessage(const CString& text, const CString& caption, unsigned style,
                                bool owned) {
    // One without owner may come from the worker; it blocks only that thread.
    return MessageBoxW(owned ? window_ : nullptr, Wide(text).c_str(), Wide(caption).c_str(), style);
}

void CWin32MainView::PostPatchMessage(int code, int value) {
    PostMessageW(window_, WM_PATCH, static_cast<WPARAM>(code), static_cast<LPARAM>(value));
}

void CWin32MainView::EndDialog(int result) { ::EndDialog(window_, result); }

int CWin32MainView::BrowseForFolder(const CString& title, const CString& initialFolder,
                                    CString* chosen) {
    CSelectFolder select;
    int result = select.Browse(window_, title, initialFolder);
    if (result == kBrowseChosen) *chosen = select.Path();
    return result;
}

CString CWin32MainView::ReadOwnProductName() {
    CVersion version(*this);
    return version.GetProductName();
}
