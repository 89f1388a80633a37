#include "replace/copy_cmd.h"

#include <vector>

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
    if (PathExists(target)) {
        // When a backup of that name is left from before, the rename fails,
        // that backup stays, and the target is overwritten in place.
        platform::Current().Rename(target, BackupPath());
        backedUp = 1;
    }
    CFileNormal out;
    if (Failed(out.Open(target, platform::kGenericRead | platform::kGenericWrite,
                        platform::kShareRead, platform::kCreateAlways))) {
        throw MessageError(text::kCopyTargetOpenFailed, target.c_str());
    }
    std::vector<char> buffer(kChunk);
    uint32_t done = 0;
    do {
        if (Failed(payload.Read(buffer.data(), kChunk, &done))) {
            throw MessageError(text::kCopySourceReadFailed, arg[2].c_str());
        }
        if (Failed(out.Write(buffer.data(), done))) {
            throw MessageError(text::kCopyTargetWriteFailed, target.c_str());
        }
        owner->PostPatch(PATCH_PROGRESS, static_cast<int>(done));
    } while (done == kChunk);
    if (Failed(out.Close())) throw MessageError(text::kCopyTargetWriteFailed, target.c_str());
}

void CopyCmd::Restore() {
    if (!backedUp) return;
    const CString backup = BackupPath();
    if (!PathExists(backup)) return;
    CString base;
    GetGameDir(base);
    const CString target = base + arg[1];
    platform::IPlatform& os = platform::Current();
    if (PathExists(target)) os.Remove(target);
    os.Rename(backup, target);
}

void CopyCmd::DeleteBackup() {
    if (!backedUp) return;
    const CString backup = BackupPath();
    if (PathExists(backup)) platform::Current().Remove(backup);
}
