#include "engine/regist_cmd.h"

#include "engine/registry.h"
#include "engine/run_context.h"
#include "engine/texts.h"

void RegistCmd::Exec() {
    CRegistry registry(arg[1]);
    owner->SetGameFolder(CString());
    if (registry.Exists()) {
        char buffer[260];
        if (registry.GetString(text::kRegistValueName, buffer, sizeof buffer)) {
            owner->SetGameFolder(buffer);
        }
    } else {
        owner->View().ShowMessage(text::kGameNotInstalled, text::kCaptionNotice,
                                  kMbOk | kMbIconInformation, false);
    }
    owner->ShowGameFolder();
}
