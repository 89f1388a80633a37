// Files on POSIX with the behaviour of CreateFile, ReadFile, WriteFile,
// SetFilePointer and GetFileSize.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace platform::posix {

std::unique_ptr<IOsFile> OpenFile(const std::string& path, uint32_t access, uint32_t share,
                                  uint32_t disposition, uint32_t* error);

}  // namespace platform::posix
