#include "platform/posix/entries.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/paths.h"
#include "platform/posix/share_table.h"
#include "platform/windows_rules.h"

namespace platform::posix {

// Every function here looks names up and changes the folder under the share
// table's lock: the threads of this process see each change whole.

namespace {

// Looks a path up; a path without names is the start folder, which no
// caller here may touch.
Resolved Look(const std::string& path) {
    SplitPath split = Split(path);
    Normalize(&split);
    Resolved found = Resolve(split);
    if (found.no_names) {
        found.error = path.empty() ? kErrorPathNotFound : kErrorAccessDenied;
    }
    return found;
}

// Looks a path up that must name something: 0, or why it cannot be used.
uint32_t LookExisting(const std::string& path, Resolved* found) {
    *found = Look(path);
    if (found->error) return found->error;
    return found->exists ? kErrorSuccess : kErrorFileNotFound;
}

bool SameFolder(const std::string& a, const std::string& b) {
    struct stat info_a, info_b;
    if (stat(a.empty() ? "." : a.c_str(), &info_a) != 0) return false;
    if (stat(b.empty() ? "." : b.c_str(), &info_b) != 0) return false;
    return info_a.st_dev == info_b.st_dev && info_a.st_ino == info_b.st_ino;
}

// rename() that fails with EEXIST when the target exists.
int RenameNoReplace(const std::string& from, const std::string& to, bool folder) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // The file system cannot refuse to replace: a new link cannot replace
    // either, and for a folder the check has to come first.
    if (!folder) {
        if (link(from.c_str(), to.c_str()) == 0) {
            if (unlink(from.c_str()) == 0) return 0;
            // Never two names for one file: a backup that is the original
            // under another name would change with it.
            int failure = errno;
            unlink(to.c_str());
            return failure;
        }
        if (errno == EEXIST) return EEXIST;
    }
    struct stat info;
    if (lstat(to.c_str(), &info) == 0) return EEXIST;
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

uint32_t Rename(const std::string& from, const std::string& to) {
    auto lock = Shares().Lock();
    Resolved source = Look(from);
    if (source.error) return source.error;
    if (!source.exists) return kErrorFileNotFound;
    Resolved target = Look(to);
    if (target.no_names && !to.empty()) return kErrorAlreadyExists;
    if (target.error) return target.error;

    struct stat info;
    if (lstat(source.path.c_str(), &info) != 0) return ErrnoToWin32(errno);
    if (!Shares().MayDelete({info.st_dev, info.st_ino})) return kErrorSharingViolation;
    if (target.exists) {
        // An existing target is refused, unless it is the source itself
        // named with other capitals: then only the case of the name changes.
        if (target.name != source.name || !SameFolder(target.folder, source.folder)) {
            return kErrorAlreadyExists;
        }
        if (target.given == source.name) return kErrorSuccess;
        std::string renamed = Join(target.folder, target.given);
        int result = RenameNoReplace(source.path, renamed, S_ISDIR(info.st_mode));
        if (result == EEXIST) {
            // Either a file system that ignores case itself (the "other"
            // name is the source) or a file just made under the new name.
            struct stat other;
            if (lstat(renamed.c_str(), &other) != 0 || other.st_dev != info.st_dev ||
                other.st_ino != info.st_ino) {
                return kErrorAlreadyExists;
            }
            result = rename(source.path.c_str(), renamed.c_str()) == 0 ? 0 : errno;
        }
        return result == 0 ? kErrorSuccess : ErrnoToWin32(result);
    }
    int result = RenameNoReplace(source.path, target.path, S_ISDIR(info.st_mode));
    if (result == 0) return kErrorSuccess;
    if (result == EEXIST || result == ENOTEMPTY) return kErrorAlreadyExists;
    if (result == ENOENT) return kErrorPathNotFound;
    return ErrnoToWin32(result);
}

uint32_t Remove(const std::string& path) {
    auto lock = Shares().Lock();
    Resolved file;
    if (uint32_t error = LookExisting(path, &file)) return error;
    struct stat info;
    if (lstat(file.path.c_str(), &info) != 0) return ErrnoToWin32(errno);
    if (S_ISDIR(info.st_mode)) return kErrorAccessDenied;
    // A file without write permission is read-only to Windows: not deleted.
    if (!S_ISLNK(info.st_mode) && IsReadOnlyMode(info.st_mode)) return kErrorAccessDenied;
    if (!Shares().MayDelete({info.st_dev, info.st_ino})) return kErrorSharingViolation;
    return unlink(file.path.c_str()) == 0 ? kErrorSuccess : ErrnoToWin32(errno);
}

uint32_t SetReadOnly(const std::string& path, bool read_only) {
    auto lock = Shares().Lock();
    Resolved file;
    if (uint32_t error = LookExisting(path, &file)) return error;
    struct stat info;
    if (stat(file.path.c_str(), &info) != 0) return ErrnoToWin32(errno);
    const mode_t mode = ModeAfterSetReadOnly(info.st_mode & 07777, read_only);
    return chmod(file.path.c_str(), mode) == 0 ? kErrorSuccess : ErrnoToWin32(errno);
}

uint32_t FlushFolder(const std::string& path) {
    Resolved folder;
    {
        auto lock = Shares().Lock();
        SplitPath split = Split(path);
        Normalize(&split);
        folder = Resolve(split);
    }
    if (folder.error) return folder.error;
    if (!folder.no_names && !folder.exists) return kErrorPathNotFound;
    const std::string name = folder.no_names || folder.path.empty() ? "." : folder.path;
    int fd = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return ErrnoToWin32(errno);
    int result = fsync(fd);
    int failure = errno;
    close(fd);
    // A file system that cannot sync a folder (EINVAL) keeps its entries
    // as it keeps them; there is nothing more to ask of it.
    if (result != 0 && failure != EINVAL)
        return failure == EIO ? kErrorWriteFault : ErrnoToWin32(failure);
    return kErrorSuccess;
}

uint32_t MakeFolder(const std::string& path) {
    auto lock = Shares().Lock();
    Resolved folder = Look(path);
    if (folder.no_names && !path.empty()) return kErrorAlreadyExists;
    if (folder.error) return folder.error;
    if (folder.exists) return kErrorAlreadyExists;
    if (mkdir(folder.path.c_str(), 0777) == 0) return kErrorSuccess;
    if (errno == EEXIST) return kErrorAlreadyExists;
    if (errno == ENOENT) return kErrorPathNotFound;
    return ErrnoToWin32(errno);
}

uint32_t RemoveFolder(const std::string& path) {
    auto lock = Shares().Lock();
    Resolved folder;
    if (uint32_t error = LookExisting(path, &folder)) return error;
    struct stat info;
    if (lstat(folder.path.c_str(), &info) != 0) return ErrnoToWin32(errno);
    if (!S_ISDIR(info.st_mode)) return kErrorDirectory;
    if (rmdir(folder.path.c_str()) == 0) return kErrorSuccess;
    if (errno == ENOTEMPTY || errno == EEXIST) return kErrorDirNotEmpty;
    return ErrnoToWin32(errno);
}

}  // namespace platform::posix
