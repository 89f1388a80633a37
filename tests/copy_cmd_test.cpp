// The copy command: backup names, the version checks that decide whether a
// file is replaced, the replacement with its backup and progress, and
// putting the old file back.
#include "replace/copy_cmd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/command_fixture.h"
#include "support/fault_disk.h"

namespace {

using testing_support::CommandTest;
using testing_support::DiskFullAfter;
using testing_support::FailingClose;
using testing_support::FaultDisk;
using testing_support::FileTree;
using testing_support::Pattern;
using testing_support::ReadFile;
using testing_support::SameBytes;
using testing_support::SameFiles;
using testing_support::Sjis;
using testing_support::VersionImagesFolder;
using Strings = std::vector<std::string>;

constexpr const char* kType = "PATCH_SCR";

constexpr const char* kWrongVersion = u8"[%s] コピー元ファイルのバージョンが違います";
constexpr const char* kUnexpectedFormat = u8"[%s] コピー元ファイルは想定していない形式です";
constexpr const char* kSourceOpen = u8"[%s] コピー元ファイルのオープンに失敗";
constexpr const char* kSizeOpen = u8"[%s] コピー元ファイルのオープンに失敗(CopyCmd::Size)";
constexpr const char* kTargetOpen = u8"[%s] コピー先ファイルのオープンに失敗";
constexpr const char* kTargetWrite = u8"[%s] コピー先ファイルの書込みに失敗";
constexpr const char* kVersionRead = u8"[%s] ファイルの読込みに失敗（バージョンチェック）";
constexpr const char* kNoVersionInfo = u8"GetFileVersionInfoSizeで失敗した";

class CopyCmdTest : public CommandTest {
protected:
    CopyCmd& Copy(const std::string& target, const std::string& payload,
                  const std::string& version) {
        return Make<CopyCmd>({"copy", target, payload, kType, version});
    }
};

// ---- backups: names, Exec, Restore, DeleteBackup ----

TEST_F(CopyCmdTest, ReplacesAnExistingFileAndKeepsItUnderItsBackupName) {
    struct Case {
        const char* target;
        const char* backup;
    };
    const Case cases[] = {
        {"game.exe", "game.bak"},
        {"arc/data.arc", "arc/data_arc.bak"},
        {"arc/data.ari", "arc/data_ari.bak"},
        {"GAME.EXE", "GAME.bak"},  // the stem keeps its case
        {"arc/DATA.ARC", "arc/DATA_arc.bak"},
        {"readme", "readme.bak"},  // no extension
    };
    ASSERT_TRUE(testing_support::MakeDir(game / "arc"));
    payloads.Add("NEW", kType, "new bytes");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        Put(c.target, "old bytes");
        CopyCmd& copy = Copy(c.target, "NEW", "0");
        EXPECT_EQ(copy.BackupPath(), Full(c.backup));

        copy.Exec();
        EXPECT_EQ(Get(c.target), "new bytes");
        EXPECT_EQ(Get(c.backup), "old bytes");
        EXPECT_EQ(copy.backedUp, 1);

        copy.Restore();
        EXPECT_EQ(Get(c.target), "old bytes");
        EXPECT_FALSE(Has(c.backup));
        EXPECT_EQ(copy.backedUp, 1);  // never cleared
        ASSERT_TRUE(platform::System().Remove(game / c.target) == 0);
    }
}

TEST_F(CopyCmdTest, NewTargetIsCreatedWithoutBackupAndRestoreLeavesIt) {
    payloads.Add("NEW", kType, "new bytes");
    CopyCmd& copy = Copy("game.exe", "NEW", "0");
    copy.Exec();
    EXPECT_EQ(copy.backedUp, 0);
    EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "new bytes"}})));

    copy.Restore();
    copy.DeleteBackup();
    EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "new bytes"}})));
}

