// Files on disk through CFileNormal: plain files in the four ways the
// commands open them, typed files with their headers, and the messages a
// damaged typed file raises.
#include "fileio/file_normal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "authoring/lzss_encoder.h"
#include "base/errors.h"
#include "common/temp_dir.h"

namespace {

using testing_support::MakeDir;
using testing_support::ReadFile;
using testing_support::Sjis;
using testing_support::TempDir;
using testing_support::WriteFile;

std::string Le16(uint16_t value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

std::string Le32(uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

const std::string kAbcStream("\xB0\xD8\xAC\x60\x01\x40\x00\x00", 8);  // "abcabcabc"

std::string Text(size_t size) {
    std::string text;
    for (int i = 0; text.size() < size; ++i) text += "entry " + std::to_string(i % 50) + "; ";
    text.resize(size);
    return text;
}

// The whole-file Read into a buffer of exactly GetSize() + 1 bytes; checks
// the zero byte behind the contents and returns the contents.
std::string ReadWhole(CFileNormal& file) {
    const int32_t size = file.GetSize();
    EXPECT_GE(size, 0);
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '\xCC');
    EXPECT_EQ(file.Read(buffer.data()), kStatusOk);
    EXPECT_EQ(buffer.back(), '\0');
    return std::string(buffer.data(), static_cast<size_t>(size));
}

std::string ReadSome(CFileNormal& file, uint32_t count) {
    std::string buffer(count, '\0');
    uint32_t done = 12345;
    EXPECT_EQ(file.Read(&buffer[0], count, &done), kStatusOk);
    buffer.resize(done);
    return buffer;
}

// A file that holds nothing usable: reads, writes and seeks fail; closing
// succeeds.
void ExpectNoFile(CFileNormal& file) {
    char byte = 0;
    uint32_t done = 99;
    EXPECT_EQ(file.Read(&byte, 1, &done), kStatusFail);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(file.Write("x", 1), kStatusFail);
    EXPECT_EQ(file.Seek(0, nullptr, platform::kFileBegin), 0xFFFFFFFFu);
    EXPECT_EQ(file.Close(), kStatusOk);
}

class FileNormalTest : public ::testing::Test {
protected:
    std::string Put(const std::string& name, const std::string& bytes) {
        std::string path = dir_ / name;
        EXPECT_TRUE(WriteFile(path, bytes)) << path;
        return path;
    }

    TempDir dir_;
};

TEST_F(FileNormalTest, FourOpeningModesOfTheCommands) {
    const uint32_t kReadWrite = platform::kGenericRead | platform::kGenericWrite;
    std::string path = Put("game.bin", "hello");
    {
        // Reading: shared read, existing file. Reaching the end is no failure.
        CFileNormal file;
        ASSERT_EQ(file.Open(path), kStatusOk);
        EXPECT_EQ(file.GetSize(), 5);
        EXPECT_EQ(file.Write("x", 1), kStatusFail);
        EXPECT_EQ(ReadSome(file, 10), "hello");
        EXPECT_EQ(ReadSome(file, 10), "");
    }
    {
        // In place: read and write, existing file kept.
        CFileNormal file;
        ASSERT_EQ(file.Open(path, kReadWrite, platform::kShareRead, platform::kOpenExisting),
                  kStatusOk);
        EXPECT_EQ(file.GetSize(), 5);
        EXPECT_EQ(file.Seek(1, nullptr, platform::kFileBegin), 1u);
        EXPECT_EQ(file.Write("EL", 2), kStatusOk);
        EXPECT_EQ(file.Seek(0, nullptr, platform::kFileBegin), 0u);
        EXPECT_EQ(ReadSome(file, 10), "hELlo");
    }
    {
        // Copy target: read and write, created anew.
        CFileNormal file;
        ASSERT_EQ(file.Open(path, kReadWrite, platform::kShareRead, platform::kCreateAlways),
                  kStatusOk);
        EXPECT_EQ(file.GetSize(), 0);
        EXPECT_EQ(file.Write("abc", 3), kStatusOk);
        EXPECT_EQ(file.Seek(0, nullptr, platform::kFileBegin), 0u);
        EXPECT_EQ(ReadSome(file, 10), "abc");
    }
    {
        // Backup copy: write only, shared write, created anew.
        CFileNormal file;
        std::string backup = dir_ / "game_ARC.bak";
        ASSERT_EQ(file.Open(backup, platform::kGenericWrite, platform::kShareWrite,
                            platform::kCreateAlways),
                  kStatusOk);
        EXPECT_EQ(file.GetSize(), 0);
        EXPECT_EQ(file.Write("backup", 6), kStatusOk);
        char byte = 0;
        uint32_t done = 0;
        EXPECT_EQ(file.Read(&byte, 1, &done), kStatusFail);
        EXPECT_EQ(file.Close(), kStatusOk);
        std::string bytes;
        ASSERT_TRUE(ReadFile(backup, &bytes));
        EXPECT_EQ(bytes, "backup");
    }
}

TEST_F(FileNormalTest, CloseAndDestructionLetTheFileGo) {
    const uint32_t kReadWrite = platform::kGenericRead | platform::kGenericWrite;
    std::string path = Put("data.bin", "12345");
    std::string other = Put("other.bin", "x");
    auto openForWriting = [&] {
        CFileNormal writer;
        return writer.Open(path, kReadWrite, platform::kShareRead, platform::kOpenExisting);
    };

    CFileNormal file;
    ASSERT_EQ(file.Open(path), kStatusOk);
    EXPECT_EQ(openForWriting(), kStatusFail) << "a reader shares reading only";
    EXPECT_EQ(file.Close(), kStatusOk);
    EXPECT_EQ(file.Close(), kStatusOk);
    EXPECT_EQ(openForWriting(), kStatusOk);
    ExpectNoFile(file);

    // Opening another file lets the first one go.
    ASSERT_EQ(file.Open(path), kStatusOk);
    ASSERT_EQ(file.Open(other), kStatusOk);
    EXPECT_EQ(openForWriting(), kStatusOk);

    {
        CFileNormal scoped;
        ASSERT_EQ(scoped.Open(path), kStatusOk);
        EXPECT_EQ(openForWriting(), kStatusFail);
    }
    EXPECT_EQ(openForWriting(), kStatusOk);
}

TEST_F(FileNormalTest, MissingFileFailsWithoutAMessageAndKeepsTheSize) {
    std::string present = Put("present.bin", "abc");
    MakeDir(dir_ / "folder");
    CFileNormal file;
    ASSERT_EQ(file.Open(present), kStatusOk);
    for (const std::string& name : {dir_ / "missing.bin", dir_ / "missing.prs",
                                    dir_ / "no/such/folder/a.prs", dir_ / "folder"}) {
        SCOPED_TRACE(name);
        int32_t status = 0;
        EXPECT_NO_THROW(status = file.Open(name));
        EXPECT_EQ(status, kStatusFail);
        EXPECT_EQ(file.GetSize(), 3);
        EXPECT_EQ(file.GetName(), name);
        ExpectNoFile(file);
    }
}

TEST_F(FileNormalTest, EmptyPlainFile) {
    CFileNormal file;
    ASSERT_EQ(file.Open(Put("empty.bin", "")), kStatusOk);
    EXPECT_EQ(file.GetSize(), 0);
    EXPECT_EQ(ReadWhole(file), "");
}

TEST_F(FileNormalTest, WholeReadOfAPlainFile) {
    std::string contents = Text(70000);
    CFileNormal file;
    ASSERT_EQ(file.Open(Put("big.bin", contents)), kStatusOk);
    EXPECT_EQ(file.GetSize(), 70000);
    EXPECT_EQ(ReadWhole(file), contents);
}

TEST_F(FileNormalTest, SeekPassesTheHighPartAndReportsFailures) {
    std::string path = Put("seek.bin", "0123456789");
    CFileNormal file;
    ASSERT_EQ(file.Open(path), kStatusOk);
    EXPECT_EQ(file.Seek(0, nullptr, platform::kFileEnd), 10u);
    EXPECT_EQ(file.Seek(-3, nullptr, platform::kFileCurrent), 7u);
    EXPECT_EQ(file.Seek(-20, nullptr, platform::kFileBegin), 0xFFFFFFFFu);
    EXPECT_EQ(ReadSome(file, 2), "78") << "a failed seek leaves the position alone";

    // With a high part, a low part of 0xFFFFFFFF is a position like any
    // other (here 4 GiB - 1, beyond the end; nothing is written there).
    int32_t high = 0;
    EXPECT_EQ(file.Seek(-1, &high, platform::kFileBegin), 0xFFFFFFFFu);
    EXPECT_EQ(high, 0);
    high = 0;
    EXPECT_EQ(file.Seek(1, &high, platform::kFileCurrent), 0u);
    EXPECT_EQ(high, 1);
    high = 0;
    EXPECT_EQ(file.Seek(2, &high, platform::kFileBegin), 2u);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(ReadSome(file, 3), "234");
}

struct PathCase {
    const char* what;
    CString name;
    CString path;
    bool typed;
};

TEST(FileNormalNamesTest, PathsAndTypedNames) {
    const PathCase cases[] = {
        {"typed", "data.prs", "data.prs", true},
        {"upper-case extension is plain", "DATA.PRS", "DATA.PRS", false},
        {"a later extension wins", "data.prs.bak", "data.prs.bak", false},
        {"extension prs in a folder", "a/b/c.prs", "a\\b\\c.prs", true},
        {"dot in a folder only", "arc.prs/data", "arc.prs\\data", false},
        {"no dot", "prs", "prs", false},
        {"nothing before the dot", ".prs", ".prs", true},
        {"absolute with a drive", "C:/Game/arc/x.prs", "C:\\Game\\arc\\x.prs", true},
        {"backslashes stay", "C:\\Game\\x.prs", "C:\\Game\\x.prs", true},
        // 0x95 0x5C is one character; so is 0x81 0x2F, a lead byte with a
        // '/' for its second byte.
        {"double-byte character ending in 0x5C", "\x95\x5c/a.prs", "\x95\x5c\\a.prs", true},
        {"second byte '/' is not a separator", "\x81/x/y", "\x81/x\\y", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NormalizePath(c.name), c.path) << c.what;
        EXPECT_EQ(IsTypedFileName(c.name), c.typed) << c.what;
    }
}

class TypedFileTest : public FileNormalTest {};

TEST_F(TypedFileTest, StoredTypesGiveTheirLastBytes) {
    for (uint16_t type : {0, 2, 0xFFFF}) {
        SCOPED_TRACE(type);
        std::string bytes = Le16(type) + Le32(5) + "hello";
        ASSERT_EQ(bytes.size(), 11u);
        std::string path = Put("stored.prs", bytes);

        CFileNormal file;
        ASSERT_EQ(file.Open(path), kStatusOk);
        EXPECT_EQ(file.GetSize(), 5);
        EXPECT_EQ(ReadSome(file, 2), Le16(type)) << "Open leaves the position at 0";

        ASSERT_EQ(file.Close(), kStatusOk);
        ASSERT_EQ(file.Open(path), kStatusOk);
        EXPECT_EQ(ReadWhole(file), "hello");
        EXPECT_EQ(file.GetSize(), 5);
    }
}

TEST_F(TypedFileTest, CompressedFileExpandsOnTheWholeRead) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string contents;
    };
    std::string text = Text(20000);
    const Case cases[] = {
        {"worked example", Le16(1) + Le32(8) + Le32(9) + kAbcStream, "abcabcabc"},
        {"larger than the window", authoring::MakeCompressedTypedFile(text), text},
        {"empty", authoring::MakeCompressedTypedFile(""), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = Put("packed.prs", c.bytes);
        CFileNormal file;
        ASSERT_EQ(file.Open(path), kStatusOk);
        EXPECT_EQ(file.GetSize(), static_cast<int32_t>(c.contents.size()));
        EXPECT_EQ(ReadSome(file, 2), Le16(1));

        ASSERT_EQ(file.Close(), kStatusOk);
        ASSERT_EQ(file.Open(path), kStatusOk);
        EXPECT_EQ(ReadWhole(file), c.contents);
    }
}

TEST_F(TypedFileTest, OpenTakesTheSizeFromTheHeaderWithoutExpanding) {
    // The stream is junk; only the whole read would notice.
    CFileNormal file;
    ASSERT_EQ(file.Open(Put("junk.prs", Le16(1) + Le32(3) + Le32(123456) + "\xFF\xFF\xFF")),
              kStatusOk);
    EXPECT_EQ(file.GetSize(), 123456);
}

TEST_F(TypedFileTest, OnlyTheExactExtensionPrsIsTyped) {
    const std::string bytes = Le16(1) + Le32(8) + Le32(9) + kAbcStream;
    for (const char* name : {"DATA.PRS", "data.prs.bak", "data.Prs"}) {
        SCOPED_TRACE(name);
        CFileNormal file;
        ASSERT_EQ(file.Open(Put(name, bytes)), kStatusOk);
        EXPECT_EQ(file.GetSize(), static_cast<int32_t>(bytes.size()));
        EXPECT_EQ(ReadWhole(file), bytes);
    }
    CFileNormal file;
    ASSERT_EQ(file.Open(Put("data.prs", bytes)), kStatusOk);
    EXPECT_EQ(file.GetSize(), 9);
}

TEST_F(TypedFileTest, ForwardSlashesOpenAndStayInTheName) {
    ASSERT_TRUE(MakeDir(dir_ / "a"));
    ASSERT_TRUE(MakeDir(dir_ / "a/b"));
    const std::string folder = Sjis(u8"表");  // 0x95 0x5C
    ASSERT_TRUE(MakeDir(dir_ / folder));
    for (const std::string& name : {std::string("a/b/c.prs"), folder + "/c.prs"}) {
        SCOPED_TRACE(name);
        std::string path = Put(name, Le16(0) + Le32(2) + "ok");
        CFileNormal file;
        ASSERT_EQ(file.Open(path), kStatusOk);
        EXPECT_EQ(file.GetName(), path);
        EXPECT_EQ(ReadWhole(file), "ok");
    }

    std::string path = Put("a/b/c.prs", "\x01");
    CFileNormal file;
    try {
        file.Open(path);
        ADD_FAILURE() << "no CError";
    } catch (const CError& error) {
        EXPECT_EQ(error.GetErrorText(), "CFileNormal::Open [" + dir_.path() + "/a/b/c.prs] " +
                                            Sjis(u8"ファイルタイプの読み込みで失敗しました") +
                                            "\n");
    }
}

TEST_F(TypedFileTest, CreatedTypedFileHasNoHeaderYet) {
    const uint32_t kReadWrite = platform::kGenericRead | platform::kGenericWrite;
    std::string path = Put("new.prs", Le16(0) + Le32(3) + "old");
    CFileNormal file;
    ASSERT_EQ(file.Open(path, kReadWrite, platform::kShareRead, platform::kCreateAlways),
              kStatusOk);
    EXPECT_EQ(file.GetSize(), 0);
    std::string bytes = Le16(0) + Le32(3) + "new";
    EXPECT_EQ(file.Write(bytes.data(), static_cast<uint32_t>(bytes.size())), kStatusOk);
    ASSERT_EQ(file.Close(), kStatusOk);
    ASSERT_EQ(file.Open(path), kStatusOk);
    EXPECT_EQ(ReadWhole(file), "new");

    // Write-only, the header cannot be read back.
    EXPECT_THROW(file.Open(dir_ / "write_only.prs", platform::kGenericWrite, platform::kShareWrite,
                           platform::kCreateAlways),
                 CError);
}

enum class Stage { kOpen, kRead };

struct DamagedFile {
    const char* what;
    std::string bytes;
    Stage stage;
    const char* description;  // UTF-8; the message is "CFileNormal::<stage> [name] " + it + "\n"
    bool move = false;        // before the whole read, Seek to fromEnd from the end
    int32_t fromEnd = 0;
};

TEST_F(TypedFileTest, DamagedFilesRaiseTheirMessages) {
    const char* kType = u8"ファイルタイプの読み込みで失敗しました";
    const char* kSize = u8"ファイルサイズの読み込みで失敗しました";
    const char* kExpanded = u8"ファイルサイズ（圧縮前）の読み込みで失敗しました";
    const char* kData = u8"ファイルの読み込みに失敗しました";
    const std::string aaaa("\xB0\x80\x04\x40\x00", 5);
    const DamagedFile cases[] = {
        {"empty file", "", Stage::kOpen, kType},
        {"half a type", "\x01", Stage::kOpen, kType},
        {"half a stored length", Le16(0) + std::string("\x05\x00", 2), Stage::kOpen, kSize},
        {"no expanded length", Le16(1) + Le32(5) + std::string("\x04\x00\x00", 3), Stage::kOpen,
         kExpanded},

        {"stored data cut short", Le16(0) + Le32(5) + "abc", Stage::kRead, kData},
        {"compressed data cut short", Le16(1) + Le32(8) + Le32(9) + kAbcStream.substr(0, 6),
         Stage::kRead, kData},
        {"stored length of nearly 4 GiB", Le16(1) + Le32(0xFFFFFFF0u) + Le32(4) + aaaa,
         Stage::kRead, kData},
        {"stream without its end marker", Le16(1) + Le32(2) + Le32(4) + "\xB0\x80", Stage::kRead,
         kData},
        {"stream shorter than the expanded length", Le16(1) + Le32(5) + Le32(5) + aaaa,
         Stage::kRead, kData},
        {"stream longer than the expanded length", Le16(1) + Le32(8) + Le32(8) + kAbcStream,
         Stage::kRead, kData},
        {"empty stream", Le16(1) + Le32(0) + Le32(0), Stage::kRead, kData},

        // The whole read reads the header again from the current position.
        {"header read at the end", Le16(0) + Le32(3) + "abc", Stage::kRead, kType, true, 0},
        {"type at the end", Le16(0) + Le32(3) + "abc", Stage::kRead, kSize, true, -3},
        {"compressed type, lengths cut", Le16(0) + Le32(8) + "xx" + Le16(1) + Le32(5), Stage::kRead,
         kExpanded, true, -6},
        // A header that claims more than Open reported would not fit the
        // caller's buffer, even though the file has the bytes.
        {"header larger than reported",
         Le16(0) + Le32(4) + "abcd" + Le16(0) + Le32(30) + std::string(30, 'z'), Stage::kRead,
         kData, true, -36},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = Put("damaged" + std::to_string(index++) + ".prs", c.bytes);
        CFileNormal file;
        ASSERT_EQ(file.Open(Put("before.bin", "1234567")), kStatusOk);
        int32_t sizeBefore = 7;
        std::string message;
        try {
            if (c.stage == Stage::kOpen) {
                file.Open(path);
            } else {
                ASSERT_EQ(file.Open(path), kStatusOk);
                sizeBefore = file.GetSize();
                if (c.move) {
                    ASSERT_NE(file.Seek(c.fromEnd, nullptr, platform::kFileEnd), 0xFFFFFFFFu);
                }
                std::vector<char> buffer(static_cast<size_t>(sizeBefore) + 1);
                file.Read(buffer.data());
            }
            ADD_FAILURE() << "no CError";
        } catch (const CError& error) {
            message = error.GetErrorText();
        }
        const char* operation = c.stage == Stage::kOpen ? "Open" : "Read";
        EXPECT_EQ(message, std::string("CFileNormal::") + operation + " [" + path + "] " +
                               Sjis(c.description) + "\n");
        EXPECT_EQ(file.GetSize(), sizeBefore);
        ExpectNoFile(file);
    }
}

}  // namespace
