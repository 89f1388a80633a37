#include "archive/arc_backup_cmd.h"

#include <vector>

#include "archive/archive_check.h"
#include "archive/file_ctl.h"
#include "archive/texts.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "engine/backup_files.h"
#include "engine/backup_journal.h"
#include "engine/path_parts.h"
#include "engine/run_context.h"
#include "engine/texts.h"
#include "fileio/file_normal.h"

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

int64_t ArcBackupCmd::Size() {
    int64_t total = 0;
    for (const char* extension : {"ARC", "ARI"}) {
        CString path = FilePath(extension);
        CFileCtl file;
        if (Failed(file.Open(path))) {
            throw MessageError(text::kBackupSizeOpenFailed, path.c_str());
        }
        // The size on disk in full: a pair past 2 GiB must not wrap.
        platform::FindData found;
        if (platform::Files().FindFirst(path, &found, nullptr) && !found.directory) {
            total += static_cast<int64_t>(found.size);
        } else {
            total += file.GetSize();
        }
    }
    return total;
}

void ArcBackupCmd::Exec() {
    backups_.clear();
    try {
        BackupProc("ARC");
        BackupProc("ARI");
    } catch (...) {
        // Half a pair is no backup: what was set aside goes back now, as
        // far as the disk lets it (the restore after the run, or the next
        // run, puts back what is left).
        try {
            owner->Journal().PutBack(backups_);
        } catch (...) {
        }
        throw;
    }
    backedUp = 1;
}

CString ArcBackupCmd::OnDiskPath(const char* extension) {
    CString& known = onDisk_[CString(extension) == "ARC" ? 0 : 1];
    const CString path = FilePath(extension);
    platform::FindData found;
    if (platform::Files().FindFirst(path, &found, nullptr)) {
        size_t separator = cp932::FindLastOf(path, "\\/");
        known = path.substr(0, separator + 1) + found.name;
    }
    return known.empty() ? path : known;
}

void ArcBackupCmd::BackupProc(const char* extension) {
    const CString named = FilePath(extension);  // how messages name it
    if (!PathExists(named)) {
        // Nothing to set aside, so no backup to copy from.
        throw MessageError(text::kBackupOpenFailed, BackupPath(extension).c_str());
    }
    const CString original = OnDiskPath(extension);
    // One the game holds open is left alone: its backup could not take its
    // place again. A read-only one is moved like any other.
    if (!CanMoveAside(original)) {
        throw MessageError(text::kBackupOriginalOpenFailed, named.c_str());
    }
    // The journal knows of the backup before it exists; its name is this
    // backup's own, so nothing that held the name is copied or touched.
    const CString backup = owner->Journal().Reserve(original, BackupPath(extension));
    if (platform::Files().Rename(original, backup) != 0) {
        throw MessageError(text::kBackupMakeFailed, named.c_str());
    }
    backups_.push_back(backup);
    // From here on the restore (or the next run) puts it back.
    backedUp = 1;
    CopyBack(backup, original, named);
}

void ArcBackupCmd::CopyBack(const CString& backup, const CString& original, const CString& named) {
    CFileNormal in;
    if (Failed(in.Open(backup, platform::kGenericRead, platform::kShareRead,
                       platform::kOpenExisting))) {
        throw MessageError(text::kBackupOpenFailed, backup.c_str());
    }
    CFileNormal out;
    if (Failed(out.Open(original, platform::kGenericWrite, platform::kShareWrite,
                        platform::kCreateNew))) {
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
        owner->ReportProgress(static_cast<int>(done));
    } while (done == kChunk);
    in.Close();
    // On the disk before the run can commit to it.
    if (Failed(out.Flush()) || Failed(out.Close())) {
        throw MessageError(text::kBackupWriteFailed, named.c_str());
    }
}

void ArcBackupCmd::Restore() {
    if (!backedUp) return;
    owner->Journal().PutBack(backups_);
}
