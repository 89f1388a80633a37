#include "replace/copy_cmd.h"

#include <vector>

#include "archive/arc_version.h"
#include "archive/texts.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "engine/backup_files.h"
#include "engine/path_parts.h"
#include "engine/run_context.h"
#include "engine/script_version.h"
#include "engine/texts.h"
#include "fileio/file_normal.h"
#include "fileio/file_resource.h"
#include "replace/texts.h"
#include "replace/version.h"
#include "replace/version_rules.h"

namespace {

constexpr uint32_t kChunk = 65536;

}  // namespace

CString CopyCmd::BackupPath() const {
    CString base;
    GetGameDir(base);
    CString extension = cp932::LowerCased(Extension(arg[1]));
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
    CString extension = cp932::LowerCased(Extension(arg[1]));
    if (extension == "arc" || extension == "ari") {
        if (GetResourceArcVersion(*owner, arg[2], arg[3]) != version) {
            throw MessageError(text::kCopyWrongVersion, arg[2].c_str());
        }
        // An index is judged by the data file beside it.
        CString installed = extension == "arc" ? base + arg[1] : base + Stem(arg[1]) + ".arc";
        return PathExists(installed) && GetFileArcVersion(*owner, installed) >= version ? 0 : 1;
    }
    if (extension == "exe") {
        CVersion installed(owner->View(), base + arg[1]);
        // A version that could not be read is no answer: it stops the run.
        if (installed.Unreadable()) {
            throw MessageError(text::kVersionInfoReadFailed, (base + arg[1]).c_str());
        }
        return IsExeUpToDate(installed.GetFileVersion(), arg[4]) ? 0 : 1;
    }
    throw MessageError(text::kUnexpectedFormat, arg[1].c_str());
}

int64_t CopyCmd::Size() {
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
    CBackupJournal& journal = owner->Journal();
    backups_.clear();
    if (PathExists(target)) {
        // One the game holds open is left alone: its backup could not take
        // its place again.
        if (!CanMoveAside(target)) throw MessageError(text::kCopyTargetOpenFailed, target.c_str());
        // The journal knows of the backup before it exists, and its name is
        // this backup's own: nothing that held the name is touched.
        const CString backup = journal.Reserve(target, BackupPath());
        if (platform::Files().Rename(target, backup) != 0) {
            throw MessageError(text::kBackupMakeFailed, target.c_str());
        }
        backups_.push_back(backup);
        backedUp = 1;
    }
    // The target is made anew, never truncated: a file that a failed search
    // or a failed rename kept in place cannot lose its bytes.
    CFileNormal out;
    if (Failed(out.Open(target, platform::kGenericRead | platform::kGenericWrite,
                        platform::kShareRead, platform::kCreateNew))) {
        throw MessageError(text::kCopyTargetOpenFailed, target.c_str());
    }
    if (backups_.empty()) journal.NoteNewFile(target);
    auto read = [&](std::vector<char>& buffer, uint32_t* done) {
        if (Failed(payload.Read(buffer.data(), kChunk, done))) {
            throw MessageError(text::kCopySourceReadFailed, arg[2].c_str());
        }
        owner->ReportProgress(static_cast<int>(*done));
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
    // On the disk before the run can commit to it.
    if (Failed(out.Flush()) || Failed(out.Close())) {
        throw MessageError(text::kCopyTargetWriteFailed, target.c_str());
    }
}

void CopyCmd::Restore() {
    if (!backedUp) return;
    owner->Journal().PutBack(backups_);
}

void CopyCmd::DeleteBackup() {
    if (!backedUp) return;
    for (const CString& backup : backups_) {
        if (PathExists(backup)) platform::Files().Remove(backup);
    }
}
