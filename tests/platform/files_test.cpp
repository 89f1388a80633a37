// Files through the platform seam: CreateFile dispositions, share modes,
// ReadFile / WriteFile / SetFilePointer / GetFileSize, names that differ
// only in letter case, CP932 names, rename, delete and folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "platform/platform.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using namespace platform;
using testing_support::Exists;
using testing_support::MakeDir;
using testing_support::ReadFile;
using testing_support::Sjis;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr uint32_t kReadWrite = kGenericRead | kGenericWrite;
constexpr uint32_t kShareAll = kShareRead | kShareWrite | kShareDelete;

std::unique_ptr<IOsFile> Open(const std::string& path, uint32_t access, uint32_t share,
                              uint32_t disposition, uint32_t* error) {
    return System().OpenFile(path, access, share, disposition, error);
}

std::string Contents(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFile(path, &bytes)) << path;
    return bytes;
}

// The names in a folder other than "." and "..".
std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    FindData data;
    if (auto search = System().FindFirst(folder + "/*", &data, nullptr)) {
        do {
            if (data.name != "." && data.name != "..") names.push_back(data.name);
        } while (search->Next(&data));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// ---- CreateFile dispositions ----

struct DispositionCase {
    const char* label;
    uint32_t disposition;
    bool exists;           // the file is there beforehand, holding "old"
    uint32_t error;        // expected result of the open
    const char* contents;  // what the file holds afterwards (null: not there)
};

void PrintTo(const DispositionCase& c, std::ostream* out) { *out << c.label; }

class DispositionTest : public testing::TestWithParam<DispositionCase> {};

TEST_P(DispositionTest, OpensCreatesOrTruncatesAsCreateFileDoes) {
    const DispositionCase& c = GetParam();
    TempDir dir;
    std::string path = dir / "file.dat";
    if (c.exists) {
        ASSERT_TRUE(WriteFile(path, "old"));
    }

    uint32_t error = 12345;
    auto file = Open(path, kReadWrite, 0, c.disposition, &error);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(file != nullptr, c.error == kErrorSuccess);
    if (file) {
        uint32_t high = 99, size_error = 99;
        EXPECT_EQ(file->Size(&high, &size_error), std::string(c.contents).size());
        EXPECT_EQ(high, 0u);
        EXPECT_EQ(size_error, kErrorSuccess);
        EXPECT_EQ(file->Close(), kErrorSuccess);
    }
    if (c.contents) {
        EXPECT_EQ(Contents(path), c.contents);
    } else {
        EXPECT_FALSE(Exists(path));
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllDispositions, DispositionTest,
    testing::Values(DispositionCase{"CreateNewMissing", kCreateNew, false, 0, ""},
                    DispositionCase{"CreateNewExisting", kCreateNew, true, kErrorFileExists, "old"},
                    DispositionCase{"CreateAlwaysMissing", kCreateAlways, false, 0, ""},
                    DispositionCase{"CreateAlwaysExisting", kCreateAlways, true, 0, ""},
                    DispositionCase{"OpenExistingMissing", kOpenExisting, false, kErrorFileNotFound,
                                    nullptr},
                    DispositionCase{"OpenExistingExisting", kOpenExisting, true, 0, "old"},
                    DispositionCase{"OpenAlwaysMissing", kOpenAlways, false, 0, ""},
                    DispositionCase{"OpenAlwaysExisting", kOpenAlways, true, 0, "old"},
                    DispositionCase{"TruncateExistingMissing", kTruncateExisting, false,
                                    kErrorFileNotFound, nullptr},
                    DispositionCase{"TruncateExistingExisting", kTruncateExisting, true, 0, ""}),
    [](const testing::TestParamInfo<DispositionCase>& info) { return info.param.label; });

TEST(OpenFile, ReportsAMissingFolderAndRefusesFolders) {
    TempDir dir;
    ASSERT_TRUE(MakeDir(dir / "sub"));
    uint32_t error = 0;
    EXPECT_FALSE(Open(dir / "nowhere/file.dat", kGenericRead, 0, kOpenExisting, &error));
    EXPECT_EQ(error, kErrorPathNotFound);
    EXPECT_FALSE(Open(dir / "nowhere/file.dat", kGenericWrite, 0, kCreateAlways, &error));
    EXPECT_EQ(error, kErrorPathNotFound);
    EXPECT_FALSE(Open(dir / "sub", kGenericRead, kShareAll, kOpenExisting, &error));
    EXPECT_EQ(error, kErrorAccessDenied);
    EXPECT_FALSE(Open(dir / "sub", kGenericWrite, kShareAll, kOpenAlways, &error));
    EXPECT_EQ(error, kErrorAccessDenied);
    // A name that is no CP932 text (a lead byte with nothing after it).
    EXPECT_FALSE(Open(dir / "bad\x81", kGenericWrite, 0, kCreateAlways, &error));
    EXPECT_NE(error, kErrorSuccess);
    // Wildcards are no part of a file name.
    EXPECT_FALSE(Open(dir / "a*.txt", kGenericWrite, 0, kCreateAlways, &error));
    EXPECT_NE(error, kErrorSuccess);
}

// ---- names ----

TEST(OpenFile, FindsNamesWithoutRegardToLetterCase) {
    TempDir dir;
    ASSERT_TRUE(MakeDir(dir / "arc"));
    ASSERT_TRUE(WriteFile(dir / "arc/data.arc", "original"));

    EXPECT_EQ(Contents(dir / "ARC/DATA.ARC"), "original");
    EXPECT_EQ(Contents(dir / "Arc\\Data.Arc"), "original");

    // Replacing under other capitals rewrites the file that is there and
    // keeps its name.
    ASSERT_TRUE(WriteFile(dir / "ARC/DATA.ARC", "replaced"));
    EXPECT_EQ(Listing(dir / "arc"), std::vector<std::string>{"data.arc"});
    EXPECT_EQ(Contents(dir / "arc/data.arc"), "replaced");

    uint32_t error = 0;
    EXPECT_FALSE(Open(dir / "arc/DATA.arc", kGenericWrite, 0, kCreateNew, &error));
    EXPECT_EQ(error, kErrorFileExists);

    // A new file takes the name as given.
    ASSERT_TRUE(WriteFile(dir / "ARC/New.Txt", "x"));
    EXPECT_EQ(Listing(dir / "arc"), (std::vector<std::string>{"New.Txt", "data.arc"}));
}

TEST(OpenFile, AcceptsEitherSeparatorRepeatedSeparatorsAndDotNames) {
    TempDir dir;
    ASSERT_TRUE(MakeDir(dir / "a"));
    ASSERT_TRUE(MakeDir(dir / "a/b"));
    ASSERT_TRUE(WriteFile(dir.path() + "\\a\\\\b//file.txt", "sep"));
    EXPECT_EQ(Contents(dir / "a/b/file.txt"), "sep");
    EXPECT_EQ(Contents(dir / "a/./b/../b/file.txt"), "sep");
    // ".." is taken away with the name before it, whether that exists or not.
    EXPECT_EQ(Contents(dir / "a/missing/../b/file.txt"), "sep");
}

TEST(OpenFile, HandlesCp932NamesWhoseSecondByteIsABackslash) {
    TempDir dir;
    // "表" is 0x95 0x5C and "ソ" is 0x83 0x5C: the 0x5C is no separator.
    const std::string folder = Sjis(u8"表示ソフト");
    const std::string file = Sjis(u8"データ表.txt");
    ASSERT_EQ(folder[1], '\\');
    ASSERT_EQ(System().MakeFolder(dir / folder), kErrorSuccess);
    ASSERT_TRUE(WriteFile(dir / folder + "\\" + file, "japanese"));
    EXPECT_EQ(Contents(dir / folder + "/" + file), "japanese");
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{folder});
    EXPECT_EQ(Listing(dir / folder), std::vector<std::string>{file});

    FindData data;
    auto search = System().FindFirst(dir / folder, &data, nullptr);
    ASSERT_TRUE(search);
    EXPECT_EQ(data.name, folder);
    EXPECT_TRUE(data.directory);
}

// ---- share modes ----

struct ShareCase {
    const char* label;
    uint32_t first_access, first_share;
    uint32_t second_access, second_share;
    bool allowed;
};

void PrintTo(const ShareCase& c, std::ostream* out) { *out << c.label; }

class ShareModeTest : public testing::TestWithParam<ShareCase> {};

TEST_P(ShareModeTest, RefusesWhatAnOpenHandleDoesNotShare) {
    const ShareCase& c = GetParam();
    TempDir dir;
    std::string path = dir / "shared.dat";
    ASSERT_TRUE(WriteFile(path, "abc"));
    uint32_t error = 0;
    auto first = Open(path, c.first_access, c.first_share, kOpenExisting, &error);
    ASSERT_TRUE(first) << error;
    auto second = Open(path, c.second_access, c.second_share, kOpenExisting, &error);
    EXPECT_EQ(second != nullptr, c.allowed);
    EXPECT_EQ(error, c.allowed ? kErrorSuccess : kErrorSharingViolation);

    // Once the first handle is closed, nothing stands in the way.
    second.reset();
    ASSERT_EQ(first->Close(), kErrorSuccess);
    EXPECT_TRUE(Open(path, c.second_access, c.second_share, kOpenExisting, &error)) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Combinations, ShareModeTest,
    testing::Values(
        ShareCase{"ReadersSharingRead", kGenericRead, kShareRead, kGenericRead, kShareRead, true},
        ShareCase{"WriterBesideReaderSharingOnlyRead", kGenericRead, kShareRead, kGenericWrite,
                  kShareRead, false},
        ShareCase{"ReaderNotSharingWithAnOpenWriter", kGenericWrite, kShareRead | kShareWrite,
                  kGenericRead, kShareRead, false},
        ShareCase{"ReaderBesideExclusiveReader", kGenericRead, 0, kGenericRead, kShareAll, false},
        ShareCase{"WriterNotSharingWithAnOpenReader", kGenericRead, kShareRead | kShareWrite,
                  kGenericWrite, kShareWrite, false},
        ShareCase{"WritersSharingWrite", kGenericWrite, kShareWrite, kGenericWrite, kShareWrite,
                  true},
        ShareCase{"ReadWriteSharingBoth", kReadWrite, kShareRead | kShareWrite, kReadWrite,
                  kShareRead | kShareWrite, true}),
    [](const testing::TestParamInfo<ShareCase>& info) { return info.param.label; });

TEST(ShareMode, RefusedOpenDoesNotTruncate) {
    TempDir dir;
    std::string path = dir / "keep.dat";
    ASSERT_TRUE(WriteFile(path, "keep me"));
    uint32_t error = 0;
    auto reader = Open(path, kGenericRead, kShareRead, kOpenExisting, &error);
    ASSERT_TRUE(reader);
    for (uint32_t disposition : {kCreateAlways, kTruncateExisting}) {
        EXPECT_FALSE(Open(path, kGenericWrite, kShareAll, disposition, &error));
        EXPECT_EQ(error, kErrorSharingViolation);
    }
    uint32_t size_error = 0;
    EXPECT_EQ(reader->Size(nullptr, &size_error), 7u);
    reader.reset();
    EXPECT_EQ(Contents(path), "keep me");
}

TEST(ShareMode, DeleteAndRenameNeedShareDelete) {
    TempDir dir;
    std::string path = dir / "open.dat";
    ASSERT_TRUE(WriteFile(path, "abc"));
    uint32_t error = 0;
    auto file = Open(path, kGenericRead, kShareRead | kShareWrite, kOpenExisting, &error);
    ASSERT_TRUE(file);
    EXPECT_EQ(System().Remove(path), kErrorSharingViolation);
    EXPECT_EQ(System().Rename(path, dir / "moved.dat"), kErrorSharingViolation);
    EXPECT_EQ(Contents(path), "abc");
    EXPECT_FALSE(Exists(dir / "moved.dat"));
    ASSERT_EQ(file->Close(), kErrorSuccess);

    file = Open(path, kGenericRead, kShareAll, kOpenExisting, &error);
    ASSERT_TRUE(file);
    EXPECT_EQ(System().Rename(path, dir / "moved.dat"), kErrorSuccess);
    EXPECT_EQ(System().Remove(dir / "moved.dat"), kErrorSuccess);
    ASSERT_EQ(file->Close(), kErrorSuccess);
    EXPECT_FALSE(Exists(dir / "moved.dat"));
    EXPECT_FALSE(Exists(path));
}

TEST(ShareMode, HoldsUpWhenThreadsOpenTheSameFileAtOnce) {
    TempDir dir;
    std::string path = dir / "busy.dat";
    ASSERT_TRUE(WriteFile(path, "0123456789"));
    std::atomic<int> failures{0};
    std::vector<std::unique_ptr<IThread>> threads;
    for (int t = 0; t < 4; ++t) {
        threads.push_back(System().StartThread([&] {
            for (int i = 0; i < 200; ++i) {
                uint32_t error = 0;
                auto file = Open(path, kGenericRead, kShareRead, kOpenExisting, &error);
                char buffer[10];
                uint32_t done = 0;
                if (!file || file->Read(buffer, sizeof buffer, &done) != 0 || done != 10) {
                    ++failures;
                }
            }
        }));
        ASSERT_TRUE(threads.back());
    }
    for (auto& thread : threads) thread->Join();
    EXPECT_EQ(failures.load(), 0);
    // Every handle was let go: an exclusive writer gets in.
    uint32_t error = 0;
    EXPECT_TRUE(Open(path, kGenericWrite, 0, kOpenExisting, &error)) << error;
}

// ---- reading, writing and the file pointer ----

class FilePointerTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteFile(dir_ / "ten.dat", "0123456789"));
        uint32_t error = 0;
        file_ = Open(dir_ / "ten.dat", kReadWrite, 0, kOpenExisting, &error);
        ASSERT_TRUE(file_) << error;
    }

    uint32_t Seek(int32_t distance, uint32_t method, uint32_t* error) {
        return file_->Seek(distance, nullptr, method, error);
    }
    std::string Read(uint32_t count) {
        std::string buffer(count, '\0');
        uint32_t done = 12345;
        EXPECT_EQ(file_->Read(&buffer[0], count, &done), kErrorSuccess);
        buffer.resize(done);
        return buffer;
    }

    TempDir dir_;
    std::unique_ptr<IOsFile> file_;
};

