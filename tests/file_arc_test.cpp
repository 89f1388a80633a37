// Reading archive entries as files: whole-file and partial reads, seeking
// relative to the entry, and every failure a damaged data file can cause.
#include "archive/file_arc.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "archive/arc_format.h"
#include "archive/arc_index.h"
#include "authoring/archive_writer.h"
#include "authoring/lzss_encoder.h"
#include "base/byte_order.h"
#include "base/errors.h"
#include "common/temp_dir.h"
#include "fileio/file_normal.h"
#include "support/fault_disk.h"

namespace {

using authoring::ArchiveEntry;
using testing_support::DiskOp;
using testing_support::FaultDisk;
using testing_support::PathFault;
using testing_support::Sjis;

// The worked example of the codec: "abcabcabc".
const std::string kStream("\xB0\xD8\xAC\x60\x01\x40\x00\x00", 8);

std::string Message(const char* utf8, const std::string& arg) {
    std::string text = Sjis(utf8);
    return text.replace(text.find("%s"), 2, arg);
}

const char kNoArchive[] = "CFileArc::Open アーカイブファイル[%s]が見つかりません\n";
const char kSeekFailed[] = "CFileArc::アーカイブファイル[%s]のシークに失敗しました\n";
const char kOpenLength[] = "CFileArc::Open [%s] ファイルレングスの読み込みで失敗しました\n";
const char kReadStored[] = "CFileArc::Read [%s]ファイル（非圧縮）の読み込みに失敗しました\n";
const char kReadLength[] = "CFileArc::Read [%s] ファイルレングスの読み込みで失敗しました\n";
const char kReadCompressed[] = "CFileArc::Read [%s]ファイル（圧縮）の読み込みに失敗しました\n";
const char kReadFailed[] = "CFileArc::Read [%s]読み込みに失敗しました\n";

// The text of the CError that `action` raises, or "" when it raises none.
template <typename Action>
std::string ErrorOf(Action action) {
    try {
        action();
    } catch (const CError& error) {
        return error.GetErrorText();
    }
    return "";
}

// Opens and reads the whole entry; its contents without the zero byte.
std::string ReadWhole(CFileArc& file) {
    int32_t size = file.GetSize();
    EXPECT_GE(size, 0);
    std::string buffer(static_cast<size_t>(size) + 1, '\x55');
    EXPECT_EQ(file.Read(&buffer[0]), kStatusOk);
    EXPECT_EQ(buffer.back(), '\0');
    buffer.pop_back();
    return buffer;
}

std::string ReadSome(CFileArc& file, uint32_t count) {
    std::string buffer(count, '\0');
    uint32_t done = 0;
    EXPECT_EQ(file.Read(&buffer[0], count, &done), kStatusOk);
    buffer.resize(done);
    return buffer;
}

class FileArcTest : public ::testing::Test {
protected:
    void SetUp() override { CArcIndex::Reset(); }
    void TearDown() override { CArcIndex::Reset(); }

    void Write(const std::string& arc, const std::string& ari) {
        if (!arc.empty()) {
            ASSERT_TRUE(testing_support::WriteFile(dir_ / "data.arc", arc));
        }
        ASSERT_TRUE(testing_support::WriteFile(dir_ / "data.ari", ari));
        ASSERT_EQ(CArcIndex::AriRegist(dir_ / "data.ari"), kStatusOk);
    }
    void Write(const authoring::ArchivePair& pair) { Write(pair.arc, pair.ari); }
    // The data file's path as CFileArc names it in its messages.
    std::string DataPath() const { return NormalizePath(dir_ / "data.arc"); }

