#include "engine/error_box.h"

#include <cstdarg>
#include <cstdio>

#include "base/cp932.h"
#include "engine/texts.h"

namespace {

constexpr size_t kBufferSize = 260;

CString FormatBounded(const char* format, va_list args) {
    char buffer[kBufferSize];
    int needed = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (needed < 0) return CString();
    size_t length =
        static_cast<size_t>(needed) < kBufferSize ? static_cast<size_t>(needed) : kBufferSize - 1;
    // Drop a lead byte whose second byte the cut removed.
    size_t i = 0;
    while (i < length) {
        if (cp932::IsLeadByte(static_cast<unsigned char>(buffer[i]))) {
            if (i + 1 >= length) {
                length = i;
                break;
            }
            i += 2;
        } else {
            ++i;
        }
    }
    return CString(buffer, length);
}

}  // namespace

void ErrorBox(IPatchView& context, const CString& text) {
    context.ShowMessage(text, text::kCaptionError, kMbOk | kMbIconError, false);
}

void ErrorBox(IPatchView& context, const char* format, ...) {
    va_list args;
    va_start(args, format);
    CString text = FormatBounded(format, args);
    va_end(args);
    ErrorBox(context, text);
}

CString FormatErrorBoxText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CString text = FormatBounded(format, args);
    va_end(args);
    return text;
}
