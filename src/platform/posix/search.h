// File search on POSIX with the behaviour of FindFirstFile / FindNextFile.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace platform::posix {

std::unique_ptr<IFileSearch> FindFirst(const std::string& pattern, FindData* data, uint32_t* error);

// True when a CP932 name matches a search pattern: '*' stands for any run
// of characters, '?' for exactly one (a double-byte character is one),
// ASCII letters match without regard to case, and a pattern ending in ".*"
// also matches the name without that ending ("*.*" matches every name).
bool MatchesPattern(const std::string& pattern, const std::string& name);

}  // namespace platform::posix
