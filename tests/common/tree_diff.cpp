#include "common/tree_diff.h"

#include "platform/cp932.h"

namespace testing_support {

namespace {

// Up to 8 bytes from offset, in hex.
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

// How two byte strings that are not equal differ.
std::string BytesDifference(const std::string& actual, const std::string& expected) {
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return std::to_string(actual.size()) + " bytes, expected " + std::to_string(expected.size()) +
           ", first difference at " + std::to_string(at) + ": " + Hex(actual, at) + " instead of " +
           Hex(expected, at);
}

std::string Shown(const std::string& cp932) { return platform::DisplayUtf8(cp932); }

}  // namespace

std::vector<FileDifference> DiffTrees(const FileTree& actual, const FileTree& expected) {
    std::vector<FileDifference> differences;
    for (const auto& file : expected) {
        auto found = actual.find(file.first);
        if (found == actual.end()) {
            differences.push_back({file.first, "missing " + Shown(file.first)});
        } else if (found->second != file.second) {
            differences.push_back({file.first, Shown(file.first) + ": " +
                                                   BytesDifference(found->second, file.second)});
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

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << BytesDifference(actual, expected);
}

::testing::AssertionResult SameFiles(const FileTree& actual, const FileTree& expected) {
    const std::vector<FileDifference> differences = DiffTrees(actual, expected);
    if (differences.empty()) return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "the folders differ:";
    for (const FileDifference& difference : differences) failure << "\n  " << difference.line;
    return failure;
}

}  // namespace testing_support
