// A folder as the tests look at it: captured whole, written back into fresh
// folders, and read as a tree of names and bytes to compare
// (common/tree_diff.h).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace testing_support {

// Every file below a folder by its path ("/" between names, ASCII letters
// folded to lower case: the system the patch runs on does not tell names
// apart by case) with its bytes, behind kReadOnlyMark when the file has the
// read-only attribute and the tree shows it; every folder by its path with a
// trailing "/" and no bytes.
using FileTree = std::map<std::string, std::string>;
extern const char kReadOnlyMark[];

// Whether a tree shows the read-only attribute of its files.
enum class ReadOnlyMarks { kShown, kLeftOut };

// A folder's content with the names as they are written, to make copies of.
struct FolderEntry {
    std::string path;  // below the folder, "/" between names
    bool folder = false;
    std::string bytes;
    bool readOnly = false;  // the file's read-only attribute
};
using FolderImage = std::vector<FolderEntry>;  // every folder before what it holds

// Reads everything below `folder` (CP932 path) through the system's own
// platform. A file that cannot be read holds "<unreadable>".
FolderImage CaptureFolder(const std::string& folder);
// Writes an image into `folder`, which must exist and be empty.
bool WriteFolder(const std::string& folder, const FolderImage& image);

FileTree TreeOf(const FolderImage& image, ReadOnlyMarks marks = ReadOnlyMarks::kShown);
FileTree ReadTree(const std::string& folder, ReadOnlyMarks marks = ReadOnlyMarks::kShown);

}  // namespace testing_support
