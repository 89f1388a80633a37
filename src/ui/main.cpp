// The program's entry: COM for the folder browser, the common controls for
// the progress bar, then the main dialog, modal. The exit code is always 0.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <objbase.h>

#include "ui/main_dlg.h"
#include "ui/win32_main_view.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    HRESULT com = CoInitialize(nullptr);

    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);

    {
        CWin32MainView view(instance);
        CMainDlg dialog(view);
        view.Run(dialog, GetActiveWindow());
    }

    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}
