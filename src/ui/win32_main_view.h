// The main dialog as a Win32 dialog over template 129: the dialog procedure
// that routes messages to CMainDlg, and the window operations it asks for.
// Every text goes to the window as UTF-16 converted from CP932, so the
// dialog reads the same under any system code page.
#pragma once

#include <windows.h>

#include "ui/main_view.h"

class CMainDlg;

class CWin32MainView : public IMainView {
public:
    explicit CWin32MainView(HINSTANCE instance);
    ~CWin32MainView() override;
    CWin32MainView(const CWin32MainView&) = delete;
    CWin32MainView& operator=(const CWin32MainView&) = delete;

    // Shows the dialog modally over `owner` (may be null) with `dialog`
    // handling its messages; returns the dialog's result.
    INT_PTR Run(CMainDlg& dialog, HWND owner);

    void SetCaption(const CString& text) override;
    void ShowGameFolder(const CString& folder) override;
    void SetProgressRange(int maximum) override;
    void SetProgressPos(int position) override;
    void EnableRun(bool enable) override;
    bool IsRunEnabled() override;
    int ShowMessage(const CString& text, const CString& caption, unsigned style,
                    bool owned) override;
    void PostPatchMessage(int code, int value) override;
    void EndDialog(int result) override;
    int BrowseForFolder(const CString& title, const CString& initialFolder,
                        CString* chosen) override;
    CString ReadOwnProductName() override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CenterOverOwner();
    void SetIcons();

    HINSTANCE instance_;
    HWND window_ = nullptr;
    CMainDlg* dialog_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
};
