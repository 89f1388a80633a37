#include "engine/script_cmd.h"

#include "base/cp932.h"
#include "engine/run_context.h"

CString MakeGameDir(const CString& folder) {
    CString dir = folder;
    if (dir.size() >= 2) {
        size_t lastSeparator = cp932::FindLastOf(dir, "\\");
        if (lastSeparator != CString::npos && lastSeparator == dir.size() - 1) {
            size_t lastColon = cp932::FindLastOf(dir, ":");
            bool driveRoot =
                dir.size() >= 3 && lastColon != CString::npos && lastColon + 1 == lastSeparator;
            if (!driveRoot) dir.pop_back();
        }
    }
    return dir + "\\";
}

void ScriptCmd::GetGameDir(CString& out) const { out = MakeGameDir(owner->GetRunFolder()); }