TEST_F(CopyCmdTest, AFileThatHoldsTheBackupNameIsNeverTouched) {
    payloads.Add("NEW", kType, "new bytes");
    Put("game.exe", "installed");
    Put("game.bak", "left from an earlier run");
    Put("game.2.bak", "someone else's too");
    CopyCmd& copy = Copy("game.exe", "NEW", "0");
    copy.Exec();
    EXPECT_EQ(copy.backedUp, 1);
    EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "new bytes"},
                                             {"game.bak", "left from an earlier run"},
                                             {"game.2.bak", "someone else's too"},
                                             {"game.3.bak", "installed"}})));

    copy.Restore();
    EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "installed"},
                                             {"game.bak", "left from an earlier run"},
                                             {"game.2.bak", "someone else's too"}})));
    EXPECT_FALSE(HasJournal());
}

TEST_F(CopyCmdTest, DeleteBackupRemovesOnlyTheBackup) {
    payloads.Add("NEW", kType, "new bytes");
    Put("game.exe", "installed");
    CopyCmd& copy = Copy("game.exe", "NEW", "0");
    copy.DeleteBackup();  // nothing backed up yet
    copy.Exec();
    copy.DeleteBackup();
    EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "new bytes"}})));
    copy.Restore();  // nothing left to put back
    EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "new bytes"}})));
}

TEST_F(CopyCmdTest, RestoreWithoutExecTouchesNothing) {
    Put("game.exe", "installed");
    Put("game.bak", "someone else's");
    Copy("game.exe", "NEW", "0").Restore();
    EXPECT_EQ(Get("game.exe"), "installed");
    EXPECT_EQ(Get("game.bak"), "someone else's");
}

// ---- Size, progress and the payload ----

TEST_F(CopyCmdTest, CopiesInChunksAndReportsEachChunk) {
    struct Case {
        size_t size;
        std::vector<int> progress;
    };
    const Case cases[] = {
        {0, {0}},
        {5, {5}},
        {65536, {65536, 0}},  // a full last chunk is followed by an empty read
        {65536 * 2 + 3, {65536, 65536, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        view.Clear();
        const std::string bytes = Pattern(c.size, static_cast<unsigned>(c.size));
        payloads.Add("DATA", kType, bytes);
        Put("game.exe", "installed");
        CopyCmd& copy = Copy("game.exe", "DATA", "0");
        EXPECT_EQ(copy.Size(), static_cast<int>(c.size));
        copy.Exec();
        EXPECT_TRUE(SameBytes(Get("game.exe"), bytes));
        EXPECT_EQ(Progress(), c.progress);
        copy.DeleteBackup();
    }
}

TEST_F(CopyCmdTest, MissingPayloadIsReportedByName) {
    Put("game.exe", "installed");
    CopyCmd& copy = Copy("game.exe", "GONE", "0");
    EXPECT_EQ(Raised([&] { copy.Size(); }), Message(kSizeOpen, "GONE"));
    EXPECT_EQ(Raised([&] { copy.Exec(); }), Message(kSourceOpen, "GONE"));
    EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "installed"}})));
    EXPECT_EQ(copy.backedUp, 0);
}

TEST_F(CopyCmdTest, TargetInAMissingFolderIsReportedWithTheFullPath) {
    payloads.Add("NEW", kType, "new bytes");
    CopyCmd& copy = Copy("nodir/game.exe", "NEW", "0");
    EXPECT_EQ(Raised([&] { copy.Exec(); }), Message(kTargetOpen, Full("nodir/game.exe")));
    EXPECT_TRUE(Files().empty());
}

TEST_F(CopyCmdTest, FailedWriteIsReportedAndRestorePutsTheOldFileBack) {
    const std::string bytes = Pattern(3 * 65536);
    payloads.Add("NEW", kType, bytes);
    struct Case {
        const char* what;
        int writesLeft;
        bool failClose;
    };
    const Case cases[] = {
        {"first write", 0, false},
        {"a later write", 2, false},
        {"close", -1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put("game.exe", "installed");
        FaultDisk disk(platform::System());
        disk.FailOn(c.failClose ? FailingClose("game.exe")
                                : DiskFullAfter("game.exe", c.writesLeft));
        CopyCmd& copy = Copy("game.exe", "NEW", "0");
        {
            platform::ScopedFileSystem failing(&disk);
            EXPECT_EQ(Raised([&] { copy.Exec(); }), Message(kTargetWrite, Full("game.exe")));
        }
        EXPECT_EQ(copy.backedUp, 1);
        copy.Restore();
        EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "installed"}})));
    }
}

