#include "reliability/file_tree.h"

#include "common/temp_dir.h"
#include "platform/cp932.h"
#include "platform/platform.h"

namespace reliability {

const char kReadOnlyMark[] = "<read-only> ";

namespace {

void Capture(const std::string& folder, const std::string& prefix, FolderImage* image) {
    for (const platform::FindData& entry : testing_support::ListFolder(folder)) {
        const std::string path = prefix + entry.name;
        if (entry.directory) {
            image->push_back({path, true, std::string()});
            Capture(folder + "/" + entry.name, path + "/", image);
        } else {
            std::string bytes;
            if (!testing_support::ReadFile(folder + "/" + entry.name, &bytes)) {
                bytes = "<unreadable>";
            }
            image->push_back({path, false, bytes, entry.read_only});
        }
    }
}

std::string Hex(const std::string& bytes, size_t offset) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = offset; i < bytes.size() && i < offset + 8; ++i) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (!out.empty()) out += ' ';
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out.empty() ? "(end)" : out;
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
        if (entry.folder ? !testing_support::MakeDir(path)
                         : !testing_support::WriteFile(path, entry.bytes)) {
            return false;
        }
        if (entry.readOnly && platform::System().SetReadOnly(path, true) != 0) return false;
    }
    return true;
}

FileTree TreeOf(const FolderImage& image) {
    FileTree tree;
    for (const FolderEntry& entry : image) {
        tree[platform::LowerCased(entry.path) + (entry.folder ? "/" : "")] =
            (entry.readOnly ? kReadOnlyMark : "") + entry.bytes;
    }
    return tree;
}

FileTree ReadTree(const std::string& folder) { return TreeOf(CaptureFolder(folder)); }

bool IsBackup(const std::string& path) {
    const std::string name = platform::LowerCased(path);
    return name.size() >= 4 && name.compare(name.size() - 4, 4, ".bak") == 0;
}

FileTree WithoutNewBackups(const FileTree& tree, const FileTree& reference) {
    FileTree kept;
    for (const auto& file : tree) {
        if (!IsBackup(file.first) || reference.count(file.first) != 0) kept.insert(file);
    }
    return kept;
}

std::vector<FileDifference> DiffTrees(const FileTree& actual, const FileTree& expected) {
    std::vector<FileDifference> differences;
    for (const auto& file : expected) {
        auto found = actual.find(file.first);
        if (found == actual.end()) {
            differences.push_back({file.first, "missing " + Shown(file.first)});
        } else if (found->second != file.second) {
            const std::string& a = found->second;
            const std::string& e = file.second;
            size_t at = 0;
            while (at < a.size() && at < e.size() && a[at] == e[at]) ++at;
            differences.push_back({file.first, Shown(file.first) + ": " + std::to_string(a.size()) +
                                                   " bytes, expected " + std::to_string(e.size()) +
                                                   ", first difference at " + std::to_string(at) +
                                                   ": " + Hex(a, at) + " instead of " +
                                                   Hex(e, at)});
        }
    }
    for (const auto& file : actual) {
        if (expected.count(file.first) == 0) {
            differences.push_back({file.first, "extra " + Shown(file.first) + " (" +
                                                   std::to_string(file.second.size()) + " bytes)"});
        }
    }
    return differences;
}

std::vector<std::string> DifferenceLines(const std::vector<FileDifference>& differences,
                                         size_t limit) {
    std::vector<std::string> lines;
    for (const FileDifference& difference : differences) {
        if (lines.size() == limit) {
            lines.push_back("...");
            break;
        }
        lines.push_back(difference.line);
    }
    return lines;
}

std::vector<std::string> TreeDifferences(const FileTree& actual, const FileTree& expected,
                                         size_t limit) {
    return DifferenceLines(DiffTrees(actual, expected), limit);
}

std::string Shown(const std::string& cp932) { return platform::DisplayUtf8(cp932); }

}  // namespace reliability
