// Path handling for the POSIX platform: CP932 paths cut into names, looked
// up on disk the way Windows looks them up (ASCII letters without regard to
// case), and errno values turned into Win32 error codes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::posix {

// The Win32 code closest to an errno value; never 0.
uint32_t ErrnoToWin32(int error);

// A CP932 path cut at its separators: '\' and '/', except a '\' that is
// the second byte of a double-byte character. Empty names are dropped.
struct SplitPath {
    bool absolute = false;            // started with a separator
    bool trailing_separator = false;  // ended with one (after at least one name)
    std::vector<std::string> names;   // CP932
};
SplitPath Split(const std::string& path);
// Removes "." names and folds "name/.." away, as Windows does before it
// looks at the disk. ".." above a relative start is kept; above the root it
// is dropped.
void Normalize(SplitPath* path);

// True when a CP932 name holds a character Windows refuses in file names
// (control characters and < > : " / \ | ? *).
bool HasInvalidNameCharacter(const std::string& name);

// Joins a folder (UTF-8; "" for the current folder) and a name.
std::string Join(const std::string& folder, const std::string& name);

// Looks `name` (UTF-8) up in `folder`: the exact name if it is there,
// otherwise the first (in byte order) whose ASCII letters match without
// regard to case. Returns 0 and the name on disk in *found, ENOENT when
// there is none, or another errno value when the folder cannot be read.
int FindName(const std::string& folder, const std::string& name, std::string* found);

// A path looked up on disk.
struct Resolved {
    // kErrorPathNotFound when a folder on the way is missing or is a file,
    // kErrorInvalidName when a name holds a character Windows refuses or
    // has no UTF-8 form, else 0.
    uint32_t error = 0;
    bool exists = false;    // the last name was found (always true without names)
    bool no_names = false;  // the path names the start folder itself
    std::string folder;     // UTF-8 path of the folder that holds the last name
    std::string name;       // UTF-8: the name on disk when found, else as given
    std::string given;      // UTF-8: the last name as given
    std::string path;       // Join(folder, name), or the start folder
};
Resolved Resolve(const SplitPath& path);
// Split, Normalize and Resolve.
Resolved Resolve(const std::string& cp932_path);

}  // namespace platform::posix
