#include "platform/posix/files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "platform/posix/paths.h"
#include "platform/posix/share_table.h"
#include "platform/windows_rules.h"

namespace platform::posix {

namespace {

constexpr size_t kMaxChunk = size_t{1} << 30;  // per read or write system call

class PosixFile : public IOsFile {
public:
    PosixFile(int fd, uint32_t access, uint64_t share_id)
        : fd_(fd), access_(access), share_id_(share_id) {}
    ~PosixFile() override { Close(); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    uint32_t Read(void* buffer, uint32_t count, uint32_t* done) override {
        uint32_t unused = 0;
        if (!done) done = &unused;
        *done = 0;
        if (fd_ < 0) return kErrorInvalidHandle;
        if (!(access_ & kGenericRead)) return kErrorAccessDenied;
        char* bytes = static_cast<char*>(buffer);
        size_t total = 0;
        while (total < count) {
            ssize_t got = read(fd_, bytes + total, std::min<size_t>(count - total, kMaxChunk));
            if (got < 0) {
                if (errno == EINTR) continue;
                *done = static_cast<uint32_t>(total);
                return errno == EIO ? kErrorReadFault : ErrnoToWin32(errno);
            }
            if (got == 0) break;  // the end of the file
            total += static_cast<size_t>(got);
        }
        *done = static_cast<uint32_t>(total);
        return kErrorSuccess;
    }

    uint32_t Write(const void* buffer, uint32_t count, uint32_t* done) override {
        uint32_t unused = 0;
        if (!done) done = &unused;
        *done = 0;
        if (fd_ < 0) return kErrorInvalidHandle;
        if (!(access_ & kGenericWrite)) return kErrorAccessDenied;
        const char* bytes = static_cast<const char*>(buffer);
        size_t total = 0;
        uint32_t result = kErrorSuccess;
        while (total < count) {
            ssize_t put = write(fd_, bytes + total, std::min<size_t>(count - total, kMaxChunk));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) {
                // Nothing written without an error is a full disk as well.
                int failure = put == 0 ? ENOSPC : errno;
                result = failure == EIO ? kErrorWriteFault : ErrnoToWin32(failure);
                break;
            }
            total += static_cast<size_t>(put);
        }
        *done = static_cast<uint32_t>(total);
        return result;
    }

    uint32_t Seek(int32_t distance, int32_t* high, uint32_t method, uint32_t* error) override {
        uint32_t unused = 0;
        if (!error) error = &unused;
        if (fd_ < 0) return FilePointerFailure(kErrorInvalidHandle, error);
        if (!IsSeekMethod(method)) return FilePointerFailure(kErrorInvalidParameter, error);
        int64_t base = 0;
        if (method == kFileCurrent) {
            off_t now = lseek(fd_, 0, SEEK_CUR);
            if (now < 0) return FilePointerFailure(ErrnoToWin32(errno), error);
            base = now;
        } else if (method == kFileEnd) {
            struct stat info;
            if (fstat(fd_, &info) != 0) return FilePointerFailure(ErrnoToWin32(errno), error);
            base = info.st_size;
        }
        uint64_t target = 0;
        if (uint32_t refused = SeekTarget(base, distance, high, &target)) {
            return FilePointerFailure(refused, error);
        }
        if (lseek(fd_, static_cast<off_t>(target), SEEK_SET) < 0) {
            return FilePointerFailure(ErrnoToWin32(errno), error);
        }
        *error = kErrorSuccess;
        return ReportPosition(target, high);
    }

    uint32_t Size(uint32_t* high, uint32_t* error) override {
        uint32_t unused = 0;
        if (!error) error = &unused;
        if (fd_ < 0) return FilePointerFailure(kErrorInvalidHandle, error);
        struct stat info;
        if (fstat(fd_, &info) != 0) return FilePointerFailure(ErrnoToWin32(errno), error);
        *error = kErrorSuccess;
        return ReportSize(static_cast<uint64_t>(info.st_size), high);
    }