TEST_F(FilePointerTest, MovesFromTheStartTheCurrentPositionAndTheEnd) {
    uint32_t error = 99;
    EXPECT_EQ(Seek(3, kFileBegin, &error), 3u);
    EXPECT_EQ(error, kErrorSuccess);
    EXPECT_EQ(Read(4), "3456");
    EXPECT_EQ(Seek(-2, kFileCurrent, &error), 5u);
    EXPECT_EQ(Read(2), "56");
    EXPECT_EQ(Seek(-1, kFileEnd, &error), 9u);
    // Reading past the end returns what is there, then nothing.
    EXPECT_EQ(Read(10), "9");
    EXPECT_EQ(Read(10), "");
    EXPECT_EQ(Seek(0, kFileCurrent, &error), 10u);
}

TEST_F(FilePointerTest, RefusesNegativePositionsAndUnknownMethods) {
    uint32_t error = 0;
    ASSERT_EQ(Seek(4, kFileBegin, &error), 4u);
    EXPECT_EQ(Seek(-11, kFileEnd, &error), kInvalidSetFilePointer);
    EXPECT_EQ(error, kErrorNegativeSeek);
    EXPECT_EQ(Seek(-5, kFileCurrent, &error), kInvalidSetFilePointer);
    EXPECT_EQ(error, kErrorNegativeSeek);
    EXPECT_EQ(Seek(0, 3, &error), kInvalidSetFilePointer);
    EXPECT_EQ(error, kErrorInvalidParameter);
    // The failed moves left the pointer where it was.
    EXPECT_EQ(Seek(0, kFileCurrent, &error), 4u);
    EXPECT_EQ(error, kErrorSuccess);
}

