// The rules of the Windows file calls that the program relies on, without a
// system call: the POSIX platform (posix/) keeps them on Linux, and the
// doubles that stand in for files keep the same, so that a file behaves the
// same whoever serves it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// ---- CreateFile dispositions ----

// One of the five dispositions CreateFile takes (kCreateNew ...
// kTruncateExisting).
bool IsDisposition(uint32_t disposition);
// CreateFile's check of its arguments: a disposition it knows, and
// kTruncateExisting only with write access. 0 or kErrorInvalidParameter.
uint32_t CheckOpenArguments(uint32_t access, uint32_t disposition);
// kCreateNew: a file that exists is refused (kErrorFileExists).
bool FailsIfExists(uint32_t disposition);
// kOpenExisting and kTruncateExisting: a missing file is refused
// (kErrorFileNotFound); every other disposition makes it.
bool FailsIfMissing(uint32_t disposition);
// kCreateAlways and kTruncateExisting: a file that exists is emptied.
bool TruncatesExisting(uint32_t disposition);
// A read-only file is neither opened for writing nor emptied
// (kErrorAccessDenied); it can still be opened for reading.
bool ReadOnlyRefuses(uint32_t access, uint32_t disposition);

// ---- The read-only attribute on POSIX ----

// A file is read-only, as Windows has it, when nobody may write to it: no
// write permission bit at all (owner, group, others), whoever the process
// runs as.
bool IsReadOnlyMode(uint32_t mode);
// The permission bits after SetFileAttributes: read-only takes every write
// bit away; writable gives the owner back the right to write (and, as
// Windows sees it, to delete).
uint32_t ModeAfterSetReadOnly(uint32_t mode, bool read_only);

// ---- Names ----
// Windows compares file names without regard to the case of ASCII letters,
// and of ASCII letters only.

// The lower case of an ASCII capital; any other byte as it is.
char FoldAscii(char c);
// The upper case of an ASCII small letter, as NTFS orders a folder's
// entries; any other byte as it is.
char UpperAscii(char c);
// Two UTF-8 names equal but for the case of ASCII letters. Every byte of a
// multi-byte UTF-8 character is 0x80 or above, so folding byte by byte folds
// exactly the ASCII letters (not so for CP932, whose second bytes can be
// letters: fold those through a character cursor).
bool SameUtf8NameIgnoringCase(const std::string& a, const std::string& b);

// ---- SetFilePointer and GetFileSize ----

// One of kFileBegin, kFileCurrent and kFileEnd.
bool IsSeekMethod(uint32_t method);
// Where SetFilePointer moves a file's pointer: `base` is where the method
// starts from (0, the current position or the size). With a high part the
// distance is a 64-bit value split in two (*high, distance); without one it
// is a signed 32-bit value, and a position beyond 32 bits cannot be told to
// the caller. Returns 0 and *position, or why the pointer stays where it is:
// kErrorNegativeSeek before the start, kErrorInvalidParameter when the sum
// overflows or is beyond 32 bits without a high part.
uint32_t SeekTarget(int64_t base, int32_t distance, const int32_t* high, uint64_t* position);
// SetFilePointer's return for a new position: the low part; the high part
// goes to *high when the caller passed one.
uint32_t ReportPosition(uint64_t position, int32_t* high);
// GetFileSize's return for a size: the low part; the high part goes to *high
// when the caller passed one.
uint32_t ReportSize(uint64_t size, uint32_t* high);
// What SetFilePointer and GetFileSize return when they fail:
// kInvalidSetFilePointer, with `code` in *error.
uint32_t FilePointerFailure(uint32_t code, uint32_t* error);

}  // namespace platform
