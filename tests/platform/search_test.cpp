// File search through the platform seam, as FindFirstFile / FindNextFile
// see a folder: wildcards, letter case, "." and "..", CP932 names.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace platform;
using testing_support::MakeDir;
using testing_support::Sjis;
using testing_support::TempDir;
using testing_support::WriteFile;

// Every entry a search returns, in the order returned.
std::vector<FindData> Search(const std::string& pattern) {
    std::vector<FindData> entries;
    FindData data;
    auto search = System().FindFirst(pattern, &data, nullptr);
    if (!search) return entries;
    do {
        entries.push_back(data);
    } while (search->Next(&data));
    EXPECT_FALSE(search->Next(&data));  // the end stays the end
    return entries;
}

std::vector<std::string> SortedNames(const std::vector<FindData>& entries) {
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

// A folder with a few files, a subfolder and a CP932 name whose second byte
// is 0x5C ("ソ" is 0x83 0x5C).
class SearchTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteFile(dir_ / "a.bak", "12345"));
        ASSERT_TRUE(WriteFile(dir_ / "b.BAK", ""));
        ASSERT_TRUE(WriteFile(dir_ / "readme.txt", "hello"));
        ASSERT_TRUE(WriteFile(dir_ / "noext", "n"));
        ASSERT_TRUE(MakeDir(dir_ / "arc"));
        ASSERT_TRUE(WriteFile(dir_ / "arc/data.arc", "arc"));
        ASSERT_TRUE(WriteFile(dir_ / japanese_, "jp"));
    }

    TempDir dir_;
    const std::string japanese_ = Sjis(u8"表ソ.txt");
};

struct PatternCase {
    const char* pattern;             // below the test folder; UTF-8
    std::vector<const char*> names;  // UTF-8, sorted by their CP932 bytes
};

TEST_F(SearchTest, MatchesPatternsLikeFindFirstFile) {
    const std::vector<const char*> everything = {".",     "..",    "a.bak",      "arc",
                                                 "b.BAK", "noext", "readme.txt", u8"表ソ.txt"};
    const PatternCase cases[] = {
        {"*.bak", {"a.bak", "b.BAK"}},
        {"*.BAK", {"a.bak", "b.BAK"}},
        {"?.bak", {"a.bak", "b.BAK"}},
        {"A*", {"a.bak", "arc"}},
        {"*", everything},
        {"*.*", everything},
        {"noext.*", {"noext"}},
        {"read*", {"readme.txt"}},
        {"R?ADME.T?T", {"readme.txt"}},
        {"*.zip", {}},
        // A double-byte character is one character to '?'.
        {u8"表?.txt", {u8"表ソ.txt"}},
        {u8"??.txt", {u8"表ソ.txt"}},
        {u8"*ソ*", {u8"表ソ.txt"}},
        // Without wildcards: the one entry, under its name on disk.
        {"README.TXT", {"readme.txt"}},
        {"ARC", {"arc"}},
        {u8"表ソ.TXT", {u8"表ソ.txt"}},
        {"missing.txt", {}},
        // Inside the subfolder.
        {"arc/*", {".", "..", "data.arc"}},
        {"ARC\\DATA.*", {"data.arc"}},
        // A pattern that ends in a separator or goes through a missing folder.
        {"arc/", {}},
        {"nowhere/*", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> expected;
        for (const char* name : c.names) expected.push_back(Sjis(name));
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(SortedNames(Search(dir_ / Sjis(c.pattern))), expected) << c.pattern;
    }
}

TEST_F(SearchTest, DescribesEachEntry) {
    for (const auto& entry : Search(dir_ / "*")) {
        SCOPED_TRACE(entry.name);
        bool folder = entry.name == "." || entry.name == ".." || entry.name == "arc";
        EXPECT_EQ(entry.directory, folder);
        uint64_t size = entry.name == "a.bak"        ? 5
                        : entry.name == "readme.txt" ? 5
                        : entry.name == "noext"      ? 1
                        : entry.name == japanese_    ? 2
                                                     : 0;
        EXPECT_EQ(entry.size, size);
    }
    auto arc = Search(dir_ / "arc");
    ASSERT_EQ(arc.size(), 1u);
    EXPECT_TRUE(arc[0].directory);
    auto data = Search(dir_ / "arc/data.arc");
    ASSERT_EQ(data.size(), 1u);
    EXPECT_FALSE(data[0].directory);
    EXPECT_EQ(data[0].size, 3u);
}

TEST_F(SearchTest, ReportsTheReadOnlyAttribute) {
    const std::string path = dir_ / "readme.txt";
    EXPECT_FALSE(Search(path).at(0).read_only);
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(Search(path).at(0).read_only);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // so the folder can go
#else
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_TRUE(Search(path).at(0).read_only);
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
#endif
}

TEST_F(SearchTest, FollowsChangesMadeBetweenSearches) {
    ASSERT_EQ(System().Rename(dir_ / "a.bak", dir_ / "arc/a.bak"), kErrorSuccess);
    EXPECT_EQ(SortedNames(Search(dir_ / "*.bak")), std::vector<std::string>{"b.BAK"});
    EXPECT_EQ(SortedNames(Search(dir_ / "arc/*.bak")), std::vector<std::string>{"a.bak"});
    ASSERT_EQ(System().Remove(dir_ / "b.bak"), kErrorSuccess);
    EXPECT_TRUE(Search(dir_ / "*.bak").empty());
}

#ifndef _WIN32
// A name on disk that CP932 cannot spell is out of the program's reach.
TEST_F(SearchTest, LeavesOutNamesWithoutACp932Form) {
    std::string euro = dir_.path() + "/" + u8"€.txt";
    int fd = open(euro.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
    std::vector<std::string> names = SortedNames(Search(dir_ / "*.txt"));
    EXPECT_EQ(names, (std::vector<std::string>{"readme.txt", japanese_}));
    unlink(euro.c_str());
}
#endif

}  // namespace
