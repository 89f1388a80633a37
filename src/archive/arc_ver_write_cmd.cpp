#include "archive/arc_ver_write_cmd.h"

#include "archive/arc_format.h"
#include "archive/archive_check.h"
#include "archive/texts.h"
#include "base/errors.h"
#include "engine/script_version.h"
#include "fileio/file_normal.h"

int ArcVerWriteCmd::Check() {
    return CheckArchiveVersion(*this, arg[1], arg[2], text::kUnexpectedFormat);
}

void ArcVerWriteCmd::Exec() {
    CString base;
    GetGameDir(base);
    const CString path = base + arg[1];
    CFileNormal file;
    if (Failed(file.Open(path, platform::kGenericRead | platform::kGenericWrite,
                         platform::kShareRead, platform::kOpenExisting))) {
        throw MessageError(text::kVersionWriteOpenFailed, path.c_str());
    }
    int32_t version = ScriptVersion(arg[2]);
    if (version == 0) return;  // nothing to write
    const CString tag = arc::VersionTag(version);
    // On the disk before the run can commit to it.
    if (Failed(file.Write(tag.data(), arc::kTagSize)) || Failed(file.Flush()) ||
        Failed(file.Close())) {
        throw MessageError(text::kVersionWriteFailed, path.c_str());
    }
}
