#include "platform/windows_rules.h"

#include "platform/error_codes.h"
#include "platform/file_system.h"

namespace platform {

namespace {

constexpr uint32_t kWriteBits = 0222;  // owner, group, others
constexpr uint32_t kOwnerWrite = 0200;

}  // namespace

bool IsDisposition(uint32_t disposition) {
    return disposition >= kCreateNew && disposition <= kTruncateExisting;
}

uint32_t CheckOpenArguments(uint32_t access, uint32_t disposition) {
    if (!IsDisposition(disposition)) return kErrorInvalidParameter;
    if (disposition == kTruncateExisting && !(access & kGenericWrite)) {
        return kErrorInvalidParameter;
    }
    return kErrorSuccess;
}

bool FailsIfExists(uint32_t disposition) { return disposition == kCreateNew; }

bool FailsIfMissing(uint32_t disposition) {
    return disposition == kOpenExisting || disposition == kTruncateExisting;
}

bool TruncatesExisting(uint32_t disposition) {
    return disposition == kCreateAlways || disposition == kTruncateExisting;
}

bool ReadOnlyRefuses(uint32_t access, uint32_t disposition) {
    return (access & kGenericWrite) != 0 || TruncatesExisting(disposition);
}

bool IsReadOnlyMode(uint32_t mode) { return (mode & kWriteBits) == 0; }

uint32_t ModeAfterSetReadOnly(uint32_t mode, bool read_only) {
    return read_only ? (mode & ~kWriteBits) : (mode | kOwnerWrite);
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool SameUtf8NameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

bool IsSeekMethod(uint32_t method) {
    return method == kFileBegin || method == kFileCurrent || method == kFileEnd;
}

uint32_t SeekTarget(int64_t base, int32_t distance, const int32_t* high, uint64_t* position) {
    const int64_t move =
        high ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*high)) << 32) |
                                    static_cast<uint32_t>(distance))
             : static_cast<int64_t>(distance);
    int64_t target = 0;
    if (__builtin_add_overflow(base, move, &target)) return kErrorInvalidParameter;
    if (target < 0) return kErrorNegativeSeek;
    if (!high && target > static_cast<int64_t>(UINT32_MAX)) return kErrorInvalidParameter;
    *position = static_cast<uint64_t>(target);
    return kErrorSuccess;
}

uint32_t ReportPosition(uint64_t position, int32_t* high) {
    if (high) *high = static_cast<int32_t>(position >> 32);
    return static_cast<uint32_t>(position & 0xFFFFFFFFu);
}

uint32_t ReportSize(uint64_t size, uint32_t* high) {
    if (high) *high = static_cast<uint32_t>(size >> 32);
    return static_cast<uint32_t>(size & 0xFFFFFFFFu);
}

uint32_t FilePointerFailure(uint32_t code, uint32_t* error) {
    *error = code;
    return kInvalidSetFilePointer;
}

}  // namespace platform
