// A game folder as the sweeps look at it: the tests' folder trees
// (common/file_tree.h, common/tree_diff.h) and the names the patch gives
// its backups.
#pragma once

#include <string>

#include "common/file_tree.h"
#include "common/tree_diff.h"

namespace reliability {

using testing_support::CaptureFolder;
using testing_support::DifferenceLines;
using testing_support::DiffTrees;
using testing_support::FileDifference;
using testing_support::FileTree;
using testing_support::FolderImage;
using testing_support::ReadTree;
using testing_support::TreeDifferences;
using testing_support::TreeOf;
using testing_support::WriteFolder;

// A file whose name ends in ".bak" (any letter case): what the patch names
// its backups.
bool IsBackup(const std::string& path);
// The tree without the backups that `reference` does not have.
FileTree WithoutNewBackups(const FileTree& tree, const FileTree& reference);

// Path text for a report: CP932 shown as UTF-8.
std::string Shown(const std::string& cp932);

}  // namespace reliability
