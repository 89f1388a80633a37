// A game folder as the sweeps look at it: captured whole, written back
// into fresh folders, and compared byte for byte.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace reliability {

// Every file below a folder by its path ("/" between names, ASCII letters
// folded to lower case: the system the patch runs on does not tell names
// apart by case) with its bytes, behind kReadOnlyMark when the file has the
// read-only attribute; every folder by its path with a trailing "/" and no
// bytes.
using FileTree = std::map<std::string, std::string>;
extern const char kReadOnlyMark[];

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
FileTree TreeOf(const FolderImage& image);
FileTree ReadTree(const std::string& folder);

// A file whose name ends in ".bak" (any letter case): what the patch names
// its backups.
bool IsBackup(const std::string& path);
// The tree without the backups that `reference` does not have.
FileTree WithoutNewBackups(const FileTree& tree, const FileTree& reference);

// One file that differs: its name in the trees, and a line that says how:
// "missing X", "extra X (N bytes)", or "X: N bytes, expected M, first
// difference at OFFSET: HEX instead of HEX" (names shown in UTF-8).
struct FileDifference {
    std::string path;
    std::string line;
};
std::vector<FileDifference> DiffTrees(const FileTree& actual, const FileTree& expected);
// The lines of DiffTrees, at most `limit` (then "..."); empty when the
// trees are equal.
std::vector<std::string> TreeDifferences(const FileTree& actual, const FileTree& expected,
                                         size_t limit = 8);
// The lines of some differences, at most `limit` (then "...").
std::vector<std::string> DifferenceLines(const std::vector<FileDifference>& differences,
                                         size_t limit = 8);

// Path text for a report: CP932 shown as UTF-8.
std::string Shown(const std::string& cp932);

}  // namespace reliability
