// The Win32 error codes the seam reports, on every system (0 for success).
#pragma once

#include <cstdint>

namespace platform {

constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorNoMoreFiles = 18;
constexpr uint32_t kErrorWriteFault = 29;
constexpr uint32_t kErrorReadFault = 30;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorHandleDiskFull = 39;
constexpr uint32_t kErrorNotSameDevice = 17;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorNegativeSeek = 131;
constexpr uint32_t kErrorDirNotEmpty = 145;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorFilenameTooLong = 206;
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kErrorDirectory = 267;
constexpr uint32_t kErrorNoUnicodeTranslation = 1113;

}  // namespace platform
