#include "engine/path_parts.h"

#include "base/cp932.h"
#include "base/errors.h"
#include "engine/texts.h"
#include "platform/platform.h"

CString Extension(const CString& path) {
    size_t dot = cp932::FindLastOf(path, ".");
    return dot == CString::npos ? CString() : path.substr(dot + 1);
}

CString Stem(const CString& path) {
    size_t dot = cp932::FindLastOf(path, ".");
    return dot == CString::npos ? path : path.substr(0, dot);
}

bool PathExists(const CString& path) {
    platform::FindData data;
    uint32_t error = 0;
    if (platform::Files().FindFirst(path, &data, &error)) return true;
    // A search that could not look is no answer: acting on "absent" could
    // overwrite a file that has no backup.
    if (!platform::NothingMatches(error)) throw MessageError(text::kFindFailed, path.c_str());
    return false;
}
