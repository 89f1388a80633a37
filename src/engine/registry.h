// The install record: a key below HKEY_CURRENT_USER.
#pragma once

#include <cstdint>

#include "base/types.h"

class CRegistry {
public:
    explicit CRegistry(const CString& keyPath) : keyPath_(keyPath) {}
    virtual ~CRegistry() = default;

    // 1 when the key can be opened for reading, else 0.
    int Exists();
    // 1 when the value was read into buffer (always NUL-terminated), else 0.
    // A value that does not fit with its terminator counts as missing.
    int GetString(const CString& valueName, char* buffer, uint32_t bufferSize);

private:
    CString keyPath_;
};
