#include "reliability/file_tree.h"

#include "platform/cp932.h"

namespace reliability {

bool IsBackup(const std::string& path) {
    const std::string name = cp932::LowerCased(path);
    return name.size() >= 4 && name.compare(name.size() - 4, 4, ".bak") == 0;
}

FileTree WithoutNewBackups(const FileTree& tree, const FileTree& reference) {
    FileTree kept;
    for (const auto& file : tree) {
        if (!IsBackup(file.first) || reference.count(file.first) != 0) kept.insert(file);
    }
    return kept;
}

std::string Shown(const std::string& cp932) { return platform::DisplayUtf8(cp932); }

}  // namespace reliability
