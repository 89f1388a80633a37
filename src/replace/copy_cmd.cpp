#include "replace/copy_cmd.h"

#include <vector>

#include "engine/backup_files.h"
#include "engine/errors.h"
#include "engine/patch_engine.h"
#include "engine/path_parts.h"
#include "engine/texts.h"
#include "fileio/file_normal.h"
#include "fileio/file_resource.h"
#include "platform/cp932.h"
#include "replace/version.h"
#include "replace/version_rules.h"

namespace {

constexpr uint32_t kChunk = 65536;

}  // namespace

CString CopyCmd::BackupPath() const {
    CString base;
    GetGameDir(base);
    CString extension = platform::LowerCased(Extension(arg[1]));
    if (extension == "arc" || extension == "ari") {
        return base + Stem(arg[1]) + "_" + extension + ".bak";
    }
    return base + Stem(arg[1]) + ".bak";
}

int CopyCmd::Check() {
    int32_t version = ScriptVersion(arg[4]);
    if (version == 0) return 1;  // no check: always copied
    CString base;
    GetGameDir(base);
    CString extension = platform::LowerCased(Extension(arg[1]));
    if (extension == "arc" || extension == "ari") {
        if (GetResourceArcVersion(arg[2], arg[3]) != version) {
            throw MessageError(text::kCopyWrongVersion, arg[2].c_str());
        }
        // An index is judged by the data file beside it.
        CString installed = extension == "arc" ? base + arg[1] : base + Stem(arg[1]) + ".arc";
        return PathExists(installed) && GetFileArcVersion(installed) >= version ? 0 : 1;
    }
    if (extension == "exe") {
        CVersion installed(owner->View(), base + arg[1]);
        return IsExeUpToDate(installed.GetFileVersion(), arg[4]) ? 0 : 1;
    }
    throw MessageError(text::kUnexpectedFormat, arg[1].c_str());
}

int CopyCmd::Size() {
    FileResource payload;
    if (Failed(payload.Open(arg[2], arg[3]))) {
        throw MessageError(text::kCopySizeOpenFailed, arg[2].c_str());
    }
    return static_cast<int>(payload.GetSize());
}

void CopyCmd::Exec() {
    FileResource payload;
    if (Failed(payload.Open(arg[2], arg[3]))) {
        throw MessageError(text::kCopySourceOpenFailed, arg[2].c_str());
    }
    CString base;
    GetGameDir(base);
    const CString target = base + arg[1];
    platform::IPlatform& os = platform::Current();
    // Without a backup the target must not exist when it is created, so a
    // file that a failed search or a failed rename kept in place is never
    // truncated.
    uint32_t disposition = platform::kCreateNew;
    if (PathExists(target)) {
        // A read-only file, or one the game holds open, is left alone.
        if (!CanChangeInPlace(target)) {
            throw MessageError(text::kCopyTargetOpenFailed, target.c_str());
        }
        const CString backup = BackupPath();
        if (os.Rename(target, backup) != 0) {
            // A backup left from before stays as it is and the target is
            // overwritten in place; any other failure stops here, unchanged.
            if (!PathExists(backup)) throw MessageError(text::kBackupMakeFailed, target.c_str());
            disposition = platform::kCreateAlways;
        }
        backedUp = 1;
    }
    CFileNormal out;
    if (Failed(out.Open(target, platform::kGenericRead | platform::kGenericWrite,
                        platform::kShareRead, disposition))) {
        throw MessageError(text::kCopyTargetOpenFailed, target.c_str());
    }
    auto read = [&](std::vector<char>& buffer, uint32_t* done) {
        if (Failed(payload.Read(buffer.data(), kChunk, done))) {
            throw MessageError(text::kCopySourceReadFailed, arg[2].c_str());
        }
        owner->PostPatch(PATCH_PROGRESS, static_cast<int>(*done));
    };
    auto write = [&](const std::vector<char>& buffer, uint32_t count) {
        if (Failed(out.Write(buffer.data(), count))) {
            throw MessageError(text::kCopyTargetWriteFailed, target.c_str());
        }
    };
    // The first block goes in last: until the copy is complete the file
    // starts with zeros, so a copy cut off by a crash never carries the
    // version that would make a later run take it for done.
    std::vector<char> head(kChunk);
    uint32_t headSize = 0;
    read(head, &headSize);
    if (headSize == kChunk) {
        int32_t high = 0;
        if (out.Seek(static_cast<int32_t>(kChunk), &high, platform::kFileBegin) ==
            platform::kInvalidSetFilePointer) {
            throw MessageError(text::kCopyTargetWriteFailed, target.c_str());
        }
        std::vector<char> buffer(kChunk);
        uint32_t done = 0;
        do {
            read(buffer, &done);
            write(buffer, done);
        } while (done == kChunk);
        high = 0;
        if (out.Seek(0, &high, platform::kFileBegin) == platform::kInvalidSetFilePointer) {
            throw MessageError(text::kCopyTargetWriteFailed, target.c_str());
        }
    }
    write(head, headSize);
    if (Failed(out.Close())) throw MessageError(text::kCopyTargetWriteFailed, target.c_str());
}

void CopyCmd::Restore() {
    if (!backedUp) return;
    const CString backup = BackupPath();
    if (!PathExists(backup)) return;
    CString base;
    GetGameDir(base);
    PutBackupBack(backup, base + arg[1]);
}

void CopyCmd::DeleteBackup() {
    if (!backedUp) return;
    const CString backup = BackupPath();
    if (PathExists(backup)) platform::Current().Remove(backup);
}

void CopyCmd::Recover() {
    const CString backup = BackupPath();
    if (!PathExists(backup)) return;
    CString base;
    GetGameDir(base);
    const CString target = base + arg[1];
    if (!PathExists(target)) {
        // Cut off between the rename and the copy: the backup is the file.
        PutBackupBack(backup, target);
    } else if (CleanedUpAfterRun(arg[1]) && HoldsPayload(target, arg[2], arg[3])) {
        // The copy was complete but the run never got to its clean-up, which
        // would have deleted the backup (and, like it, leaves one it cannot).
        RemoveBackup(backup);
    }
    // Otherwise the target is a copy cut off part way (its first block is
    // still zeros) or a file from before: the run copies over it and keeps
    // the backup, which the clean-up or the restore deal with.
}