    testing_support::TempDir dir_;
};

// a.bin "hello" (data at 20), then b.prs "abcabcabc" (record at 25, expanded
// size at 41, stream at 45, file end 53).
authoring::ArchivePair SmallArchive() {
    return authoring::BuildArchive(
        {{"a.bin", arc::kKindPlain, "hello"}, {"b.prs", arc::kKindCompressed, kStream, 9}}, 2);
}

TEST_F(FileArcTest, NothingRegisteredFailsWithoutAMessageAndStaysClosed) {
    CFileArc file;
    EXPECT_EQ(file.Open("data/a.bin"), kStatusFail);
    EXPECT_EQ(file.GetName(), "data/a.bin");
    uint32_t done = 7;
    char byte;
    EXPECT_EQ(file.Read(&byte, 1, &done), kStatusFail);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(file.Read(&byte), kStatusFail);
    EXPECT_EQ(file.Seek(0, nullptr, 0), platform::kInvalidSetFilePointer);
    EXPECT_EQ(file.Close(), kStatusOk);
}

TEST_F(FileArcTest, WholeFileReadGivesTheContentsAndAZeroByte) {
    std::string big;
    for (int i = 0; i < 6000; ++i) big += static_cast<char>("patterns"[i % 8] + (i / 700));
    const std::string bigStream = authoring::LzssEncode(big);
    Write(authoring::BuildArchive(
        {{"a.bin", arc::kKindPlain, "hello"},
         {"b.prs", arc::kKindCompressed, kStream, 9},
         {"empty.bin", arc::kKindPlain, ""},
         {"sub/c.ogg", arc::kKindOgg, std::string("OggS\0\1", 6)},
         {"big.prs", arc::kKindCompressed, bigStream, static_cast<uint32_t>(big.size())},
         {"empty.prs", arc::kKindCompressed, std::string("\0\0", 2), 0}},
        2));

    const struct {
        const char* path;
        std::string contents;
    } cases[] = {{"data/a.bin", "hello"}, {"DATA/B.PRS", "abcabcabc"},
                 {"data/empty.bin", ""},  {"data\\sub\\c.ogg", std::string("OggS\0\1", 6)},
                 {"data/big.prs", big},  // wraps the window
                 {"data/empty.prs", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        CFileArc file;
        ASSERT_EQ(file.Open(c.path), kStatusOk);
        EXPECT_EQ(file.GetName(), c.path);
        EXPECT_EQ(file.GetSize(), static_cast<int32_t>(c.contents.size()));
        EXPECT_EQ(ReadWhole(file), c.contents);
        EXPECT_EQ(file.GetSize(), static_cast<int32_t>(c.contents.size()));
    }
}

TEST_F(FileArcTest, PartialReadGivesTheStoredBytes) {
    const authoring::ArchivePair pair = SmallArchive();
    Write(pair);
    CFileArc file;
    ASSERT_EQ(file.Open("data/b.prs"), kStatusOk);
    // The expanded size, then the stream as stored.
    EXPECT_EQ(ReadSome(file, 6), std::string("\x09\x00\x00\x00\xB0\xD8", 6));
    EXPECT_EQ(ReadSome(file, 6), kStream.substr(2));
    EXPECT_EQ(ReadSome(file, 6), "");  // the data file has ended

    ASSERT_EQ(file.Open("data/a.bin"), kStatusOk);
    EXPECT_EQ(ReadSome(file, 3), "hel");
    EXPECT_EQ(ReadSome(file, 2), "lo");
}

struct SeekCase {
    const char* what;
    const char* path;
    int32_t start;  // sought from the entry's start first
    int32_t distance;
    uint32_t method;
    uint32_t result;
    std::string next;  // the two bytes read afterwards
};

void PrintTo(const SeekCase& c, std::ostream* os) { *os << c.what; }

class FileArcSeekTest : public FileArcTest, public ::testing::WithParamInterface<SeekCase> {};

TEST_P(FileArcSeekTest, MovesRelativeToTheEntry) {
    const SeekCase& c = GetParam();
    Write(SmallArchive());
    CFileArc file;
    ASSERT_EQ(file.Open(c.path), kStatusOk);
    ASSERT_EQ(file.Seek(c.start, nullptr, platform::kFileBegin), static_cast<uint32_t>(c.start));
    EXPECT_EQ(file.Seek(c.distance, nullptr, c.method), c.result) << c.what;
    EXPECT_EQ(ReadSome(file, 2), c.next) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Methods, FileArcSeekTest,
    ::testing::Values(
        SeekCase{"from the start", "data/a.bin", 0, 2, 0, 2, "ll"},
        SeekCase{"from the current position, forwards", "data/a.bin", 1, 2, 1, 3, "lo"},
        SeekCase{"from the current position, backwards", "data/a.bin", 4, -3, 1, 1, "el"},
        SeekCase{"from the end", "data/a.bin", 0, -2, 2, 3, "lo"},
        SeekCase{"to the end: the next record follows", "data/a.bin", 0, 0, 2, 5,
                 std::string("\x06\x00", 2)},
        SeekCase{"an invalid method keeps the position", "data/a.bin", 1, 1, 3, 0xFFFFFFFFu, "el"},
        SeekCase{"before the data file's start", "data/a.bin", 0, -21, 0, 0xFFFFFFFFu, "he"},
        SeekCase{"compressed: the end is the expanded size", "data/b.prs", 0, 0, 2, 9,
                 std::string("\x40\x00", 2)},
        SeekCase{"compressed: from the start counts stored bytes", "data/b.prs", 0, 4, 0, 4,
                 "\xB0\xD8"}));

TEST_F(FileArcTest, SeekWithAHighPartAndBeforeOpen) {
    Write(SmallArchive());
    CFileArc file;
    int32_t high = 0;
    EXPECT_EQ(file.Seek(0, &high, 0), platform::kInvalidSetFilePointer);
    ASSERT_EQ(file.Open("data/a.bin"), kStatusOk);
    EXPECT_EQ(file.Seek(4, &high, 0), 4u);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(ReadSome(file, 1), "o");
}

TEST_F(FileArcTest, OpenAgainSwitchesEntriesAndAMissCloses) {
    Write(SmallArchive());
    CFileArc file;
    ASSERT_EQ(file.Open("data/a.bin"), kStatusOk);
    EXPECT_EQ(file.GetSize(), 5);
    ASSERT_EQ(file.Open("data/b.prs"), kStatusOk);
    EXPECT_EQ(file.GetSize(), 9);
    EXPECT_EQ(ReadWhole(file), "abcabcabc");

    EXPECT_EQ(file.Open("data/missing.bin"), kStatusFail);
    uint32_t done = 0;
    char byte;
    EXPECT_EQ(file.Read(&byte, 1, &done), kStatusFail);
}

TEST_F(FileArcTest, MissingDataFileIsNamedWithBackslashes) {
    Write("", SmallArchive().ari);
    CFileArc file;
    EXPECT_EQ(ErrorOf([&] { file.Open("data/a.bin"); }), Message(kNoArchive, DataPath()));
    EXPECT_NE(DataPath().find('\\'), std::string::npos);
}

// ---- damaged data and index files ----

enum class Stage { kOpen, kRead };

struct DamageCase {
    const char* what;
    authoring::ArchivePair pair;
    const char* path;
    Stage stage;
    const char* message;
    bool namesDataFile;  // %s is the data file's path, not the entry's name
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.what; }

class FileArcDamageTest : public FileArcTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(FileArcDamageTest, RaisesTheMatchingMessageAndCloses) {
    const DamageCase& c = GetParam();
    Write(c.pair);
    const std::string expected = Message(c.message, c.namesDataFile ? DataPath() : c.path);

    CFileArc file;
    if (c.stage == Stage::kOpen) {
        EXPECT_EQ(ErrorOf([&] { file.Open(c.path); }), expected) << c.what;
    } else {
        ASSERT_EQ(file.Open(c.path), kStatusOk) << c.what;
        // Damaged sizes must not reach the buffer: it holds only what a
        // sound entry of this size would need, capped for absurd sizes.
        int32_t size = file.GetSize();
        std::vector<char> buffer(size >= 0 && size < 4096 ? static_cast<size_t>(size) + 1 : 1);
        EXPECT_EQ(ErrorOf([&] { file.Read(buffer.data()); }), expected) << c.what;
    }
    uint32_t done = 0;
    char byte;
    EXPECT_EQ(file.Read(&byte, 1, &done), kStatusFail) << c.what << ": still open";
}

authoring::ArchivePair Cut(authoring::ArchivePair pair, size_t arcSize) {
    pair.arc.resize(arcSize);
    return pair;
}

authoring::ArchivePair WithArcU32(authoring::ArchivePair pair, size_t at, uint32_t value) {
    std::string field;
    le::PutU32(&field, value);
    pair.arc.replace(at, 4, field);
    return pair;
}

authoring::ArchivePair WithAriU32(authoring::ArchivePair pair, size_t at, uint32_t value) {
    std::string field;
    le::PutU32(&field, value);
    pair.ari.replace(at, 4, field);
    return pair;
}

authoring::ArchivePair WithStream(const std::string& stream) {
    return authoring::BuildArchive({{"b.prs", arc::kKindCompressed, stream, 9}}, 2);
}

// Index offsets of SmallArchive: a.bin's size field at 12, b.prs's at 28.
INSTANTIATE_TEST_SUITE_P(
    Files, FileArcDamageTest,
    ::testing::Values(
        DamageCase{"plain entry cut short", Cut(SmallArchive(), 23), "data/a.bin", Stage::kRead,
                   kReadStored, false},
        DamageCase{"plain entry's size beyond the data file",
                   WithAriU32(SmallArchive(), 12, 0x7FFFFFF0u), "data/a.bin", Stage::kRead,
                   kReadStored, false},
        DamageCase{"plain entry's size beyond 2 GiB", WithAriU32(SmallArchive(), 12, 0xFFFFFFF0u),
                   "data/a.bin", Stage::kRead, kReadStored, false},
        DamageCase{"data file ends before the expanded size", Cut(SmallArchive(), 43), "data/b.prs",
                   Stage::kOpen, kOpenLength, false},
        DamageCase{"stream cut short", Cut(SmallArchive(), 50), "data/b.prs", Stage::kRead,
                   kReadCompressed, false},
        DamageCase{"stored size beyond the data file", WithAriU32(SmallArchive(), 28, 0xFFFFFFF0u),
                   "data/b.prs", Stage::kRead, kReadCompressed, false},
        DamageCase{"expanded size larger than the stream gives", WithArcU32(SmallArchive(), 41, 20),
                   "data/b.prs", Stage::kRead, kReadCompressed, false},
        DamageCase{"expanded size smaller than the stream gives", WithArcU32(SmallArchive(), 41, 5),
                   "data/b.prs", Stage::kRead, kReadCompressed, false},
        DamageCase{"expanded size 0xFFFFFFFF", WithArcU32(SmallArchive(), 41, 0xFFFFFFFFu),
                   "data/b.prs", Stage::kRead, kReadCompressed, false},
        DamageCase{"stream without its end marker",
                   WithStream(std::string("\xB0\xD8\xAC\x60\x01\x40\x00\xFF", 8)), "data/b.prs",
                   Stage::kRead, kReadCompressed, false},
        DamageCase{"stream of literals only", WithStream(std::string(8, '\xFF')), "data/b.prs",
                   Stage::kRead, kReadCompressed, false},
        DamageCase{"entry beyond 2 GiB", WithAriU32(SmallArchive(), 12, 0x80000000u), "data/b.prs",
                   Stage::kOpen, kSeekFailed, true}));

// ---- a system whose reads fail ----

// Reads of every file fail once `succeeding` more have succeeded.
PathFault ReadsFailAfter(int succeeding) { return PathFault(DiskOp::kRead, "").After(succeeding); }

TEST_F(FileArcTest, FailingSystemReadsRaiseTheirMessages) {
    Write(SmallArchive());
    FaultDisk disk(platform::System());
    platform::ScopedFileSystem scoped(&disk);
    char buffer[16];
    uint32_t done = 0;

    {
        // A partial read reports and leaves the file open.
        CFileArc file;
        ASSERT_EQ(file.Open("data/a.bin"), kStatusOk);
        disk.FailOn(ReadsFailAfter(0));
        EXPECT_EQ(ErrorOf([&] { file.Read(buffer, 2, &done); }),
                  Message(kReadFailed, "data/a.bin"));
        EXPECT_EQ(file.Seek(1, nullptr, 0), 1u);
        // The whole-file read closes.
        EXPECT_EQ(ErrorOf([&] { file.Read(buffer); }), Message(kReadStored, "data/a.bin"));
        EXPECT_EQ(file.Seek(1, nullptr, 0), platform::kInvalidSetFilePointer);
    }
    const struct {
        int readsLeft;  // after Open
        Stage stage;
        const char* message;
    } compressed[] = {{0, Stage::kOpen, kOpenLength},
                      {0, Stage::kRead, kReadLength},
                      {1, Stage::kRead, kReadCompressed}};
    for (const auto& c : compressed) {
        SCOPED_TRACE(c.message);
        CFileArc file;
        disk.ClearPathFaults();
        if (c.stage == Stage::kOpen) {
            disk.FailOn(ReadsFailAfter(c.readsLeft));
            EXPECT_EQ(ErrorOf([&] { file.Open("DATA/B.PRS"); }), Message(c.message, "DATA/B.PRS"));
        } else {
            ASSERT_EQ(file.Open("DATA/B.PRS"), kStatusOk);
            disk.FailOn(ReadsFailAfter(c.readsLeft));
            EXPECT_EQ(ErrorOf([&] { file.Read(buffer); }), Message(c.message, "DATA/B.PRS"));
        }
        EXPECT_EQ(file.Read(buffer, 1, &done), kStatusFail);
    }
}

}  // namespace
