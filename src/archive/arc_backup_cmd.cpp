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
    // Restore acts only on backups that exist; from here on, should anything
    // below fail, even the undoing, the restore after the run puts back what
    // is left.
    backedUp = 1;
    BackupProc("ARC");
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
    try {
        CopyBack(backup, original, named);
    } catch (...) {
        // The files are closed by now, so the backup can take the file's
        // place again.
        if (moved) {
            try {
                PutBack(extension);
            } catch (...) {
                // The restore after the run (or the next run) finishes it.
            }
        }
        throw;
    }
}

void ArcBackupCmd::CopyBack(const CString& backup, const CString& original, const CString& named) {
    CFileNormal in;
    if (Failed(in.Open(backup, platform::kGenericRead, platform::kShareRead,
                       platform::kOpenExisting))) {
        throw MessageError(text::kBackupOpenFailed, backup.c_str());
    }
    CFileNormal out;
    if (Failed(out.Open(original, platform::kGenericWrite, platform::kShareWrite,
                        platform::kCreateAlways))) {
        throw MessageError(text::kBackupOriginalOpenFailed, named.c_str());
    }
    std::vector<char> buffer(kChunk);
    uint32_t done = 0;
    do {
        if (Failed(in.Read(buffer.data(), kChunk, &done))) {
            throw MessageError(text::kBackupReadFailed, backup.c_str());
        }
        if (Failed(out.Write(buffer.data(), done))) {
            throw MessageError(text::kBackupWriteFailed, named.c_str());
        }
        owner->PostPatch(PATCH_PROGRESS, static_cast<int>(done));
    } while (done == kChunk);
    in.Close();
    if (Failed(out.Close())) throw MessageError(text::kBackupWriteFailed, named.c_str());
}

void ArcBackupCmd::PutBack(const char* extension) {
    const CString backup = BackupPath(extension);
    if (!PathExists(backup)) return;
    PutBackupBack(backup, OnDiskPath(extension));
}

void ArcBackupCmd::Restore() {
    if (!backedUp) return;
    // Both halves are tried; what could not be put back is said (and the
    // next run, which finds the backup left, puts the pair in order).
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
    const bool hadArc = PathExists(BackupPath("ARC")), hadAri = PathExists(BackupPath("ARI"));
    if (!hadArc && !hadAri) return;
    // A file missing beside its backup was cut off between the rename and
    // the copy: the backup is the file.
    for (const char* extension : {"ARC", "ARI"}) {
        if (PathExists(BackupPath(extension)) && !PathExists(OnDiskPath(extension))) {
            PutBack(extension);
        }
    }
    // A data file without this line's version is a pair that the cut-off run
    // had begun to change: this run's backup copies the left-over backups
    // back over it.
    const int32_t version = ScriptVersion(arg[2]);
    if (version <= 0 || TaggedVersion(FilePath("ARC")) < version) return;
    // Stamped, so the updates were all made (the stamp comes last). A pair
    // whose index still describes the whole data file is the patched pair,
    // its backups only waiting for the clean-up that the run never got to
    // (which stops at the game folder and its arc folder). A lone backup
    // beside a pair that no longer matches is the half that a failed
    // restore could not put back: it goes back too, and the run patches the
    // pair again.
    if (hadArc != hadAri && !IndexCoversData(FilePath("ARI"), FilePath("ARC"))) {
        PutBack(hadArc ? "ARC" : "ARI");
        return;
    }
    if (!CleanedUpAfterRun(arg[1])) return;
    for (const char* extension : {"ARC", "ARI"}) {
        const CString backup = BackupPath(extension);
        if (PathExists(backup)) RemoveBackup(backup);  // one it cannot delete stays
    }
}
