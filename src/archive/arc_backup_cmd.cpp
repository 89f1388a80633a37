#include "archive/arc_backup_cmd.h"

#include <vector>

#include "archive/archive_check.h"
#include "engine/backup_files.h"
#include "engine/errors.h"
#include "engine/patch_engine.h"
#include "engine/path_parts.h"
#include "engine/texts.h"
#include "fileio/file_ctl.h"
#include "fileio/file_normal.h"
#include "platform/cp932.h"
#include "replace/version_rules.h"

namespace {

constexpr uint32_t kChunk = 65536;

}  // namespace

CString ArcBackupCmd::FilePath(const char* extension) const {
    CString base;
    GetGameDir(base);
    return base + Stem(arg[1]) + "." + extension;
}

CString ArcBackupCmd::BackupPath(const char* extension) const {
    CString base;
    GetGameDir(base);
    return base + Stem(arg[1]) + "_" + extension + ".bak";
}

int ArcBackupCmd::Check() {
    return CheckArchiveVersion(*this, arg[1], arg[2], text::kUnexpectedFormat);
}

int ArcBackupCmd::Size() {
    int total = 0;
    for (const char* extension : {"ARC", "ARI"}) {
        CString path = FilePath(extension);
        CFileCtl file;
        if (Failed(file.Open(path))) {
            throw MessageError(text::kBackupSizeOpenFailed, path.c_str());
        }
        total += file.GetSize();
    }
    return total;
}

void ArcBackupCmd::Exec() {
    BackupProc("ARC");
    // From here on a backup exists: should anything below fail, even the
    // undoing, the restore after the run puts back what is left.
    backedUp = 1;
    try {
        BackupProc("ARI");
    } catch (...) {
        // Half a pair is no backup: the data file goes back as it was.
        try {
            PutBack("ARC");
        } catch (...) {
            // The restore after the run tries again and says so.
        }
        throw;
    }
}

CString ArcBackupCmd::OnDiskPath(const char* extension) {
    CString& known = onDisk_[CString(extension) == "ARC" ? 0 : 1];
    const CString path = FilePath(extension);
    platform::FindData found;
    if (platform::Current().FindFirst(path, &found, nullptr)) {
        size_t separator = platform::FindLastOf(path, "\\/");
        known = path.substr(0, separator + 1) + found.name;
    }
    return known.empty() ? path : known;
}

void ArcBackupCmd::BackupProc(const char* extension) {
    const CString original = OnDiskPath(extension);
    const CString named = FilePath(extension);  // how messages name it
    const CString backup = BackupPath(extension);
    // A read-only file, or one the game holds open, is left alone: its
    // backup could not take its place again.
    const bool exists = PathExists(original);
    if (exists && !CanChangeInPlace(original)) {
        throw MessageError(text::kBackupOriginalOpenFailed, named.c_str());
    }
    // When a backup of that name is left from before, the rename fails and
    // that backup is what is copied over the file; any other failure of an
    // existing file stops here, unchanged.
    bool moved = platform::Current().Rename(original, backup) == 0;
    if (!moved && exists && !PathExists(backup)) {
        throw MessageError(text::kBackupMakeFailed, named.c_str());
    }
    auto fail = [&](CFileNormal* in, CFileNormal* out, const char* message, const CString& path) {
        if (out) out->Close();
        if (in) in->Close();
        if (moved) {
            try {
                PutBack(extension);
            } catch (...) {
                // The restore after the run (or the next run) finishes it.
            }
        }
        throw MessageError(message, path.c_str());
    };

    CFileNormal in;
    if (Failed(in.Open(backup, platform::kGenericRead, platform::kShareRead,
                       platform::kOpenExisting))) {
        fail(nullptr, nullptr, text::kBackupOpenFailed, backup);
    }
    CFileNormal out;
    if (Failed(out.Open(original, platform::kGenericWrite, platform::kShareWrite,
                        platform::kCreateAlways))) {
        fail(&in, nullptr, text::kBackupOriginalOpenFailed, named);
    }
    std::vector<char> buffer(kChunk);
    uint32_t done = 0;
    do {
        if (Failed(in.Read(buffer.data(), kChunk, &done))) {
            fail(&in, &out, text::kBackupReadFailed, backup);
        }
        if (Failed(out.Write(buffer.data(), done))) {
            fail(&in, &out, text::kBackupWriteFailed, named);
        }
        owner->PostPatch(PATCH_PROGRESS, static_cast<int>(done));
    } while (done == kChunk);
    in.Close();
    if (Failed(out.Close())) fail(nullptr, nullptr, text::kBackupWriteFailed, named);
}

void ArcBackupCmd::PutBack(const char* extension) {
    const CString backup = BackupPath(extension);
    if (!PathExists(backup)) return;
    PutBackupBack(backup, OnDiskPath(extension));
}

void ArcBackupCmd::Restore() {
    if (!backedUp) return;
    // Both halves are tried; what could not be put back is said.
    CString failed;
    for (const char* extension : {"ARC", "ARI"}) {
        try {
            PutBack(extension);
        } catch (const CMessageError& error) {
            failed += (failed.empty() ? "" : "\n") + error.text;
        }
    }
    if (!failed.empty()) throw CMessageError{failed};
}

void ArcBackupCmd::Recover() {
    if (!PathExists(BackupPath("ARC")) && !PathExists(BackupPath("ARI"))) return;
    // A file missing beside its backup was cut off between the rename and
    // the copy: the backup is the file.
    for (const char* extension : {"ARC", "ARI"}) {
        if (PathExists(BackupPath(extension)) && !PathExists(OnDiskPath(extension))) {
            PutBack(extension);
        }
    }
    // A data file that carries this line's version has had all its updates
    // (the stamp comes last); its backups only wait for the clean-up that
    // the run never got to, and must not be copied back over it. Any other
    // left-over backup holds the pair from before the run that was cut off;
    // this run's backup copies it back over the half-changed files.
    const int32_t version = ScriptVersion(arg[2]);
    if (version > 0 && TaggedVersion(FilePath("ARC")) >= version && CleanedUpAfterRun(arg[1])) {
        for (const char* extension : {"ARC", "ARI"}) {
            const CString backup = BackupPath(extension);
            if (PathExists(backup)) RemoveBackup(backup);  // one it cannot delete stays
        }
    }
}
