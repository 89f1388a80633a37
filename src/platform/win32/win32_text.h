// CP932 <-> UTF-16 for the wide Win32 calls.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

bool WideFromCp932(const std::string& cp932, std::wstring* out);
bool Cp932FromWide(const wchar_t* wide, size_t size, std::string* out);

}  // namespace platform