    uint32_t Flush() override {
        if (fd_ < 0) return kErrorInvalidHandle;
        if (fsync(fd_) == 0) return kErrorSuccess;
        return errno == EIO ? kErrorWriteFault : ErrnoToWin32(errno);
    }

    // close() releases the descriptor even when it reports an error, so the
    // file counts as closed afterwards whatever the result.
    uint32_t Close() override {
        if (fd_ < 0) return kErrorSuccess;
        int result = close(fd_);
        int failure = errno;
        fd_ = -1;
        Shares().Remove(share_id_);
        if (result != 0 && failure != EINTR) {
            return failure == EIO ? kErrorWriteFault : ErrnoToWin32(failure);
        }
        return kErrorSuccess;
    }

private:
    int fd_;
    uint32_t access_;
    uint64_t share_id_;
};

}  // namespace

std::unique_ptr<IOsFile> OpenFile(const std::string& path, uint32_t access, uint32_t share,
                                  uint32_t disposition, uint32_t* error) {
    uint32_t unused = 0;
    if (!error) error = &unused;
    auto fail = [error](uint32_t code) {
        *error = code;
        return std::unique_ptr<IOsFile>();
    };
    if (uint32_t refused = CheckOpenArguments(access, disposition)) return fail(refused);
    SplitPath split = Split(path);
    Normalize(&split);
    if (split.names.empty()) {
        // "" names nothing; "/" and "." name a folder.
        return fail(path.empty() ? kErrorPathNotFound : kErrorAccessDenied);
    }
    // Look the name up, open, check the share modes and truncate under the
    // table's lock, so that another thread's open, delete or rename sees all
    // or nothing (and two threads cannot make "A.TXT" and "a.txt").
    auto lock = Shares().Lock();
    Resolved file = Resolve(split);
    if (file.error) return fail(file.error);

    bool reads = (access & kGenericRead) != 0;
    bool writes = (access & kGenericWrite) != 0;
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    flags |= reads && writes ? O_RDWR : (writes ? O_WRONLY : O_RDONLY);
    bool truncate = false;
    if (file.exists) {
        struct stat info;
        if (stat(file.path.c_str(), &info) != 0) return fail(ErrnoToWin32(errno));
        if (FailsIfExists(disposition)) return fail(kErrorFileExists);
        if (S_ISDIR(info.st_mode)) return fail(kErrorAccessDenied);
        if (split.trailing_separator) return fail(kErrorInvalidName);
        truncate = TruncatesExisting(disposition);
        if (IsReadOnlyMode(info.st_mode) && ReadOnlyRefuses(access, disposition)) {
            return fail(kErrorAccessDenied);
        }
    } else {
        if (split.trailing_separator) return fail(kErrorInvalidName);
        if (FailsIfMissing(disposition)) return fail(kErrorFileNotFound);
        flags |= O_CREAT;
        if (FailsIfExists(disposition)) flags |= O_EXCL;
    }

    int fd = open(file.path.c_str(), flags, 0644);
    if (fd < 0) {
        int failure = errno;
        if (failure == EEXIST) return fail(kErrorFileExists);
        if (failure == ENOENT) return fail(kErrorFileNotFound);
        return fail(ErrnoToWin32(failure));
    }
    auto close_and_fail = [fd, &fail](uint32_t code) {
        close(fd);
        return fail(code);
    };
    struct stat info;
    if (fstat(fd, &info) != 0) return close_and_fail(ErrnoToWin32(errno));
    if (S_ISDIR(info.st_mode)) return close_and_fail(kErrorAccessDenied);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    ShareTable::Key key(info.st_dev, info.st_ino);
    if (!Shares().MayOpen(key, access, share)) return close_and_fail(kErrorSharingViolation);
    if (truncate) {
        int result = writes ? ftruncate(fd, 0) : ::truncate(file.path.c_str(), 0);
        if (result != 0) return close_and_fail(ErrnoToWin32(errno));
    }
    uint64_t id = Shares().Add(key, access, share);
    *error = kErrorSuccess;
    return std::make_unique<PosixFile>(fd, access, id);
}

}  // namespace platform::posix
