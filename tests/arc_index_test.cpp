// The archive index registry: registering index files, damaged ones
// included, and looking entries up and listing them.
#include "archive/arc_index.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "archive/arc_format.h"
#include "authoring/archive_writer.h"
#include "base/byte_order.h"
#include "base/errors.h"
#include "common/temp_dir.h"

namespace {

using authoring::ArchiveEntry;
using testing_support::Sjis;

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int value : values) out += static_cast<char>(value);
    return out;
}

// A message text (UTF-8, with one %s) as the program shows it for `arg`.
std::string Message(const char* utf8, const std::string& arg) {
    std::string text = Sjis(utf8);
    return text.replace(text.find("%s"), 2, arg);
}

// The error text AriRegist raises, or "" when it registers.
std::string RegistError(const std::string& path) {
    try {
        EXPECT_EQ(CArcIndex::AriRegist(path), kStatusOk);
    } catch (const CError& error) {
        return error.GetErrorText();
    }
    return "";
}

class ArcIndexTest : public ::testing::Test {
protected:
    void SetUp() override { CArcIndex::Reset(); }
    void TearDown() override { CArcIndex::Reset(); }

    // Writes stem.arc and stem.ari in the temp folder; the index's path.
    std::string WritePair(const std::string& stem, const authoring::ArchivePair& pair) {
        EXPECT_TRUE(testing_support::WriteFile(dir_ / (stem + ".arc"), pair.arc));
        EXPECT_TRUE(testing_support::WriteFile(dir_ / (stem + ".ari"), pair.ari));
        return dir_ / (stem + ".ari");
    }
    std::string WriteIndex(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(testing_support::WriteFile(dir_ / name, bytes));
        return dir_ / name;
    }

    // Temp folder names are lower case: AriRegist folds the whole path.
    testing_support::TempDir dir_;
};

// The worked example of the format: one plain entry \a.bin of 3 bytes.
const std::string kWorkedIndex = Bytes({0x06, 0x00, 0x00, 0x00, 0xA3, 0x9E, 0xD1, 0x9D, 0x96, 0x91,
                                        0x00, 0x00, 0x03, 0x00, 0x00, 0x00});

TEST_F(ArcIndexTest, WorkedExampleGivesTheEntryItsDataOffset) {
    const std::string index = WriteIndex("data.ari", kWorkedIndex);
    EXPECT_EQ(RegistError(index), "");

    CArcFileInfo info;
    ASSERT_TRUE(CArcIndex::Find("data/a.bin", &info));
    EXPECT_EQ(info.archive, dir_ / "data");
    EXPECT_EQ(info.offset, 20u);
    EXPECT_EQ(info.size, 3u);
    EXPECT_EQ(info.storedSize, 3u);
    EXPECT_EQ(info.flags, 0);
}

TEST_F(ArcIndexTest, OffsetsPointAtEveryEntrysDataWhateverItsKind) {
    const std::vector<ArchiveEntry> entries = {
        {"a.bin", arc::kKindPlain, "xyz"},
        {"b.prs", arc::kKindCompressed, std::string(100, 'c'), 400},
        {"c.ogg", arc::kKindOgg, "OggS data"},
        {"longer/name/d.bin", arc::kKindPlain, ""},
        {"e.prs", arc::kKindCompressed, "\xB0\xD8\xAC\x60\x01\x40\x00\x00", 9},
        {"f.bin", 3, "odd kind", 77},  // bit 0 set: an expanded size comes first
        {"g.bin", arc::kKindPlain, "last"}};
    const authoring::ArchivePair pair = authoring::BuildArchive(entries, 1);
    ASSERT_EQ(RegistError(WritePair("data", pair)), "");

    CArcFileInfo info;
    ASSERT_TRUE(CArcIndex::Find("data/b.prs", &info));
    EXPECT_EQ(info.offset, 39u);  // 23 + 4 + 6 + 2 + 4
    EXPECT_EQ(pair.arc.substr(info.offset, 4), Bytes({0x90, 0x01, 0x00, 0x00}));
    ASSERT_TRUE(CArcIndex::Find("data/c.ogg", &info));
    EXPECT_EQ(info.offset, 159u);  // 39 + 4 + 100, then a header of 16

    for (const ArchiveEntry& entry : entries) {
        SCOPED_TRACE(entry.name);
        ASSERT_TRUE(CArcIndex::Find("data/" + entry.name, &info));
        EXPECT_EQ(info.flags, entry.kind);
        EXPECT_EQ(info.size, entry.data.size());
        EXPECT_EQ(info.storedSize, info.size);
        uint32_t skip = arc::HasExpandedSize(entry.kind) ? 4 : 0;
        if (skip) {
            EXPECT_EQ(le::GetU32(pair.arc.data() + info.offset), entry.expandedSize);
        }
        EXPECT_EQ(pair.arc.substr(info.offset + skip, info.size), entry.data);
    }
}

