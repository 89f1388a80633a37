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
    CString text(buffer, length);
    // Drop a lead byte whose second byte the cut removed (the cursor would
    // take it for a character of one byte).
    for (cp932::CharCursor at(text); !at.AtEnd(); at.Next()) {
        if (cp932::IsLeadByte(at.Byte()) && !at.IsDoubleByte()) {
            text.resize(at.Pos());
            break;
        }
    }
    return text;
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
