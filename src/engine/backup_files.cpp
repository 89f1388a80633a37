#include "engine/backup_files.h"

#include <cstring>
#include <memory>
#include <vector>

#include "base/cp932.h"
#include "base/errors.h"
#include "engine/path_parts.h"
#include "engine/texts.h"
#include "platform/platform.h"

bool CanMoveAside(const CString& path) {
    uint32_t error = 0;
    std::unique_ptr<platform::IOsFile> file = platform::Files().OpenFile(
        path, platform::kGenericRead,
        platform::kShareRead | platform::kShareWrite | platform::kShareDelete,
        platform::kOpenExisting, &error);
    return file != nullptr;  // nothing was written, so closing cannot lose anything
}

namespace {

// Whether two files hold the same bytes; false when either cannot be read.
bool SameBytes(const CString& a, const CString& b) {
    platform::IFileSystem& os = platform::Files();
    uint32_t error = 0;
    auto open = [&](const CString& path) {
        return os.OpenFile(path, platform::kGenericRead,
                           platform::kShareRead | platform::kShareWrite | platform::kShareDelete,
                           platform::kOpenExisting, &error);
    };
    std::unique_ptr<platform::IOsFile> first = open(a), second = open(b);
    if (!first || !second) return false;
    std::vector<char> left(65536), right(65536);
    for (;;) {
        uint32_t leftDone = 0, rightDone = 0;
        if (first->Read(left.data(), static_cast<uint32_t>(left.size()), &leftDone) != 0 ||
            second->Read(right.data(), static_cast<uint32_t>(right.size()), &rightDone) != 0 ||
            leftDone != rightDone || std::memcmp(left.data(), right.data(), leftDone) != 0) {
            return false;
        }
        if (leftDone == 0) return true;
    }
}

}  // namespace

void PutBackupBack(const CString& backup, const CString& original) {
    platform::IFileSystem& os = platform::Files();
    if (PathExists(original) && os.Remove(original) != 0) {
        // Held by another program, say; if it is the backup's copy still,
        // there is nothing to put back.
        if (SameBytes(original, backup) && os.Remove(backup) == 0) return;
        throw MessageError(text::kBackupRestoreFailed, backup.c_str());
    }
    if (os.Rename(backup, original) != 0) {
        throw MessageError(text::kBackupRestoreFailed, backup.c_str());
    }
}
