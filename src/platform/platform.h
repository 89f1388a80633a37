// The one seam between the patcher and the operating system.
//
// Everything the program asks of the system goes through IPlatform: files,
// file search, rename and delete, the payload store, the install record,
// version information, threads, locks and sleeping. Paths, names and values
// are CP932 byte strings on every system; each implementation converts at
// the system call.
// Results follow the Win32 calls the program was designed around: error
// codes are Win32 error codes (0 for success), file positions are split into
// a low and a high 32-bit part, and a rename fails when its target exists.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

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

// Win32 error codes that the implementations report.
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

// A block of payload bytes, valid for the life of the process.
struct Payload {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
};

// A started thread. Destroying it waits for the thread to end.
class IThread {
public:
    virtual ~IThread() = default;
    virtual void Join() = 0;
};

// A recursive lock (a critical section).
class IRecursiveLock {
public:
    virtual ~IRecursiveLock() = default;
    virtual void Enter() = 0;
    virtual void Leave() = 0;
};

// The fixed part of an executable's version information (VS_FIXEDFILEINFO),
// field by field.
struct FixedFileInfo {
    uint32_t signature = 0;  // 0xFEEF04BD
    uint32_t struct_version = 0;
    uint32_t file_version_ms = 0;
    uint32_t file_version_ls = 0;
    uint32_t product_version_ms = 0;
    uint32_t product_version_ls = 0;
    uint32_t file_flags_mask = 0;
    uint32_t file_flags = 0;
    uint32_t file_os = 0;
    uint32_t file_type = 0;
    uint32_t file_subtype = 0;
    uint32_t file_date_ms = 0;
    uint32_t file_date_ls = 0;
};

// One entry of the translation table: the language of a string table and
// its code page.
struct VersionTranslation {
    uint16_t language = 0;
    uint16_t code_page = 0;
};

// The version information of one file, read whole, answering the queries
// that VerQueryValue answers. Every answer stays inside the block: a damaged
// block answers "absent", never with bytes from outside it.
class IVersionInfo {
public:
    virtual ~IVersionInfo() = default;
    // "\": the fixed information. False when the block has none, when it is
    // too short, or when its signature is not 0xFEEF04BD.
    virtual bool FixedInfo(FixedFileInfo* out) const = 0;
    // "\VarFileInfo\Translation": its first entry. False when there is none.
    virtual bool FirstTranslation(VersionTranslation* out) const = 0;
    // A text value such as "\StringFileInfo\041104B0\ProductName" (names
    // match without regard to letter case): its characters up to the first
    // NUL, as CP932; a character that CP932 lacks becomes '?'. False when
    // the path names nothing.
    virtual bool QueryText(const std::string& sub_block, std::string* out) const = 0;
};

// What became of reading a file's version information.
enum class VersionInfoStatus {
    kLoaded,         // *out holds the block
    kNoInformation,  // the file is missing or has none (GetFileVersionInfoSize gives 0)
    kUnreadable,     // the file is there but could not be read (held, a failing disk)
};

class IPlatform {
public:
    virtual ~IPlatform() = default;

    // Files. Paths may use '\' or '/' between folders.
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
    // Creates one folder (its parent must exist) / removes an empty one.
    // The patch itself never does either; tests and tools do.
    virtual uint32_t MakeFolder(const std::string& path) = 0;
    virtual uint32_t RemoveFolder(const std::string& path) = 0;

    // The payload store: the blocks a patch carries, found by name and type
    // without regard to letter case.
    virtual bool FindPayload(const std::string& name, const std::string& type, Payload* out) = 0;

    // The install record: keys below HKEY_CURRENT_USER.
    virtual bool RegistryKeyExists(const std::string& key) = 0;
    // Reads a string value, converted to CP932 and without its terminating
    // NULs. Returns 0 or an error code (kErrorFileNotFound when the key or
    // the value is missing).
    virtual uint32_t RegistryReadString(const std::string& key, const std::string& value,
                                        std::string* out) = 0;
    // For tests and tools: fill or remove a record.
    virtual uint32_t RegistryWriteString(const std::string& key, const std::string& value,
                                         const std::string& data) = 0;
    virtual uint32_t RegistryDeleteKey(const std::string& key) = 0;

    // Threads and time.
    virtual std::unique_ptr<IThread> StartThread(std::function<void()> body) = 0;
    virtual std::unique_ptr<IRecursiveLock> NewLock() = 0;
    virtual uint32_t CurrentThreadId() = 0;
    virtual void SleepMs(uint32_t milliseconds) = 0;
    // Milliseconds from a fixed point in the past, never going back (as
    // GetTickCount64 gives them); only differences mean anything.
    virtual uint64_t MonotonicMs() = 0;

    // Version information and the program's own file. Unless a platform
    // answers otherwise, these are the system's own answers, defined beside
    // the rest of it (win32/version_info.cpp, posix/version_info.cpp).
    //
    // Reads the version information (the RT_VERSION resource with id 1) of
    // the executable at `path`, as GetFileVersionInfoSize and
    // GetFileVersionInfo do.
    virtual VersionInfoStatus LoadVersionInfo(const std::string& path,
                                              std::unique_ptr<IVersionInfo>* out);
    // The path of the program's own executable, as GetModuleFileName gives
    // it; empty when it cannot be told in CP932.
    virtual std::string ModulePath();
};

// Whether a search that found nothing failed only because there is no such
// entry (a name that cannot exist counts as absent), rather than because the
// search itself could not be carried out.
inline bool NothingMatches(uint32_t searchError) {
    return searchError == kErrorFileNotFound || searchError == kErrorPathNotFound ||
           searchError == kErrorNoMoreFiles || searchError == kErrorInvalidName ||
           searchError == kErrorFilenameTooLong;
}

// The platform in use: the system's own unless a test or tool put another
// in place.
IPlatform& Current();
// The system's own implementation.
IPlatform& System();
// Replaces the platform in use; returns the previous one. Null restores the
// system's own.
IPlatform* SetCurrent(IPlatform* platform);

// Puts a platform in place for the life of a scope.
class ScopedPlatform {
public:
    explicit ScopedPlatform(IPlatform* platform) : previous_(SetCurrent(platform)) {}
    ~ScopedPlatform() { SetCurrent(previous_); }
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
    IPlatform* previous_;
};

}  // namespace platform
