#include "engine/path_parts.h"

#include "platform/cp932.h"
#include "platform/platform.h"

CString Extension(const CString& path) {
    size_t dot = platform::FindLastOf(path, ".");
    return dot == CString::npos ? CString() : path.substr(dot + 1);
}

CString Stem(const CString& path) {
    size_t dot = platform::FindLastOf(path, ".");
    return dot == CString::npos ? path : path.substr(0, dot);
}

bool PathExists(const CString& path) {
    platform::FindData data;
    return platform::Current().FindFirst(path, &data) != nullptr;
}
