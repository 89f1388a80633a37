#include "engine/del_bak_cmd.h"

#include "platform/cp932.h"
#include "platform/platform.h"

void DelBakCmd::Exec() {
    CString base;
    GetGameDir(base);
    platform::IPlatform& os = platform::Current();
    for (const CString& pattern : patterns) {
        CString searchPath = base + pattern;
        if (searchPath.size() >= 260) continue;
        platform::FindData entry;
        std::unique_ptr<platform::IFileSearch> search = os.FindFirst(searchPath, &entry, nullptr);
        if (!search) continue;
        CString folder = searchPath.substr(0, platform::FindLastOf(searchPath, "\\/") + 1);
        do {
            if (entry.directory) continue;
            os.Remove(folder + entry.name);  // a backup that stays is no error
        } while (search->Next(&entry));
    }
}
