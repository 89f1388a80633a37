#include "ui/main_dlg.h"

#include "ui/texts.h"
#include "wiring/patch_commands.h"

namespace {

// The format's one "%s" replaced by `value`. A '%' is never the second byte
// of a CP932 character, so the search cannot land inside one.
CString FormatOne(const char* format, const CString& value) {
    CString result(format);
    CString::size_type at = result.find("%s");
    if (at != CString::npos) result.replace(at, 2, value);
    return result;
}

}  // namespace

CMainDlg::CMainDlg(IMainView& view) : view_(view), engine_(view, PatchCommands()) {}

// The engine waits for a worker that is still ending.
CMainDlg::~CMainDlg() = default;

int CMainDlg::OnInitDialog() {
    view_.SetProgressPos(0);
    // Start empties and shows the folder, then loads the script and runs
    // the first title and regist; it has shown the reason when it fails.
    if (!engine_.Start()) view_.EndDialog(0);
    return 0;
}

void CMainDlg::OnClose() {
    if (!view_.IsRunEnabled()) return;  // a run is in progress
    CString question = FormatOne(text::kConfirmCloseFormat, view_.ReadOwnProductName());
    if (view_.ShowMessage(question, text::kCaptionConfirmClose, kMbOkCancel, true) == kIdOk) {
        view_.EndDialog(0);
    }
}

void CMainDlg::OnRun() {
    // The disabled button is the guard against a second worker; Enter on
    // the default button must not get past it either.
    if (!view_.IsRunEnabled()) return;
    engine_.OnRun();
}

void CMainDlg::OnAbort() { engine_.SetAbort(1); }

void CMainDlg::OnFolder() {
    CString chosen;
    switch (view_.BrowseForFolder(text::kFolderBrowserTitle, engine_.GetGameFolder(), &chosen)) {
        case kBrowseChosen:
            engine_.SetGameFolder(chosen);
            engine_.ShowGameFolder();
            break;
        case kBrowseNotFileSystem:
            view_.ShowMessage(text::kFolderNotSelected, text::kCaptionFolderError,
                              kMbOk | kMbIconInformation, true);
            break;
        default:  // cancelled
            break;
    }
}

int CMainDlg::OnPatchMessage(int code, int value) { return engine_.OnPatchMessage(code, value); }
