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

void PutBackupBack(const CString& backup, const CString& original) {
    platform::IPlatform& os = platform::Current();
    if (PathExists(original) && os.Remove(original) != 0) {
        throw MessageError(text::kBackupRestoreFailed, backup.c_str());
    }
    if (os.Rename(backup, original) != 0) {
        throw MessageError(text::kBackupRestoreFailed, backup.c_str());
    }
}

void RemoveBackup(const CString& backup) {
    if (platform::Current().Remove(backup) != 0) {
        throw MessageError(text::kBackupRestoreFailed, backup.c_str());
    }
}

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