// ---- lookups ----

struct LookupCase {
    const char* what;
    std::string path;
    const char* data;  // the entry's stored bytes; null: not found
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.what; }

class ArcLookupTest : public ArcIndexTest, public ::testing::WithParamInterface<LookupCase> {
protected:
    void SetUp() override {
        ArcIndexTest::SetUp();
        data_ = authoring::BuildArchive(
            {{"a.bin", 0, "a"},
             {"x.bin", 0, "x first", 0, true},
             {"sub/c.ogg", 2, "c"},
             {"x.bin", 0, "x second", 0, true},
             {Sjis("ア.bin"), 0, "katakana a"},  // 0x83 0x41: an 'A' as second byte
             {Sjis("ャ.bin"), 0, "small ya"},    // 0x83 0x61: an 'a' as second byte
             {"x.bin", 0, "x third"},
             {"y.bin", 0, "y retired", 0, true},
             {Sjis("表/d.bin"), 0, "in a folder ending in 0x5C"},
             {"twice.bin", 0, "first live"},
             {"twice.bin", 0, "second live"}},
            2);
        ASSERT_EQ(RegistError(WritePair("data", data_)), "");
        // Stems with double-byte characters: 0x95 0x5C and 0x83 0x41.
        hyou_ = authoring::BuildArchive({{"e.bin", 0, "hyou e"}}, 2);
        ASSERT_EQ(RegistError(WritePair(Sjis("表"), hyou_)), "");
        ASSERT_EQ(RegistError(WritePair(Sjis("ア"),
                                        authoring::BuildArchive({{"e.bin", 0, "katakana e"}}, 2))),
                  "");
    }

    authoring::ArchivePair data_, hyou_;
};

TEST_P(ArcLookupTest, FindsExactlyTheLiveEntry) {
    const LookupCase& c = GetParam();
    CArcFileInfo info;
    const bool found = CArcIndex::Find(c.path, &info);
    ASSERT_EQ(found, c.data != nullptr) << c.what;
    if (!found) return;

    // Read the bytes back from the data file the lookup names.
    std::string arcBytes;
    ASSERT_TRUE(testing_support::ReadFile(info.archive + ".arc", &arcBytes)) << info.archive;
    EXPECT_EQ(arcBytes.substr(info.offset, info.size), c.data) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ArcLookupTest,
    ::testing::Values(
        LookupCase{"plain", "data/a.bin", "a"}, LookupCase{"capitals fold", "DATA/A.BIN", "a"},
        LookupCase{"backslash", "Data\\A.Bin", "a"},
        LookupCase{"inside a folder", "data/sub/c.ogg", "c"},
        LookupCase{"inside a folder, backslashes and capitals", "data\\SUB\\C.OGG", "c"},
        LookupCase{"replaced twice: the live record", "data/x.bin", "x third"},
        LookupCase{"two live records: the first", "data/twice.bin", "first live"},
        LookupCase{"only a retired record", "data/y.bin", nullptr},
        LookupCase{"a retired name as written", "data/__.bin", nullptr},
        LookupCase{"second byte 0x41 is no capital", Sjis("data/ア.bin"), "katakana a"},
        LookupCase{"second byte 0x61 is no small letter", Sjis("data/ャ.bin"), "small ya"},
        LookupCase{"folder name ending in 0x5C", Sjis("data/表/d.bin"),
                   "in a folder ending in 0x5C"},
        LookupCase{"stem ending in 0x5C", Sjis("表/e.bin"), "hyou e"},
        LookupCase{"stem ending in 0x5C, backslash", Sjis("表\\E.BIN"), "hyou e"},
        LookupCase{"stem with 0x41 as second byte", Sjis("ア/e.bin"), "katakana e"},
        LookupCase{"stem with 0x61 as second byte", Sjis("ャ/e.bin"), nullptr},
        LookupCase{"no separator", "a.bin", nullptr},
        LookupCase{"starts with a slash", "/data/a.bin", nullptr},
        LookupCase{"starts with a backslash", "\\data\\a.bin", nullptr},
        LookupCase{"empty", "", nullptr}, LookupCase{"stem only", "data", nullptr},
        LookupCase{"stem and separator", "data/", nullptr},
        LookupCase{"doubled separator", "data//a.bin", nullptr},
        LookupCase{"shorter stem", "dat/a.bin", nullptr},
        LookupCase{"longer stem", "data2/a.bin", nullptr},
        LookupCase{"the folder is no stem", "test_tmp/data/a.bin", nullptr},
        LookupCase{"missing entry", "data/missing.bin", nullptr},
        LookupCase{"longer name", "data/a.bin.bak", nullptr},
        LookupCase{"shorter name", "data/a.bi", nullptr},
        LookupCase{"entry of a folder without it", "data/c.ogg", nullptr}));