TEST_F(FilePointerTest, SplitsPositionsIntoLowAndHighParts) {
    uint32_t error = 99;
    // Without a high part the distance is a signed 32-bit value.
    EXPECT_EQ(Seek(-3, kFileEnd, &error), 7u);
    // With one, the two halves make a 64-bit distance: 1 << 32.
    int32_t high = 1;
    EXPECT_EQ(file_->Seek(0, &high, kFileBegin, &error), 0u);
    EXPECT_EQ(error, kErrorSuccess);
    EXPECT_EQ(high, 1);
    // Back by one: 0xFFFFFFFF is a position here, not a failure.
    high = -1;
    EXPECT_EQ(file_->Seek(-1, &high, kFileCurrent, &error), 0xFFFFFFFFu);
    EXPECT_EQ(error, kErrorSuccess);
    EXPECT_EQ(high, 0);
    // Moving the pointer does not change the size.
    uint32_t size_high = 99;
    EXPECT_EQ(file_->Size(&size_high, &error), 10u);
    EXPECT_EQ(size_high, 0u);
}

TEST_F(FilePointerTest, WritesAtThePointerAndGrowsTheFile) {
    uint32_t error = 0, done = 0;
    ASSERT_EQ(Seek(8, kFileBegin, &error), 8u);
    EXPECT_EQ(file_->Write("ABCD", 4, &done), kErrorSuccess);
    EXPECT_EQ(done, 4u);
    EXPECT_EQ(file_->Size(nullptr, &error), 12u);
    // Writing beyond the end fills the gap with zeros.
    ASSERT_EQ(Seek(14, kFileBegin, &error), 14u);
    EXPECT_EQ(file_->Write("Z", 1, &done), kErrorSuccess);
    EXPECT_EQ(file_->Write("", 0, &done), kErrorSuccess);
    EXPECT_EQ(done, 0u);
    ASSERT_EQ(file_->Close(), kErrorSuccess);
    EXPECT_EQ(Contents(dir_ / "ten.dat"), std::string("01234567ABCD\0\0Z", 15));
}

