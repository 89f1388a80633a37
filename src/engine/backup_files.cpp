#include "engine/backup_files.h"

#include <cstring>
#include <memory>
#include <vector>

#include "engine/errors.h"
#include "engine/path_parts.h"
#include "engine/texts.h"
#include "fileio/file_resource.h"
#include "platform/cp932.h"
#include "platform/platform.h"

bool CanChangeInPlace(const CString& path) {
    // The attribute itself, since a system may let an administrator open a
    // read-only file for writing all the same.
    platform::FindData found;
    uint32_t error = 0;
    if (platform::Current().FindFirst(path, &found, &error) && found.read_only) return false;
    std::unique_ptr<platform::IOsFile> file = platform::Current().OpenFile(
        path, platform::kGenericWrite,
        platform::kShareRead | platform::kShareWrite | platform::kShareDelete,
        platform::kOpenExisting, &error);
    return file != nullptr;  // nothing was written, so closing cannot lose anything
}

namespace {

// Whether two files hold the same bytes; false when either cannot be read.
bool SameBytes(const CString& a, const CString& b) {
    platform::IPlatform& os = platform::Current();
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
    platform::IPlatform& os = platform::Current();
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

bool RemoveBackup(const CString& backup) { return platform::Current().Remove(backup) == 0; }

bool HoldsPayload(const CString& path, const CString& name, const CString& type) {
    FileResource payload;
    if (Failed(payload.Open(name, type))) return false;
    // The bytes as they lie on disk, whatever kind of file this is.
    uint32_t error = 0;
    std::unique_ptr<platform::IOsFile> file = platform::Current().OpenFile(
        path, platform::kGenericRead, platform::kShareRead, platform::kOpenExisting, &error);
    if (!file) return false;
    const uint32_t size = payload.GetSize();
    uint32_t high = 0;
    if (file->Size(&high, &error) != size || high != 0 || error != 0) return false;
    const uint8_t* expected = payload.GetData();
    std::vector<char> buffer(65536);
    uint32_t offset = 0;
    while (offset < size) {
        uint32_t done = 0;
        if (file->Read(buffer.data(), static_cast<uint32_t>(buffer.size()), &done) != 0 ||
            done == 0 || done > size - offset ||
            std::memcmp(buffer.data(), expected + offset, done) != 0) {
            return false;
        }
        offset += done;
    }
    return true;
}

bool CleanedUpAfterRun(const CString& relativePath) {
    size_t separator = platform::FindLastOf(relativePath, "\\/");
    if (separator == CString::npos) return true;
    return platform::LowerCased(relativePath.substr(0, separator)) == "arc";
}