TEST_F(ArcIndexTest, FirstArchiveWithTheStemDecidesEvenWhenTheSecondHoldsTheEntry) {
    ASSERT_TRUE(testing_support::MakeDir(dir_ / "one"));
    ASSERT_TRUE(testing_support::MakeDir(dir_ / "two"));
    ASSERT_EQ(RegistError(WritePair("one/data", authoring::BuildArchive({{"a.bin", 0, "1"}}, 2))),
              "");
    ASSERT_EQ(RegistError(WritePair(
                  "two/data", authoring::BuildArchive({{"a.bin", 0, "2"}, {"b.bin", 0, "2"}}, 2))),
              "");

    CArcFileInfo info;
    ASSERT_TRUE(CArcIndex::Find("data/a.bin", &info));
    EXPECT_EQ(info.archive, dir_ / "one/data");
    EXPECT_FALSE(CArcIndex::Find("data/b.bin", &info));

    std::vector<CString> names;
    ASSERT_TRUE(CArcIndex::ListFiles("data", "bin", &names));
    EXPECT_EQ(names, std::vector<CString>{"a.bin"});
}

TEST_F(ArcIndexTest, StoredNameEndsAtAZeroByteWhileTheWalkUsesItsLength) {
    // \a, then the stored zero byte (an 0xFF in the name), then 'a'.
    std::string index =
        Bytes({0x04, 0x00, 0x00, 0x00, 0xA3, 0x9E, 0x00, 0x9E, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00});
    index += authoring::BuildArchive({{"b.bin", 0, "bb"}}, 2).ari;
    ASSERT_EQ(RegistError(WriteIndex("data.ari", index)), "");

    CArcFileInfo info;
    ASSERT_TRUE(CArcIndex::Find("data/a", &info));
    EXPECT_EQ(info.offset, 18u);
    ASSERT_TRUE(CArcIndex::Find("data/b.bin", &info));
    EXPECT_EQ(info.offset, 36u);  // 18 + 2, then a header of 16
}

// ---- registering ----

TEST_F(ArcIndexTest, PathIsFoldedAndItsExtensionMayBeInCapitals) {
    WriteIndex("data.ari", kWorkedIndex);
    ASSERT_EQ(RegistError(dir_ / "Data.ARI"), "");
    CArcFileInfo info;
    ASSERT_TRUE(CArcIndex::Find("data/a.bin", &info));
    EXPECT_EQ(info.archive, dir_ / "data");
}

struct DamagedIndexCase {
    const char* what;
    std::string bytes;
    const char* message;  // UTF-8 with %s; null: registers
    size_t entries;       // when it registers
};

void PrintTo(const DamagedIndexCase& c, std::ostream* os) { *os << c.what; }

class ArcDamagedIndexTest : public ArcIndexTest,
                            public ::testing::WithParamInterface<DamagedIndexCase> {};

TEST_P(ArcDamagedIndexTest, RegistersAllOrRaisesTheMatchingMessage) {
    const DamagedIndexCase& c = GetParam();
    const std::string index = WriteIndex("data.ari", c.bytes);
    const std::string error = RegistError(index);
    std::vector<CString> names;
    const bool registered = CArcIndex::ListFiles("data", "bin", &names);
    if (c.message) {
        EXPECT_EQ(error, Message(c.message, index)) << c.what;
        EXPECT_FALSE(registered) << c.what;
    } else {
        EXPECT_EQ(error, "") << c.what;
        EXPECT_TRUE(registered) << c.what;
        EXPECT_EQ(names.size(), c.entries) << c.what;
    }
}

const char kNameSize[] =
    "CArcIndex::AriRegist [%s]インデックスファイルの読み込み［名前サイズ］に失敗しました\n";
const char kFlags[] =
    "CArcIndex::AriRegist [%s]インデックスファイルの読み込み［フラグ］に失敗しました\n";
const char kFileSize[] =
    "CArcIndex::AriRegist [%s]インデックスファイルの読み込み［ファイルサイズ］に失敗しました\n";