TEST(OsFile, ReadsAndWritesOnlyWithTheAccessAskedFor) {
    TempDir dir;
    std::string path = dir / "access.dat";
    ASSERT_TRUE(WriteFile(path, "data"));
    uint32_t error = 0, done = 99;
    char buffer[4];
    auto writer = Open(path, kGenericWrite, kShareAll, kOpenExisting, &error);
    ASSERT_TRUE(writer);
    EXPECT_EQ(writer->Read(buffer, 4, &done), kErrorAccessDenied);
    EXPECT_EQ(done, 0u);
    auto reader = Open(path, kGenericRead, kShareAll, kOpenExisting, &error);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->Write("x", 1, &done), kErrorAccessDenied);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(reader->Close(), kErrorSuccess);
    EXPECT_EQ(reader->Close(), kErrorSuccess);  // a second close does no harm
    writer.reset();
    EXPECT_EQ(Contents(path), "data");
}

// ---- delete, rename, folders ----

TEST(Remove, DeletesFilesOnly) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "gone.txt", "x"));
    ASSERT_TRUE(MakeDir(dir / "folder"));
    EXPECT_EQ(System().Remove(dir / "GONE.TXT"), kErrorSuccess);
    EXPECT_FALSE(Exists(dir / "gone.txt"));
    EXPECT_EQ(System().Remove(dir / "gone.txt"), kErrorFileNotFound);
    EXPECT_EQ(System().Remove(dir / "nowhere/gone.txt"), kErrorPathNotFound);
    EXPECT_EQ(System().Remove(dir / "folder"), kErrorAccessDenied);
    EXPECT_TRUE(Exists(dir / "folder"));
}

