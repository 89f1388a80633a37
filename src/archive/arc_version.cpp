#include "archive/arc_version.h"

#include "archive/arc_format.h"
#include "archive/file_ctl.h"
#include "archive/texts.h"
#include "base/errors.h"
#include "engine/error_box.h"
#include "engine/path_parts.h"
#include "fileio/file_resource.h"

int GetFileArcVersion(IRunContext& context, const CString& path) {
    CFileCtl file;
    if (Failed(file.Open(path))) {
        // A file that is there but cannot be opened (held, a failing disk)
        // gives no answer, and no answer may count as older: it stops the
        // run. Only a file that is not there is the version -1.
        if (PathExists(path)) throw MessageError(text::kVersionOpenFailed, path.c_str());
        ErrorBox(context.View(), text::kVersionOpenFailed, path.c_str());
        return -1;
    }
    char tag[arc::kTagSize];
    uint32_t done = 0;
    if (Failed(file.Read(tag, arc::kTagSize, &done))) {
        throw MessageError(text::kVersionReadFailed, path.c_str());
    }
    if (done != arc::kTagSize) {
        // A file shorter than its tag has no version to read.
        ErrorBox(context.View(), text::kVersionReadFailed, path.c_str());
        return -1;
    }
    file.Close();
    return arc::ReadVersionTag(tag);
}

int GetResourceArcVersion(IRunContext& context, const CString& name, const CString& type) {
    FileResource payload;
    if (Failed(payload.Open(name, type)))
        throw MessageError(text::kCopySourceOpenFailed, name.c_str());
    char tag[arc::kTagSize];
    uint32_t done = 0;
    if (Failed(payload.Read(tag, arc::kTagSize, &done)) || done != arc::kTagSize) {
        ErrorBox(context.View(), text::kVersionReadFailed, name.c_str());
        return -1;
    }
    return arc::ReadVersionTag(tag);
}
