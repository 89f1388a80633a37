// CP932 (Shift-JIS as Windows has it): the text of the whole program.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// True for a byte that starts a double-byte character (0x81-0x9F, 0xE0-0xFC),
// the same table on every system.
inline bool IsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Lower-cases the ASCII capitals of a CP932 string in place, leaving both
// bytes of every double-byte character alone (what CharLowerA does to the
// names this program handles).
void LowerCase(std::string& text);
std::string LowerCased(std::string text);

// Index of the last occurrence of any byte of `chars` that is not the second
// byte of a double-byte character, or std::string::npos.
size_t FindLastOf(const std::string& text, const char* chars);
// Same, the first occurrence.
size_t FindFirstOf(const std::string& text, const char* chars);

// Conversions at the edges of the program (system calls, terminals). Bytes
// that have no mapping make the conversion fail: false, *out unspecified.
bool Cp932ToUtf8(const std::string& cp932, std::string* out);
bool Utf8ToCp932(const std::string& utf8, std::string* out);
bool Cp932ToUtf16(const std::string& cp932, std::u16string* out);
bool Utf16ToCp932(const std::u16string& utf16, std::string* out);

// Conversions for display that never fail: unmappable bytes become '?'.
std::string DisplayUtf8(const std::string& cp932);

}  // namespace platform
