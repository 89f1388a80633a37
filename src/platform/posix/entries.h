// Renaming, deleting and making folders on POSIX with the behaviour of
// MoveFile, DeleteFile, CreateDirectory and RemoveDirectory.
#pragma once

#include <cstdint>
#include <string>

namespace platform::posix {

uint32_t Rename(const std::string& from, const std::string& to);
uint32_t Remove(const std::string& path);
uint32_t SetReadOnly(const std::string& path, bool read_only);
uint32_t FlushFolder(const std::string& path);
uint32_t MakeFolder(const std::string& path);
uint32_t RemoveFolder(const std::string& path);

}  // namespace platform::posix