// ---- Check: archive files ----

TEST_F(CopyCmdTest, ArchiveFilesAreJudgedByTheirVersionTags) {
    struct Case {
        const char* what;
        const char* target;
        const char* payloadTag;  // the payload's first bytes
        const char* version;
        const char* installed;  // data file on disk (arc/data.arc); null: none
        int expected;
    };
    const Case cases[] = {
        {"data file of the version", "arc/data.arc", "WF02", "2", "WF02", 0},
        {"data file of a later version", "arc/data.arc", "WF02", "2", "WF03", 0},
        {"data file tagged WFL1", "arc/data.arc", "WF02", "2", "WFL1", 1},
        {"no data file", "arc/data.arc", "WF02", "2", nullptr, 1},
        {"payload tagged WFL1 for version 1", "arc/data.arc", "WFL1", "1", "WFL1", 0},
        {"version text read by its leading number", "arc/data.arc", "WF02", "2.5", "WF01", 1},
        {"upper-case extension", "arc/DATA.ARC", "WF02", "2", "WF02", 0},
        // An index is judged by the data file beside it.
        {"index beside an up-to-date data file", "arc/data.ari", "xx02", "2", "WF02", 0},
        {"index beside an older data file", "arc/data.ari", "xx02", "2", "WFL1", 1},
        {"index without a data file", "arc/data.ari", "xx02", "2", nullptr, 1},
    };
    ASSERT_TRUE(testing_support::MakeDir(game / "arc"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::System().Remove(game / "arc/data.arc");
        if (c.installed) Put("arc/data.arc", std::string(c.installed) + "records");
        Put("arc/data.ari", "index");  // never read for the decision
        payloads.Add("PAYLOAD", kType, std::string(c.payloadTag) + "rest of the payload");
        view.Clear();
        EXPECT_EQ(Copy(c.target, "PAYLOAD", c.version).Check(), c.expected);
        EXPECT_TRUE(Boxes().empty());
    }
}

TEST_F(CopyCmdTest, UnreadableInstalledDataFileShowsABoxAndCountsAsOlder) {
    payloads.Add("PAYLOAD", kType, "WF02 new archive");
    Put("data.arc", "WF");  // shorter than its tag
    EXPECT_EQ(Copy("data.arc", "PAYLOAD", "2").Check(), 1);
    EXPECT_EQ(Boxes(), Strings{Message(kVersionRead, Full("data.arc"))});
}

TEST_F(CopyCmdTest, PayloadOfAnotherVersionIsRefusedBeforeAnythingChanges) {
    struct Case {
        const char* what;
        const char* target;
        std::string payload;
        const char* version;
        Strings boxes;
    };
    const Case cases[] = {
        {"data payload of version 1", "data.arc", "WFL1 archive", "2", {}},
        {"data payload of version 3", "data.arc", "WF03 archive", "2", {}},
        // An index carries no tag: a name length of 6 reads as version 0.
        {"index payload", "data.ari", std::string("\x06\0\0\0\xA3\x9E", 6), "2", {}},
        {"payload shorter than a tag", "data.arc", "WF", "2", {Message(kVersionRead, "PAYLOAD")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        view.Clear();
        payloads.Add("PAYLOAD", kType, c.payload);
        Put("data.arc", "WFL1");
        EXPECT_EQ(Raised([&] { Copy(c.target, "PAYLOAD", c.version).Check(); }),
                  Message(kWrongVersion, "PAYLOAD"));
        EXPECT_EQ(Boxes(), c.boxes);
        EXPECT_TRUE(SameFiles(Files(), (FileTree{{"data.arc", "WFL1"}})));
    }
}

TEST_F(CopyCmdTest, MissingPayloadOfAnArchiveLineFailsTheCheck) {
    EXPECT_EQ(Raised([&] { Copy("arc/data.arc", "GONE", "2").Check(); }),
              Message(kSourceOpen, "GONE"));
    EXPECT_EQ(Raised([&] { Copy("arc/data.ari", "GONE", "2").Check(); }),
              Message(kSourceOpen, "GONE"));
}

// ---- Check: other files ----

TEST_F(CopyCmdTest, VersionZeroCopiesAnyFileWithoutLooking) {
    // No payload, no installed file: nothing is read.
    for (const char* version : {"0", "", "0.9.0.0", "x1"}) {
        SCOPED_TRACE(version);
        for (const char* target : {"game.exe", "data.arc", "data.ari", "sound/a.prs", "readme"}) {
            EXPECT_EQ(Copy(target, "GONE", version).Check(), 1) << target;
        }
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(CopyCmdTest, OtherFilesWithAVersionAreRefusedByTheirScriptPath) {
    payloads.Add("PAYLOAD", kType, "WF02");
    for (const char* target : {"sound/a.prs", "readme", "game.exe.txt", "arc.d/readme"}) {
        EXPECT_EQ(Raised([&] { Copy(target, "PAYLOAD", "2").Check(); }),
                  Message(kUnexpectedFormat, target));
    }
}

// ---- Check: executables ----

class CopyExeTest : public CopyCmdTest {
protected:
    void SetUp() override {
        folder_ = VersionImagesFolder();
        if (folder_.empty()) GTEST_SKIP() << "no version images were built (MinGW-w64 missing)";
    }

    // The bytes of a built image (ja, en, fixed_only, none).
    std::string Image(const char* name) {
        std::string bytes;
        EXPECT_TRUE(ReadFile(folder_ + "version_" + name + ".exe", &bytes)) << name;
        return bytes;
    }

    std::string folder_;
};

TEST_F(CopyExeTest, ComparesTheInstalledFileVersionAsText) {
    struct Case {
        const char* image;  // installed as the target; null: no file
        const char* target;
        const char* version;
        int expected;
        Strings boxes;
    };
    const Case cases[] = {
        {"ja", "game.exe", "1.1.0.2", 0, {}},          // 1.1.0.2: equal
        {"ja", "game.exe", "1.1.0.3", 1, {}},          // older
        {"en", "game.exe", "1.1.0.2", 1, {}},          // 1.1.0.10 sorts before 1.1.0.2
        {"fixed_only", "game.exe", "1.1.0.2", 0, {}},  // 2.0.0.0
        {"ja", "GAME.EXE", "1.1.0.2", 0, {}},          // the extension in any case
        {"none", "game.exe", "1.0.0.0", 1, {Sjis(kNoVersionInfo)}},
        {nullptr, "game.exe", "1.1.0.2", 1, {Sjis(kNoVersionInfo)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.image ? c.image : "missing") + " against " + c.version);
        view.Clear();
        platform::System().Remove(game / c.target);
        if (c.image) Put(c.target, Image(c.image));
        EXPECT_EQ(Copy(c.target, "GONE", c.version).Check(), c.expected);
        EXPECT_EQ(Boxes(), c.boxes);
    }
}

TEST_F(CopyExeTest, MissingExecutableIsCopiedAndRunsAgainAsUpToDate) {
    payloads.Add("EXE", kType, Image("ja"));
    CopyCmd& copy = Copy("game.exe", "EXE", "1.1.0.2");
    ASSERT_EQ(copy.Check(), 1);
    ASSERT_EQ(view.Messages().size(), 1u);
    EXPECT_EQ(view.Messages()[0].style, 0x30u);  // exclamation icon, OK button
    EXPECT_FALSE(view.Messages()[0].owned);
    copy.Exec();
    view.Clear();
    EXPECT_EQ(copy.Check(), 0);
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
