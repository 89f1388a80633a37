// The file controller: a name is served from disk when anything of that
// name is there, from the registered archives otherwise.
#include "archive/file_ctl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "archive/arc_index.h"
#include "authoring/archive_writer.h"
#include "authoring/lzss_encoder.h"
#include "base/errors.h"
#include "common/temp_dir.h"
#include "fileio/file_normal.h"
#include "platform/forwarding.h"

namespace {

using testing_support::Sjis;

std::string Message(const char* utf8, const std::string& arg) {
    std::string text = Sjis(utf8);
    return text.replace(text.find("%s"), 2, arg);
}

// Writes down the existence tests, the files opened and the files closed.
class RecordingSystem : public platform::ForwardingFileSystem {
public:
    RecordingSystem() : ForwardingFileSystem(platform::System()) {}

    std::vector<std::string> searched, opened, closed;

    std::unique_ptr<platform::IFileSearch> FindFirst(const std::string& pattern,
                                                     platform::FindData* data,
                                                     uint32_t* error) override {
        searched.push_back(pattern);
        return target().FindFirst(pattern, data, error);
    }
    std::unique_ptr<platform::IOsFile> OpenFile(const std::string& path, uint32_t access,
                                                uint32_t share, uint32_t disposition,
                                                uint32_t* error) override {
        auto file = target().OpenFile(path, access, share, disposition, error);
        if (!file) return file;
        opened.push_back(path);
        return std::make_unique<File>(std::move(file), path, &closed);
    }
    void Clear() {
        searched.clear();
        opened.clear();
        closed.clear();
    }

private:
    class File : public platform::ForwardingFile {
    public:
        File(std::unique_ptr<platform::IOsFile> file, std::string path,
             std::vector<std::string>* closed)
            : ForwardingFile(std::move(file)), path_(std::move(path)), closed_(closed) {}
        ~File() override { closed_->push_back(path_); }

    private:
        std::string path_;
        std::vector<std::string>* closed_;
    };
};

// The temp folder lies in the current folder, so its name is both the stem of
// the archive registered in it and the first component of names that the
// disk test looks up in it.
class FileCtlTest : public ::testing::Test {
protected:
    void SetUp() override {
        CArcIndex::Reset();
        stem_ = dir_.path();
        ASSERT_EQ(stem_.find_first_of("/\\"), std::string::npos);

        auto pair = authoring::BuildArchive({{"a.bin", 0, "archive a"},
                                             {"only.bin", 0, "archive only"},
                                             {"sub", 0, "archive sub"},
                                             {"t.prs", 1, authoring::LzssEncode("archive t"), 9}},
                                            2);
        ASSERT_TRUE(testing_support::WriteFile(dir_ / (stem_ + ".arc"), pair.arc));
        ASSERT_TRUE(testing_support::WriteFile(dir_ / (stem_ + ".ari"), pair.ari));
        ASSERT_EQ(CArcIndex::AriRegist(dir_ / (stem_ + ".ari")), kStatusOk);

        ASSERT_TRUE(testing_support::WriteFile(dir_ / "a.bin", "disk a"));
        ASSERT_TRUE(testing_support::WriteFile(dir_ / "t.prs",
                                               authoring::MakeCompressedTypedFile("disk typed t")));
        ASSERT_TRUE(testing_support::MakeDir(dir_ / "sub"));
    }
    void TearDown() override { CArcIndex::Reset(); }

    std::string Name(const std::string& inside, const char* separator = "/") const {
        return stem_ + separator + inside;
    }
    std::string DataFile() const { return NormalizePath(dir_ / (stem_ + ".arc")); }

    testing_support::TempDir dir_;
    std::string stem_;
    RecordingSystem system_;
};

std::string ReadWhole(IFile& file) {
    std::string buffer(static_cast<size_t>(file.GetSize()) + 1, '\x55');
    EXPECT_EQ(file.Read(&buffer[0]), kStatusOk);
    EXPECT_EQ(buffer.back(), '\0');
    buffer.pop_back();
    return buffer;
}

struct ChoiceCase {
    const char* what;
    std::string inside;
    const char* separator;
    const char* contents;  // null: Open fails
    bool fromArchive;
};

void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.what; }

class FileCtlChoiceTest : public FileCtlTest, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(FileCtlChoiceTest, LooksOnDiskFirst) {
    const ChoiceCase& c = GetParam();
    const std::string name = Name(c.inside, c.separator);
    platform::ScopedFileSystem scoped(&system_);

