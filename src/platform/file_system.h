// The file system as the program sees it: files, file search, rename and
// delete, and what a file's version information says. Paths and names are
// CP932 byte strings; each implementation converts at the system call.
// Results follow the Win32 calls the program was designed around: error
// codes are Win32 error codes (0 for success), file positions are split into
// a low and a high 32-bit part, and a rename fails when its target exists.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/error_codes.h"
#include "platform/version_info.h"

namespace platform {

// Access, share and disposition values, as CreateFile takes them.
constexpr uint32_t kGenericRead = 0x80000000u;
constexpr uint32_t kGenericWrite = 0x40000000u;
constexpr uint32_t kShareRead = 1;
constexpr uint32_t kShareWrite = 2;
constexpr uint32_t kShareDelete = 4;
constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kCreateAlways = 2;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kOpenAlways = 4;
constexpr uint32_t kTruncateExisting = 5;

// Seek methods.
constexpr uint32_t kFileBegin = 0;
constexpr uint32_t kFileCurrent = 1;
constexpr uint32_t kFileEnd = 2;
constexpr uint32_t kInvalidSetFilePointer = 0xFFFFFFFFu;

// An open file. Closed when destroyed, if Close was not called or failed.
class IOsFile {
public:
    virtual ~IOsFile() = default;
    // Reads up to count bytes at the current position; *done gets the number
    // read (0 at the end of the file). Returns 0 or an error code.
    virtual uint32_t Read(void* buffer, uint32_t count, uint32_t* done) = 0;
    // Writes count bytes at the current position; *done gets the number
    // written. Returns 0 or an error code; a short write is an error.
    virtual uint32_t Write(const void* buffer, uint32_t count, uint32_t* done) = 0;
    // Moves the position as SetFilePointer does. *high (may be null) holds
    // the high part of the distance on entry and of the new position on
    // return. Returns the low part of the new position, or
    // kInvalidSetFilePointer with *error set on failure. *error is always set.
    virtual uint32_t Seek(int32_t distance, int32_t* high, uint32_t method, uint32_t* error) = 0;
    // Size of the file: low part returned, high part in *high (may be null).
    // kInvalidSetFilePointer with *error nonzero when it cannot be told.
    virtual uint32_t Size(uint32_t* high, uint32_t* error) = 0;
    // Makes what was written to the file durable: on the disk itself, not
    // only in the system's cache (FlushFileBuffers, fsync). Returns 0 or an
    // error code; after an error, what the disk holds is not known.
    virtual uint32_t Flush() = 0;
    // Closes the file. Returns 0 or an error code (on Windows the handle then
    // stays open; a POSIX descriptor is released either way).
    virtual uint32_t Close() = 0;
};

// One entry of a file search.
struct FindData {
    std::string name;  // the entry's own name, CP932
    bool directory = false;
    bool read_only = false;  // the read-only attribute (POSIX: no write permission at all)
    uint64_t size = 0;
};

// An open file search. Ended when destroyed.
class IFileSearch {
public:
    virtual ~IFileSearch() = default;
    // Moves to the next entry. Returns false when there are no more.
    virtual bool Next(FindData* data) = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // Paths may use '\' or '/' between folders.
    // Opens or creates a file as CreateFile does. Returns null and sets
    // *error on failure (a folder cannot be opened as a file).
    virtual std::unique_ptr<IOsFile> OpenFile(const std::string& path, uint32_t access,
                                              uint32_t share, uint32_t disposition,
                                              uint32_t* error) = 0;
    // Starts a search as FindFirstFile does: the last component of the
    // pattern may hold '*' and '?'. Returns null when nothing matches or the
    // search fails; otherwise *data holds the first entry. *error (may be
    // null) gets 0, or why there is no search: kErrorFileNotFound or
    // kErrorPathNotFound when nothing matches, another code when the search
    // itself failed (see NothingMatches).
    virtual std::unique_ptr<IFileSearch> FindFirst(const std::string& pattern, FindData* data,
                                                   uint32_t* error) = 0;
    // Renames a file or folder as MoveFile does: fails when the target exists.
    virtual uint32_t Rename(const std::string& from, const std::string& to) = 0;
    // Deletes a file as DeleteFile does (not a folder).
    virtual uint32_t Remove(const std::string& path) = 0;
    // Sets or clears a file's read-only attribute (POSIX: its write
    // permission), as SetFileAttributes does.
    virtual uint32_t SetReadOnly(const std::string& path, bool readOnly) = 0;
    // Makes the entries of a folder durable: files made, renamed or deleted
    // in it stay so after a power cut. Windows keeps them so by itself
    // (0); POSIX asks for it (fsync of the folder).
    virtual uint32_t FlushFolder(const std::string& path) = 0;

    // Unless a file system answers otherwise, the system's own answer
    // (win32/version_info.cpp, posix/version_info.cpp).
    //
    // Reads the version information (the RT_VERSION resource with id 1) of
    // the executable at `path`, as GetFileVersionInfoSize and
    // GetFileVersionInfo do.
    virtual VersionInfoStatus LoadVersionInfo(const std::string& path,
                                              std::unique_ptr<IVersionInfo>* out);
};

// Whether a search that found nothing failed only because there is no such
// entry (a name that cannot exist counts as absent), rather than because the
// search itself could not be carried out.
inline bool NothingMatches(uint32_t searchError) {
    return searchError == kErrorFileNotFound || searchError == kErrorPathNotFound ||
           searchError == kErrorNoMoreFiles || searchError == kErrorInvalidName ||
           searchError == kErrorFilenameTooLong;
}

}  // namespace platform