TEST(Rename, MovesFilesAndFoldersButNeverOverwrites) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "a.txt", "A"));
    ASSERT_TRUE(WriteFile(dir / "b.txt", "B"));
    ASSERT_TRUE(MakeDir(dir / "sub"));
    ASSERT_TRUE(WriteFile(dir / "sub/inner.txt", "I"));

    EXPECT_EQ(System().Rename(dir / "a.txt", dir / "b.txt"), kErrorAlreadyExists);
    EXPECT_EQ(System().Rename(dir / "a.txt", dir / "B.TXT"), kErrorAlreadyExists);
    EXPECT_EQ(System().Rename(dir / "a.txt", dir / "sub"), kErrorAlreadyExists);
    EXPECT_EQ(Contents(dir / "a.txt"), "A");
    EXPECT_EQ(Contents(dir / "b.txt"), "B");

    EXPECT_EQ(System().Rename(dir / "missing.txt", dir / "c.txt"), kErrorFileNotFound);
    EXPECT_EQ(System().Rename(dir / "a.txt", dir / "nowhere/c.txt"), kErrorPathNotFound);

    EXPECT_EQ(System().Rename(dir / "A.TXT", dir / "SUB/moved.txt"), kErrorSuccess);
    EXPECT_FALSE(Exists(dir / "a.txt"));
    EXPECT_EQ(Contents(dir / "sub/moved.txt"), "A");

    EXPECT_EQ(System().Rename(dir / "sub", dir / "renamed"), kErrorSuccess);
    EXPECT_EQ(Listing(dir / "renamed"), (std::vector<std::string>{"inner.txt", "moved.txt"}));
    EXPECT_FALSE(Exists(dir / "sub"));
}

