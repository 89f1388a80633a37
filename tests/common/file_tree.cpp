#include "common/file_tree.h"

#include "common/temp_dir.h"
#include "platform/cp932.h"
#include "platform/platform.h"

namespace testing_support {

const char kReadOnlyMark[] = "<read-only> ";

namespace {

void Capture(const std::string& folder, const std::string& prefix, FolderImage* image) {
    for (const platform::FindData& entry : ListFolder(folder)) {
        const std::string path = prefix + entry.name;
        if (entry.directory) {
            image->push_back({path, true, std::string()});
            Capture(folder + "/" + entry.name, path + "/", image);
        } else {
            std::string bytes;
            if (!ReadFile(folder + "/" + entry.name, &bytes)) bytes = "<unreadable>";
            image->push_back({path, false, bytes, entry.read_only});
        }
    }
}

}  // namespace

FolderImage CaptureFolder(const std::string& folder) {
    FolderImage image;
    Capture(folder, "", &image);
    return image;
}

bool WriteFolder(const std::string& folder, const FolderImage& image) {
    for (const FolderEntry& entry : image) {
        const std::string path = folder + "/" + entry.path;
        if (entry.folder ? !MakeDir(path) : !WriteFile(path, entry.bytes)) return false;
        if (entry.readOnly && platform::System().SetReadOnly(path, true) != 0) return false;
    }
    return true;
}

FileTree TreeOf(const FolderImage& image, ReadOnlyMarks marks) {
    FileTree tree;
    for (const FolderEntry& entry : image) {
        const bool marked = entry.readOnly && marks == ReadOnlyMarks::kShown;
        tree[cp932::LowerCased(entry.path) + (entry.folder ? "/" : "")] =
            (marked ? kReadOnlyMark : "") + entry.bytes;
    }
    return tree;
}

FileTree ReadTree(const std::string& folder, ReadOnlyMarks marks) {
    return TreeOf(CaptureFolder(folder), marks);
}

}  // namespace testing_support
