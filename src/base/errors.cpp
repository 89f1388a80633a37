#include "base/errors.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

CString FormatList(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed <= 0) return CString();
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return CString(buffer.data(), static_cast<size_t>(needed));
}

}  // namespace

CString FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CString text = FormatList(format, args);
    va_end(args);
    return text;
}

CMessageError MessageError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CMessageError error{FormatList(format, args)};
    va_end(args);
    return error;
}