TEST(Rename, ChangesOnlyTheLetterCaseOfAName) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "a.bak", "backup"));
    EXPECT_EQ(System().Rename(dir / "a.bak", dir / "A.BAK"), kErrorSuccess);
#ifndef _WIN32
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"A.BAK"});
#else
    // Wine keeps the old spelling on a case-only rename; still one file.
    EXPECT_EQ(Listing(dir.path()).size(), 1u);
#endif
    EXPECT_EQ(Contents(dir / "A.BAK"), "backup");
}

TEST(Folders, MakeAndRemove) {
    TempDir dir;
    EXPECT_EQ(System().MakeFolder(dir / "new"), kErrorSuccess);
    EXPECT_EQ(System().MakeFolder(dir / "NEW"), kErrorAlreadyExists);
    EXPECT_EQ(System().MakeFolder(dir / "missing/new"), kErrorPathNotFound);
    ASSERT_TRUE(WriteFile(dir / "new/file.txt", "x"));
    EXPECT_EQ(System().MakeFolder(dir / "new/file.txt"), kErrorAlreadyExists);

    EXPECT_NE(System().RemoveFolder(dir / "new"), kErrorSuccess);  // not empty
    EXPECT_TRUE(Exists(dir / "new/file.txt"));
    EXPECT_NE(System().RemoveFolder(dir / "new/file.txt"), kErrorSuccess);  // a file
    EXPECT_TRUE(Exists(dir / "new/file.txt"));
    ASSERT_EQ(System().Remove(dir / "new/file.txt"), kErrorSuccess);
    EXPECT_EQ(System().RemoveFolder(dir / "New"), kErrorSuccess);
    EXPECT_FALSE(Exists(dir / "new"));
    EXPECT_EQ(System().RemoveFolder(dir / "new"), kErrorFileNotFound);
}