    CFileCtl file;
    const int32_t status = file.Open(name);
    // One existence test, with backslashes; the name itself is kept.
    EXPECT_EQ(system_.searched, std::vector<std::string>{NormalizePath(name)}) << c.what;
    EXPECT_EQ(file.GetName(), name) << c.what;
    const bool archiveOpened =
        std::count(system_.opened.begin(), system_.opened.end(), DataFile()) != 0;
    EXPECT_EQ(archiveOpened, c.fromArchive) << c.what;
    if (!c.contents) {
        EXPECT_EQ(status, kStatusFail) << c.what;
        return;
    }
    ASSERT_EQ(status, kStatusOk) << c.what;
    EXPECT_EQ(file.GetSize(), static_cast<int32_t>(std::string(c.contents).size())) << c.what;
    EXPECT_EQ(ReadWhole(file), c.contents) << c.what;
    EXPECT_EQ(file.Close(), kStatusOk);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileCtlChoiceTest,
    ::testing::Values(
        ChoiceCase{"on disk and in the archive: disk wins", "a.bin", "/", "disk a", false},
        ChoiceCase{"the same with a backslash", "a.bin", "\\", "disk a", false},
        ChoiceCase{"only in the archive", "only.bin", "/", "archive only", true},
        ChoiceCase{"only in the archive, backslash and capitals", "ONLY.BIN", "\\", "archive only",
                   true},
        ChoiceCase{"typed file on disk: its expanded size", "t.prs", "/", "disk typed t", false},
        ChoiceCase{"neither on disk nor in the archive", "missing.bin", "/", nullptr, false},
        ChoiceCase{"a folder on disk: the archive is not asked", "sub", "/", nullptr, false}));

TEST_F(FileCtlTest, OpenAgainSwitchesBetweenDiskAndArchiveAndClosesTheFormerFile) {
    platform::ScopedFileSystem scoped(&system_);
    const std::string diskFile = NormalizePath(Name("a.bin"));
    CFileCtl file;

    ASSERT_EQ(file.Open(Name("a.bin")), kStatusOk);
    char buffer[4];
    uint32_t done = 0;
    ASSERT_EQ(file.Read(buffer, 4, &done), kStatusOk);
    EXPECT_EQ(std::string(buffer, done), "disk");
    EXPECT_TRUE(system_.closed.empty());

    ASSERT_EQ(file.Open(Name("only.bin")), kStatusOk);
    EXPECT_EQ(system_.closed, std::vector<std::string>{diskFile});
    EXPECT_EQ(file.GetName(), Name("only.bin"));
    EXPECT_EQ(file.GetSize(), 12);
    EXPECT_EQ(file.Seek(8, nullptr, 0), 8u);
    ASSERT_EQ(file.Read(buffer, 4, &done), kStatusOk);
    EXPECT_EQ(std::string(buffer, done), "only");

    ASSERT_EQ(file.Open(Name("a.bin")), kStatusOk);
    EXPECT_EQ(system_.closed, (std::vector<std::string>{diskFile, DataFile()}));
    EXPECT_EQ(ReadWhole(file), "disk a");
}

TEST_F(FileCtlTest, NothingOpenedFailsEveryOperation) {
    CFileCtl file;
    EXPECT_EQ(file.Close(), kStatusFail);
    char buffer[4];
    uint32_t done = 9;
    EXPECT_EQ(file.Read(buffer, 4, &done), kStatusFail);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(file.Read(buffer), kStatusFail);
    EXPECT_EQ(file.Seek(0, nullptr, 0), platform::kInvalidSetFilePointer);
    EXPECT_EQ(file.GetSize(), -1);
    EXPECT_EQ(file.GetName(), "");

    ASSERT_EQ(file.Open(Name("a.bin")), kStatusOk);
    EXPECT_EQ(file.Close(), kStatusOk);
}

TEST_F(FileCtlTest, MessagesOfTheChosenFilePassThrough) {
    // An archive whose data file is missing, under a stem that is no folder.
    const std::string stem = "nodata_" + stem_;
    ASSERT_TRUE(testing_support::WriteFile(dir_ / (stem + ".ari"),
                                           authoring::BuildArchive({{"a.bin", 0, "x"}}, 2).ari));
    ASSERT_EQ(CArcIndex::AriRegist(dir_ / (stem + ".ari")), kStatusOk);
    // A typed file on disk too short for its header.
    ASSERT_TRUE(testing_support::WriteFile(dir_ / "broken.prs", "\x01"));

    const struct {
        std::string name;
        std::string message;
    } cases[] = {
        {stem + "/a.bin", Message("CFileArc::Open アーカイブファイル[%s]が見つかりません\n",
                                  NormalizePath(dir_ / stem) + ".arc")},
        {Name("broken.prs"),
         Message("CFileNormal::Open [%s] ファイルタイプの読み込みで失敗しました\n",
                 Name("broken.prs"))}};
    for (const auto& c : cases) {
        CFileCtl file;
        std::string text;
        try {
            file.Open(c.name);
        } catch (const CError& error) {
            text = error.GetErrorText();
        }
        EXPECT_EQ(text, c.message) << c.name;
    }
}

}  // namespace