INSTANTIATE_TEST_SUITE_P(
    Indexes, ArcDamagedIndexTest,
    ::testing::Values(
        DamagedIndexCase{"empty: an archive without entries", "", nullptr, 0},
        DamagedIndexCase{"one trailing byte", kWorkedIndex + "\x01", nullptr, 1},
        DamagedIndexCase{"two trailing bytes", kWorkedIndex + "\x01\x02", nullptr, 1},
        DamagedIndexCase{"three trailing bytes", kWorkedIndex + "\xFF\xFF\xFF", nullptr, 1},
        DamagedIndexCase{"an empty name", Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), nullptr, 0},
        DamagedIndexCase{"cut inside the name", kWorkedIndex.substr(0, 7), kNameSize, 0},
        DamagedIndexCase{"name missing", kWorkedIndex.substr(0, 4), kNameSize, 0},
        DamagedIndexCase{"name length one beyond the file",
                         Bytes({0x0D, 0, 0, 0}) + kWorkedIndex.substr(4), kNameSize, 0},
        DamagedIndexCase{"name length 0xFFFFFFFF (no L + 1)",
                         Bytes({0xFF, 0xFF, 0xFF, 0xFF}) + kWorkedIndex.substr(4), kNameSize, 0},
        DamagedIndexCase{"name length 2 GiB", Bytes({0, 0, 0, 0x80}) + kWorkedIndex.substr(4),
                         kNameSize, 0},
        DamagedIndexCase{"flags missing", kWorkedIndex.substr(0, 10), kFlags, 0},
        DamagedIndexCase{"cut inside the flags", kWorkedIndex.substr(0, 11), kFlags, 0},
        DamagedIndexCase{"size missing", kWorkedIndex.substr(0, 12), kFileSize, 0},
        DamagedIndexCase{"cut inside the size (1)", kWorkedIndex.substr(0, 13), kFileSize, 0},
        DamagedIndexCase{"cut inside the size (3)", kWorkedIndex.substr(0, 15), kFileSize, 0},
        DamagedIndexCase{"second record cut short: nothing registers",
                         kWorkedIndex + kWorkedIndex.substr(0, 12), kFileSize, 0},
        DamagedIndexCase{"second record's name too long: nothing registers",
                         kWorkedIndex + Bytes({0x40, 0, 0, 0, 0xA3}), kNameSize, 0}));

struct RegistPathCase {
    const char* what;
    std::string name;  // in the temp folder
    const char* message;
};

void PrintTo(const RegistPathCase& c, std::ostream* os) { *os << c.what; }

class ArcRegistPathTest : public ArcIndexTest,
                          public ::testing::WithParamInterface<RegistPathCase> {};

TEST_P(ArcRegistPathTest, RefusesWhatIsNoIndexFile) {
    WriteIndex("data.ari", kWorkedIndex);
    WriteIndex("data.arc", kWorkedIndex);
    WriteIndex("data", kWorkedIndex);
    ASSERT_TRUE(testing_support::MakeDir(dir_ / "folder.ari"));

    const std::string path = dir_ / GetParam().name;
    EXPECT_EQ(RegistError(path), Message(GetParam().message, path)) << GetParam().what;
    CArcFileInfo info;
    EXPECT_FALSE(CArcIndex::Find("data/a.bin", &info));
}

const char kNotIndex[] = "CArcIndex::AriRegist [%s]インデックスファイルではありません\n";
const char kOpenFailed[] =
    "CArcIndex::AriRegist [%s]インデックスファイルのオープンに失敗しました\n";

INSTANTIATE_TEST_SUITE_P(
    Paths, ArcRegistPathTest,
    ::testing::Values(RegistPathCase{"data file", "data.arc", kNotIndex},
                      RegistPathCase{"no extension", "data", kNotIndex},
                      RegistPathCase{"backup of an index", "data.ari.bak", kNotIndex},
                      RegistPathCase{"no dot before ari", "dataari", kNotIndex},
                      RegistPathCase{"missing", "missing.ari", kOpenFailed},
                      RegistPathCase{"message keeps the capitals", "MISSING.ARI", kOpenFailed},
                      RegistPathCase{"a folder", "folder.ari", kOpenFailed}));

// ---- listing ----

TEST_F(ArcIndexTest, ListFilesGivesNamesOfOneExtensionRetiredOnesIncluded) {
    WritePair("data", authoring::BuildArchive({{"a.prs", 1, "zz", 9, true},
                                               {"A.PRS", 1, "zz", 9},
                                               {"sub/b.prs", 0, "b"},
                                               {"c.bin", 0, "c"},
                                               {"readme", 0, "r"},
                                               {Sjis("表.prs"), 0, "d"}},
                                              2));
    ASSERT_EQ(RegistError(dir_ / "data.ari"), "");

    std::vector<CString> names = {"kept"};
    ASSERT_TRUE(CArcIndex::ListFiles("DATA", "PRS", &names));
    EXPECT_EQ(names,
              (std::vector<CString>{"kept", "__.prs", "a.prs", "sub\\b.prs", Sjis("表.prs")}));

    names.clear();
    ASSERT_TRUE(CArcIndex::ListFiles("data", "", &names));
    EXPECT_EQ(names, std::vector<CString>{"readme"});

    names.clear();
    ASSERT_TRUE(CArcIndex::ListFiles("data", "ogg", &names));
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(CArcIndex::ListFiles("other", "prs", &names));
    EXPECT_FALSE(CArcIndex::ListFiles("", "prs", &names));
    EXPECT_TRUE(names.empty());
}

}  // namespace
