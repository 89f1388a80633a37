// Text conversions through the system's own tables, always with code page
// 932 named explicitly, so that nothing depends on the system locale.
#include "platform/win32/win32_text.h"

#include <windows.h>

#include "platform/cp932.h"

namespace platform {

namespace {
constexpr UINT kCp932 = 932;

bool ToWide(UINT codePage, const std::string& in, std::wstring* out) {
    out->clear();
    if (in.empty()) return true;
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(),
                                static_cast<int>(in.size()), nullptr, 0);
    if (n <= 0) return false;
    out->resize(static_cast<size_t>(n));
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(),
                               static_cast<int>(in.size()), &(*out)[0], n) == n;
}

bool FromWide(UINT codePage, const wchar_t* in, size_t size, std::string* out) {
    out->clear();
    if (size == 0) return true;
    BOOL usedDefault = FALSE;
    // The UTF-8 code page takes no default character and no lossy flags.
    BOOL* usedDefaultArg = codePage == CP_UTF8 ? nullptr : &usedDefault;
    DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    int n = WideCharToMultiByte(codePage, flags, in, static_cast<int>(size), nullptr, 0, nullptr,
                                usedDefaultArg);
    if (n <= 0 || usedDefault) return false;
    out->resize(static_cast<size_t>(n));
    n = WideCharToMultiByte(codePage, flags, in, static_cast<int>(size), &(*out)[0], n, nullptr,
                            usedDefaultArg);
    return n > 0 && !usedDefault;
}

}  // namespace

bool WideFromCp932(const std::string& cp932, std::wstring* out) {
    return ToWide(kCp932, cp932, out);
}

bool Cp932FromWide(const wchar_t* wide, size_t size, std::string* out) {
    return FromWide(kCp932, wide, size, out);
}

bool Cp932ToUtf8(const std::string& cp932, std::string* out) {
    std::wstring wide;
    return ToWide(kCp932, cp932, &wide) && FromWide(CP_UTF8, wide.data(), wide.size(), out);
}

bool Utf8ToCp932(const std::string& utf8, std::string* out) {
    std::wstring wide;
    return ToWide(CP_UTF8, utf8, &wide) && FromWide(kCp932, wide.data(), wide.size(), out);
}

bool Cp932ToUtf16(const std::string& cp932, std::u16string* out) {
    std::wstring wide;
    if (!ToWide(kCp932, cp932, &wide)) return false;
    out->assign(wide.begin(), wide.end());
    return true;
}

bool Utf16ToCp932(const std::u16string& utf16, std::string* out) {
    std::wstring wide(utf16.begin(), utf16.end());
    return FromWide(kCp932, wide.data(), wide.size(), out);
}

}  // namespace platform