// The read-only attribute, set and cleared by name: a read-only file is
// found as one and is not deleted until the attribute is cleared.
TEST(ReadOnlyAttribute, IsSetAndClearedByName) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "file.dat", "bytes"));
    auto readOnly = [&] {
        FindData found;
        EXPECT_TRUE(System().FindFirst(dir / "FILE.dat", &found, nullptr));
        return found.read_only;
    };
    EXPECT_FALSE(readOnly());
    ASSERT_EQ(System().SetReadOnly(dir / "FILE.DAT", true), kErrorSuccess);
    EXPECT_TRUE(readOnly());
    EXPECT_NE(System().Remove(dir / "file.dat"), kErrorSuccess);
    EXPECT_EQ(Contents(dir / "file.dat"), "bytes");
    ASSERT_EQ(System().SetReadOnly(dir / "file.dat", false), kErrorSuccess);
    EXPECT_FALSE(readOnly());
    EXPECT_EQ(System().Remove(dir / "file.dat"), kErrorSuccess);
    EXPECT_NE(System().SetReadOnly(dir / "file.dat", true), kErrorSuccess);  // gone
}

// Flushing a written file and a folder; a folder that is not there cannot
// be flushed.
TEST(Flush, FilesAndFolders) {
    TempDir dir;
    ASSERT_TRUE(MakeDir(dir / "sub"));
    uint32_t error = 0;
    auto file = Open(dir / "sub/file.dat", kReadWrite, kShareRead, kCreateNew, &error);
    ASSERT_TRUE(file);
    uint32_t done = 0;
    ASSERT_EQ(file->Write("bytes", 5, &done), kErrorSuccess);
    EXPECT_EQ(file->Flush(), kErrorSuccess);
    EXPECT_EQ(file->Close(), kErrorSuccess);
    EXPECT_EQ(Contents(dir / "sub/file.dat"), "bytes");
    EXPECT_EQ(System().FlushFolder(dir / "sub"), kErrorSuccess);
    EXPECT_EQ(System().FlushFolder(dir.path()), kErrorSuccess);
#ifndef _WIN32
    // Windows keeps its folders durable by itself and does not look.
    EXPECT_EQ(System().FlushFolder(dir / "gone"), kErrorPathNotFound);
#endif
}

#ifndef _WIN32
// A file without write permission is a read-only file: it can be read and
// renamed, but not written or deleted, even by a process that could.
TEST(ReadOnlyFile, CanBeReadAndRenamedButNotWrittenOrDeleted) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "locked.dat", "locked"));
    ASSERT_EQ(chmod((dir / "locked.dat").c_str(), 0444), 0);
    struct Unlock {  // lets the folder's cleanup delete the file again
        std::vector<std::string> paths;
        ~Unlock() {
            for (const auto& path : paths) chmod(path.c_str(), 0644);
        }
    } unlock{{dir / "locked.dat", dir / "moved.dat"}};
    uint32_t error = 0;
    for (uint32_t access : {kGenericWrite, kReadWrite}) {
        for (uint32_t disposition :
             {kOpenExisting, kOpenAlways, kCreateAlways, kTruncateExisting}) {
            SCOPED_TRACE("access " + std::to_string(access) + ", disposition " +
                         std::to_string(disposition));
            EXPECT_FALSE(Open(dir / "locked.dat", access, kShareAll, disposition, &error));
            EXPECT_EQ(error, kErrorAccessDenied);
        }
    }
    // Replacing it is refused even to a handle that only reads.
    EXPECT_FALSE(Open(dir / "locked.dat", kGenericRead, kShareAll, kCreateAlways, &error));
    EXPECT_EQ(error, kErrorAccessDenied);
    EXPECT_TRUE(Open(dir / "locked.dat", kGenericRead, kShareRead, kOpenAlways, &error));
    EXPECT_EQ(System().Remove(dir / "locked.dat"), kErrorAccessDenied);
    EXPECT_EQ(Contents(dir / "locked.dat"), "locked");
    EXPECT_EQ(System().Rename(dir / "locked.dat", dir / "moved.dat"), kErrorSuccess);
    EXPECT_EQ(Contents(dir / "moved.dat"), "locked");
}
#endif

}  // namespace
