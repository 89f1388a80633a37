// Conversions between CP932, the text of the whole program, and the
// Unicode forms the systems and terminals speak.
#pragma once

#include <string>

#include "base/cp932.h"

namespace platform {

// Conversions at the edges of the program (system calls, terminals). Bytes
// that have no mapping make the conversion fail: false, *out unspecified.
bool Cp932ToUtf8(const std::string& cp932, std::string* out);
bool Utf8ToCp932(const std::string& utf8, std::string* out);
bool Cp932ToUtf16(const std::string& cp932, std::u16string* out);
bool Utf16ToCp932(const std::u16string& utf16, std::string* out);

// Conversions for display that never fail: unmappable bytes become '?'.
std::string DisplayUtf8(const std::string& cp932);

}  // namespace platform
