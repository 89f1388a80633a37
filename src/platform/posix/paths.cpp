#include "platform/posix/paths.h"

#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/cp932.h"
#include "platform/platform.h"
#include "platform/windows_rules.h"

namespace platform::posix {

uint32_t ErrnoToWin32(int error) {
    switch (error) {
        case ENOENT:
            return kErrorFileNotFound;
        case ENOTDIR:
            return kErrorPathNotFound;
        case EEXIST:
            return kErrorFileExists;
        case ENOTEMPTY:
            return kErrorDirNotEmpty;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return kErrorDiskFull;
        case ENAMETOOLONG:
            return kErrorFilenameTooLong;
        case EBADF:
            return kErrorInvalidHandle;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        case EBUSY:
        case ETXTBSY:
            return kErrorSharingViolation;
        case EXDEV:
            return kErrorNotSameDevice;
        case EINVAL:
            return kErrorInvalidParameter;
        case ELOOP:
        case EILSEQ:
            return kErrorInvalidName;
        case EIO:
            return kErrorWriteFault;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        default:
            return kErrorAccessDenied;
    }
}

SplitPath Split(const std::string& path) {
    SplitPath split;
    std::string name;
    bool ended_with_separator = false;
    for (cp932::CharCursor at(path); !at.AtEnd(); at.Next()) {
        if (at.Is('\\') || at.Is('/')) {
            if (at.Pos() == 0) split.absolute = true;
            if (!name.empty()) split.names.push_back(std::move(name));
            name.clear();
            ended_with_separator = true;
        } else {
            name += at.Bytes();
            ended_with_separator = false;
        }
    }
    if (!name.empty()) split.names.push_back(std::move(name));
    split.trailing_separator = ended_with_separator && !split.names.empty();
    return split;
}

void Normalize(SplitPath* path) {
    std::vector<std::string> names;
    for (auto& name : path->names) {
        if (name == ".") continue;
        if (name == "..") {
            if (!names.empty() && names.back() != "..") {
                names.pop_back();
            } else if (!path->absolute) {
                names.push_back(name);
            }
            continue;
        }
        names.push_back(std::move(name));
    }
    path->names = std::move(names);
}

bool HasInvalidNameCharacter(const std::string& name) {
    for (cp932::CharCursor at(name); !at.AtEnd(); at.Next()) {
        const unsigned char byte = at.Byte();
        // A double-byte character, or a lead byte alone at the end: none of
        // the characters refused.
        if (cp932::IsLeadByte(byte)) continue;
        if (byte < 0x20 || std::strchr("<>:\"/\\|?*", byte)) return true;
    }
    return false;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

int FindName(const std::string& folder, const std::string& name, std::string* found) {
    struct stat info;
    if (lstat(Join(folder, name).c_str(), &info) == 0) {
        *found = name;
        return 0;
    }
    if (errno != ENOENT) return errno;
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) return errno;
    std::vector<std::string> matches;
    while (dirent* entry = readdir(dir.get())) {
        if (SameUtf8NameIgnoringCase(entry->d_name, name)) matches.emplace_back(entry->d_name);
    }
    if (matches.empty()) return ENOENT;
    *found = *std::min_element(matches.begin(), matches.end());
    return 0;
}

Resolved Resolve(const SplitPath& path) {
    Resolved resolved;
    std::string folder = path.absolute ? "/" : "";
    if (path.names.empty()) {
        resolved.exists = true;
        resolved.no_names = true;
        resolved.path = path.absolute ? "/" : ".";
        return resolved;
    }
    for (size_t i = 0; i < path.names.size(); ++i) {
        std::string name;
        if (HasInvalidNameCharacter(path.names[i])) {
            resolved.error = kErrorInvalidName;
            return resolved;
        }
        if (!Cp932ToUtf8(path.names[i], &name)) {
            resolved.error = kErrorInvalidName;
            return resolved;
        }
        std::string found;
        int status = FindName(folder, name, &found);
        bool last = i + 1 == path.names.size();
        if (last) {
            if (status != 0 && status != ENOENT) {
                resolved.error = status == ENOTDIR ? kErrorPathNotFound : ErrnoToWin32(status);
                return resolved;
            }
            resolved.exists = status == 0;
            resolved.folder = folder;
            resolved.name = status == 0 ? found : name;
            resolved.given = name;
            resolved.path = Join(folder, resolved.name);
            return resolved;
        }
        struct stat info;
        if (status != 0 || stat(Join(folder, found).c_str(), &info) != 0 ||
            !S_ISDIR(info.st_mode)) {
            resolved.error = (status == 0 || status == ENOENT || status == ENOTDIR)
                                 ? kErrorPathNotFound
                                 : ErrnoToWin32(status);
            return resolved;
        }
        folder = Join(folder, found);
    }
    return resolved;  // not reached
}

Resolved Resolve(const std::string& cp932_path) {
    SplitPath split = Split(cp932_path);
    Normalize(&split);
    return Resolve(split);
}

}  // namespace platform::posix
