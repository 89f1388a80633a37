// Types shared by every part of the program.
#pragma once

#include <cstdint>
#include <string>

// All text is a CP932 byte string.
using CString = std::string;

// Status codes of file and payload operations: 0 for success, E_FAIL for
// failure. Callers treat any negative code as failure.
constexpr int32_t kStatusOk = 0;
constexpr int32_t kStatusFail = static_cast<int32_t>(0x80004005u);

inline bool Failed(int32_t status) { return status < 0; }
