// What differs between two folder trees (common/file_tree.h) or two files'
// bytes: lines for a report, and the assertions the tests make of them.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "common/file_tree.h"

namespace testing_support {

// One file that differs: its name in the trees, and a line that says how:
// "missing X", "extra X (N bytes)", or "X: N bytes, expected M, first
// difference at OFFSET: HEX instead of HEX" (names shown in UTF-8).
struct FileDifference {
    std::string path;
    std::string line;
};
std::vector<FileDifference> DiffTrees(const FileTree& actual, const FileTree& expected);
// The lines of some differences, at most `limit` (then "...").
std::vector<std::string> DifferenceLines(const std::vector<FileDifference>& differences,
                                         size_t limit = 8);
// The lines of DiffTrees, at most `limit` (then "..."); empty when the
// trees are equal.
std::vector<std::string> TreeDifferences(const FileTree& actual, const FileTree& expected,
                                         size_t limit = 8);

// Equal bytes; otherwise the sizes and the first offset that differs, with
// a few bytes of each from there (archives are too long to print whole).
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);
// The same files with the same bytes; otherwise every line of DiffTrees.
::testing::AssertionResult SameFiles(const FileTree& actual, const FileTree& expected);

}  // namespace testing_support
