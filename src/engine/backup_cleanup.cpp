#include "engine/backup_cleanup.h"

#include <memory>

#include "base/cp932.h"
#include "platform/platform.h"

void DeleteMatchingFiles(const CString& gameDir, const std::vector<CString>& patterns) {
    platform::IFileSystem& os = platform::Files();
    for (const CString& pattern : patterns) {
        CString searchPath = gameDir + pattern;
        if (searchPath.size() >= 260) continue;
        platform::FindData entry;
        std::unique_ptr<platform::IFileSearch> search = os.FindFirst(searchPath, &entry, nullptr);
        if (!search) continue;
        CString folder = searchPath.substr(0, cp932::FindLastOf(searchPath, "\\/") + 1);
        do {
            if (entry.directory) continue;
            os.Remove(folder + entry.name);  // a backup that stays is no error
        } while (search->Next(&entry));
    }
}

const std::vector<CString>& FinishedRunBackupPatterns() {
    static const std::vector<CString> patterns = {"*.bak", "arc/*.bak"};
    return patterns;
}
