// Backups and the disk failing around them: a copy that cannot make its
// backup changes nothing, a copy cut off part way never looks done, a
// restore that cannot put a backup back says so; the journal of a run's
// backups, and what a run that starts does with one an earlier run left;
// backup names that are taken; and checks that cannot read their file,
// which stop the run instead of answering.
#include "engine/backup_journal.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "archive/arc_backup_cmd.h"
#include "archive/arc_ver_write_cmd.h"
#include "archive/update_cmd.h"
#include "authoring/archive_writer.h"
#include "engine/texts.h"
#include "replace/copy_cmd.h"
#include "support/command_fixture.h"
#include "support/fault_disk.h"
#include "support/journal_bytes.h"

namespace {

using authoring::ArchivePair;
using authoring::BuildArchive;
using testing_support::CommandTest;
using testing_support::DiskFullAfter;
using testing_support::DiskOp;
using testing_support::FaultDisk;
using testing_support::FileTree;
using testing_support::JournalBackup;
using testing_support::JournalBytes;
using testing_support::JournalHeader;
using testing_support::JournalRecord;
using testing_support::PathFault;
using testing_support::Pattern;
using testing_support::SameFiles;

constexpr const char* kType = "PATCH_SCR";
constexpr const char* kMissing = "<missing>";

constexpr const char* kFindFailed = u8"[%s] ファイルの検索に失敗";
constexpr const char* kBackupMakeFailed = u8"[%s] バックアップファイルの作成に失敗";
constexpr const char* kRestoreFailed = u8"[%s] バックアップファイルの復元に失敗";
constexpr const char* kTargetWrite = u8"[%s] コピー先ファイルの書込みに失敗";

// What a file held by another program answers: it cannot be renamed,
// deleted or opened.
PathFault RenameRefused(const std::string& ending) {
    return PathFault(DiskOp::kRename, ending).Answering(platform::kErrorSharingViolation);
}
PathFault RemoveRefused(const std::string& ending) {
    return PathFault(DiskOp::kRemove, ending).Answering(platform::kErrorAccessDenied);
}
PathFault OpenRefused(const std::string& ending) {
    return PathFault(DiskOp::kOpenFile, ending).Answering(platform::kErrorSharingViolation);
}

class BackupJournalTest : public CommandTest {
protected:
    BackupJournalTest() { EXPECT_TRUE(testing_support::MakeDir(game / "arc")); }

    CopyCmd& Copy(const std::string& target, const std::string& version = "0") {
        return Make<CopyCmd>({"copy", target, "NEW", kType, version});
    }
    ArcBackupCmd& Backup(const std::string& archive = "arc/data.arc") {
        return Make<ArcBackupCmd>({"arcbackup", archive, "2"});
    }
    // Puts the files given; kMissing leaves one out.
    void PutAll(const FileTree& files) {
        for (const auto& file : files) {
            if (file.second != kMissing) Put(file.first, file.second);
        }
    }
    // A run of a script in the game folder, as a fresh start of the
    // program makes it; the end code, or -1 when it did not start.
    int Run(const std::string& script) {
        EXPECT_TRUE(engine.StartWithScript(script));
        engine.SetGameFolder(game.path());
        view.Clear();
        engine.OnRun();
        return view.PumpUntilIdle(engine);
    }
    void PutJournal(const std::string& bytes) { Put(CBackupJournal::kFileName, bytes); }
    std::string Journal() { return Get(CBackupJournal::kFileName); }
    std::string JournalPath() const { return Full(CBackupJournal::kFileName); }
    // The texts of the error boxes shown.
    std::vector<std::string> Errors() {
        std::vector<std::string> errors;
        for (const ShownMessage& box : view.Messages()) {
            if (box.caption == text::kCaptionError) errors.push_back(box.text);
        }
        return errors;
    }

    // The files below the game folder, without the folders themselves.
    FileTree Files() {
        FileTree files;
        for (const auto& entry : CommandTest::Files()) {
            if (entry.first.back() != '/') files.insert(entry);
        }
        return files;
    }
    // The files given that are not kMissing, named as Files() names them
    // (in lower case).
    FileTree Present(const FileTree& files) {
        FileTree present;
        for (const auto& file : files) {
            std::string name = file.first;
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (file.second != kMissing) present[name] = file.second;
        }
        return present;
    }
};

// ---- the copy when the disk fails around its backup ----

TEST_F(BackupJournalTest, CopyThatCannotMakeItsBackupChangesNothing) {
    payloads.Add("NEW", kType, "new bytes");
    struct Case {
        const char* what;
        bool search;  // the existence test fails; otherwise the rename does
        std::string expected;
    };
    const Case cases[] = {
        {"search fails", true, Message(kFindFailed, Full("game.exe"))},
        {"rename fails", false, Message(kBackupMakeFailed, Full("game.exe"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put("game.exe", "installed");
        FaultDisk disk(platform::System());
        disk.FailOn(c.search ? PathFault(DiskOp::kFindFirst, "game.exe")
                             : RenameRefused("game.exe"));
        CopyCmd& copy = Copy("game.exe");
        {
            platform::ScopedFileSystem failing(&disk);
            EXPECT_EQ(Raised([&] { copy.Exec(); }), c.expected);
        }
        EXPECT_EQ(copy.backedUp, 0);
        EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "installed"}})));
    }
}

TEST_F(BackupJournalTest, CopyCutOffPartWayNeverCarriesItsVersion) {
    // A new archive, so no backup either: only its missing tag tells that
    // the copy did not finish.
    const std::string bytes = "WF02" + Pattern(3 * 65536);
    payloads.Add("NEW", kType, bytes);
    CopyCmd& copy = Copy("arc/movie.arc", "2");
    FaultDisk disk(platform::System());
    disk.FailOn(DiskFullAfter("arc/movie.arc", 2));
    {
        platform::ScopedFileSystem failing(&disk);
        EXPECT_EQ(Raised([&] { copy.Exec(); }), Message(kTargetWrite, Full("arc/movie.arc")));
    }
    EXPECT_EQ(Get("arc/movie.arc").substr(0, 4), std::string(4, '\0'));
    EXPECT_EQ(copy.Check(), 1);

    copy.Exec();  // the next run
    EXPECT_EQ(Get("arc/movie.arc"), bytes);
    EXPECT_EQ(copy.Check(), 0);
}

// ---- restores that cannot put a backup back ----

TEST_F(BackupJournalTest, RestoreThatCannotPutTheBackupBackSaysSo) {
    payloads.Add("NEW", kType, "new bytes");
    struct Case {
        const char* what;
        bool remove;  // deleting the new file fails; otherwise the rename does
    };
    for (const Case& c : {Case{"delete fails", true}, Case{"rename fails", false}}) {
        SCOPED_TRACE(c.what);
        Put("game.exe", "installed");
        CopyCmd& copy = Copy("game.exe");
        copy.Exec();
        FaultDisk disk(platform::System());
        disk.FailOn(c.remove ? RemoveRefused("game.exe") : RenameRefused("game.bak"));
        {
            platform::ScopedFileSystem failing(&disk);
            EXPECT_EQ(Raised([&] { copy.Restore(); }), Message(kRestoreFailed, Full("game.bak")));
        }
        EXPECT_EQ(Get("game.bak"), "installed");  // still there for the next run
        copy.Restore();
        EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "installed"}})));
    }
}

TEST_F(BackupJournalTest, ArchiveRestorePutsBackWhatItCanAndNamesWhatItCannot) {
    const ArchivePair pair = BuildArchive({{"a.bin", 0, Pattern(100)}}, "WFL1");
    struct Case {
        const char* what;
        const char* held;  // the file that cannot be deleted
        FileTree after;
    };
    const Case cases[] = {
        {"data file stays beside its backup: the index went back",
         "data.arc",
         {{"arc/data.arc", "changed"}, {"arc/data_arc.bak", pair.arc}, {"arc/data.ari", pair.ari}}},
        {"index stays beside its backup: the data file went back",
         "data.ari",
         {{"arc/data.arc", pair.arc}, {"arc/data.ari", "changed"}, {"arc/data_ari.bak", pair.ari}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put("arc/data.arc", pair.arc);
        Put("arc/data.ari", pair.ari);
        ArcBackupCmd& backup = Backup();
        backup.Exec();
        Put("arc/data.arc", "changed");
        Put("arc/data.ari", "changed");
        FaultDisk disk(platform::System());
        disk.FailOn(RemoveRefused(c.held));
        const std::string named =
            std::string(c.held) == "data.arc" ? "arc/data_ARC.bak" : "arc/data_ARI.bak";
        {
            platform::ScopedFileSystem failing(&disk);
            EXPECT_EQ(Raised([&] { backup.Restore(); }), Message(kRestoreFailed, Full(named)));
        }
        EXPECT_TRUE(SameFiles(Files(), c.after));
        for (const auto& file : Files()) platform::System().Remove(game / file.first);
        ForgetJournal();
    }
}

// ---- a run starts by dealing with the journal an unfinished run left ----

TEST_F(BackupJournalTest, LeftOverJournalIsFinishedOrUndoneBeforeTheRun) {
    const std::string committed = JournalRecord('C', "");
    const std::string gameBackup = testing_support::BackupRecordBody({"game.exe", "game.bak"});
    struct Case {
        const char* what;
        FileTree files;  // kMissing leaves one out
        std::string journal;
        FileTree after;
    };
    const Case cases[] = {
        {"not committed: the backup goes back over the new file",
         {{"game.exe", "new"}, {"game.bak", "old"}},
         JournalBytes({{"game.exe", "game.bak"}}, false),
         {{"game.exe", "old"}}},
        {"not committed, cut off between the move and the copy",
         {{"game.exe", kMissing}, {"game.bak", "old"}},
         JournalBytes({{"game.exe", "game.bak"}}, false),
         {{"game.exe", "old"}}},
        {"not committed, the move never happened: nothing to put back",
         {{"game.exe", "old"}},
         JournalBytes({{"game.exe", "game.bak"}}, false),
         {{"game.exe", "old"}}},
        {"not committed, a name that another file had is left alone",
         {{"game.exe", "new"}, {"game.bak", "someone else's"}, {"game.2.bak", "old"}},
         JournalBytes({{"game.exe", "game.2.bak"}}, false),
         {{"game.exe", "old"}, {"game.bak", "someone else's"}}},
        {"not committed, one file backed up twice: it goes back to the first",
         {{"arc/data.arc", "third"},
          {"arc/data_arc.bak", "first"},
          {"arc/data_ARC.2.bak", "second"}},
         JournalBytes(
             {{"arc/data.arc", "arc/data_arc.bak"}, {"arc/data.arc", "arc/data_ARC.2.bak"}}, false),
         {{"arc/data.arc", "first"}}},
        {"a commit that was revoked is no commit",
         {{"game.exe", "new"}, {"game.bak", "old"}},
         JournalBytes({{"game.exe", "game.bak"}}, true) + JournalRecord('U', ""),
         {{"game.exe", "old"}}},
        {"committed: the backups go, also outside the clean-up's folders",
         {{"game.exe", "new"},
          {"game.bak", "old"},
          {"data/x.arc", "new"},
          {"data/x_ARC.bak", "old"}},
         JournalBytes({{"game.exe", "game.bak"}, {"data/x.arc", "data/x_ARC.bak"}}, true),
         {{"game.exe", "new"}, {"data/x.arc", "new"}}},
        {"committed: the clean-up of the game folder is finished too",
         {{"game.exe", "new"}, {"stray.bak", "x"}, {"data/y.bak", "kept"}},
         JournalBytes({{"game.exe", "game.bak"}}, true),
         {{"game.exe", "new"}, {"data/y.bak", "kept"}}},
        {"a torn last record was never acted on",
         {{"game.exe", "new"}, {"game.bak", "old"}, {"readme.txt", "readme"}},
         JournalHeader() + JournalRecord('B', gameBackup) +
             JournalRecord('B', testing_support::BackupRecordBody({"readme.txt", "readme.bak"}))
                 .substr(0, 12),
         {{"game.exe", "old"}, {"readme.txt", "readme"}}},
        {"a torn commit is no commit",
         {{"game.exe", "new"}, {"game.bak", "old"}},
         JournalHeader() + JournalRecord('B', gameBackup) +
             committed.substr(0, committed.size() - 1),
         {{"game.exe", "old"}}},
        {"a last record of zeros was never written",
         {{"game.exe", "new"}, {"game.bak", "old"}},
         JournalBytes({{"game.exe", "game.bak"}}, false) + std::string(40, '\0'),
         {{"game.exe", "old"}}},
        {"cut off while it was made: no backup yet",
         {{"game.exe", "old"}},
         JournalHeader().substr(0, 5),
         {{"game.exe", "old"}}},
    };
    ASSERT_TRUE(testing_support::MakeDir(game / "data"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PutAll(c.files);
        PutJournal(c.journal);
        EXPECT_EQ(Run(""), PATCH_LATEST);
        EXPECT_TRUE(Errors().empty());
        EXPECT_TRUE(SameFiles(Files(), Present(c.after)));
        EXPECT_FALSE(HasJournal());
        for (const auto& file : Files()) platform::System().Remove(game / file.first);
    }
}

TEST_F(BackupJournalTest, AJournalThatDoesNotReadBackChangesNothing) {
    const std::string backup = testing_support::BackupRecordBody({"game.exe", "game.bak"});
    std::string flipped = JournalRecord('B', backup);
    flipped[7] ^= 1;  // a byte of the name: the checksum no longer fits
    std::string unfilled = backup + "x";
    struct Case {
        const char* what;
        std::string journal;
        bool unreadable;  // the journal cannot be opened; otherwise it is damaged
    };
    const Case cases[] = {
        {"not a journal", "not a journal at all", false},
        {"another format", std::string("PJNL") + std::string("\x02\0\0\0", 4), false},
        {"a damaged record before a whole one", JournalHeader() + flipped + JournalRecord('C', ""),
         false},
        {"names that do not fill their record",
         JournalHeader() + JournalRecord('B', unfilled) + JournalRecord('C', ""), false},
        {"a record of no known kind", JournalHeader() + JournalRecord('X', ""), false},
        {"a commit with a body", JournalHeader() + JournalRecord('C', "x") + JournalRecord('C', ""),
         false},
        {"held by another program", JournalBytes({{"game.exe", "game.bak"}}, false), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put("game.exe", "new");
        Put("game.bak", "old");
        PutJournal(c.journal);
        const FileTree before = Files();
        FaultDisk disk(platform::System());
        if (c.unreadable) disk.FailOn(OpenRefused(CBackupJournal::kFileName));
        {
            platform::ScopedFileSystem failing(&disk);
            EXPECT_EQ(Run("copy game.exe NEW PATCH_SCR 0\r\n"), -1);  // not started
        }
        EXPECT_EQ(Errors(), std::vector<std::string>{
                                Message(c.unreadable ? u8"[%s] 作業記録ファイルの読込みに失敗"
                                                     : u8"[%s] 作業記録ファイルが壊れています",
                                        JournalPath())});
        EXPECT_TRUE(SameFiles(Files(), before));
        EXPECT_EQ(Journal(), c.journal);
    }
}

TEST_F(BackupJournalTest, ABackupThatCannotBeDeletedStaysListedUntilARunCan) {
    payloads.Add("NEW", kType, "new bytes");
    Put("game.exe", "old");
    FaultDisk disk(platform::System());
    disk.FailOn(RemoveRefused("game.bak"));
    {
        platform::ScopedFileSystem failing(&disk);
        EXPECT_EQ(Run("copy game.exe NEW PATCH_SCR 0\r\n"), PATCH_FINISHED);
        // A finished run leaves it only while the committed journal lists it.
        EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "new bytes"}, {"game.bak", "old"}})));
        ASSERT_TRUE(HasJournal());
        // The next run cannot delete it either: it stops before anything.
        EXPECT_EQ(Run("copy game.exe NEW PATCH_SCR 0\r\n"), -1);
        EXPECT_EQ(Errors(), std::vector<std::string>{Message(
                                u8"[%s] バックアップファイルの削除に失敗", Full("game.bak"))});
    }
    // Once it can, it does, and the run goes on.
    EXPECT_EQ(Run("copy readme.txt NEW PATCH_SCR 0\r\n"), PATCH_FINISHED);
    EXPECT_TRUE(
        SameFiles(Files(), (FileTree{{"game.exe", "new bytes"}, {"readme.txt", "new bytes"}})));
    EXPECT_FALSE(HasJournal());
}

TEST_F(BackupJournalTest, AJournalThatTheProgramWroteIsUndoneByTheNextStart) {
    // The copies ran, then the program was gone: no restore, no clean-up.
    payloads.Add("NEW", kType, "new bytes");
    Put("game.exe", "old exe");
    Put("game.dll", "old dll");
    Copy("game.exe").Exec();
    Copy("game.dll").Exec();
    EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "new bytes"},
                                             {"game.dll", "new bytes"},
                                             {"game.bak", "old exe"},
                                             {"game.2.bak", "old dll"}})));
    engine.ForgetJournal();
    EXPECT_EQ(Run(""), PATCH_LATEST);
    EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "old exe"}, {"game.dll", "old dll"}})));
    EXPECT_FALSE(HasJournal());
}

// ---- backups whose names are taken ----

TEST_F(BackupJournalTest, EveryBackupHasItsOwnFile) {
    payloads.Add("EXE", kType, "new exe");
    payloads.Add("DLL", kType, "new dll");
    const ArchivePair older = BuildArchive({{"a.bin", 0, Pattern(80, 5)}}, "WFL1");
    const ArchivePair current = BuildArchive({{"a.bin", 0, Pattern(100, 6)}}, "WFL1");
    payloads.Add("ENTRY", kType, Pattern(30, 7));
    const std::string script =
        "copy game.exe EXE PATCH_SCR 0\r\n"
        "copy game.dll DLL PATCH_SCR 0\r\n"
        "arcbackup data/x.arc 2\r\n"
        "update data/x.arc b.bin ENTRY PATCH_SCR 2\r\n"
        "arcVerWrite data/x.arc 2\r\n";
    auto install = [&] {
        Put("game.exe", "old exe");
        Put("game.dll", "old dll");
        Put("data/x.arc", current.arc);
        Put("data/x.ari", current.ari);
        // What an earlier patch left where no clean-up looks.
        Put("data/x_ARC.bak", older.arc);
        Put("data/x_ARI.bak", older.ari);
    };
    ASSERT_TRUE(testing_support::MakeDir(game / "data"));
    install();
    const FileTree before = Files();

    // A last line into a folder that is not there interrupts the run.
    EXPECT_EQ(Run(script + "copy gone/x.txt EXE PATCH_SCR 0\r\n"), PATCH_ABORTED);
    EXPECT_TRUE(SameFiles(Files(), before));
    EXPECT_FALSE(HasJournal());

    EXPECT_EQ(Run(script), PATCH_FINISHED);
    FileTree after = Files();
    EXPECT_EQ(after["game.exe"], "new exe");
    EXPECT_EQ(after["game.dll"], "new dll");
    // The pair was patched from what was installed, not from the old backup,
    // which stays as it was.
    EXPECT_EQ(after["data/x.arc"].substr(0, 4), "WF02");
    EXPECT_EQ(after["data/x.arc"].substr(4, current.arc.size() - 4), current.arc.substr(4));
    EXPECT_EQ(after["data/x_arc.bak"], older.arc);
    EXPECT_EQ(after["data/x_ari.bak"], older.ari);
    EXPECT_EQ(after.count("game.bak") + after.count("game.2.bak") + after.count("data/x_arc.2.bak"),
              0u);
    EXPECT_FALSE(HasJournal());
    // And the next run finds it done.
    EXPECT_EQ(Run("arcbackup data/x.arc 2\r\nupdate data/x.arc b.bin ENTRY PATCH_SCR 2\r\n"
                  "arcVerWrite data/x.arc 2\r\n"),
              PATCH_LATEST);
    EXPECT_TRUE(SameFiles(Files(), after));
}

// ---- checks that cannot read their file stop the run ----

TEST_F(BackupJournalTest, AnArchiveVersionThatCannotBeReadIsNoAnswer) {
    struct Case {
        const char* what;
        const char* data;  // the installed data file; nullptr: none
        bool held;         // held open by another program without sharing
        int expected;      // Check's answer when it answers
        const char* raised;
        const char* box;
    };
    const Case cases[] = {
        {"missing: older", nullptr, false, 1, nullptr, nullptr},
        {"shorter than its tag: older, after a box", "WF", false, 1, nullptr,
         u8"[%s] ファイルの読込みに失敗（バージョンチェック）"},
        {"current", "WF02", false, 0, nullptr, nullptr},
        {"held: no answer", "WF02", true, 0,
         u8"[%s] ファイルのオープンに失敗（バージョンチェック）", nullptr},
    };
    for (const Case& c : cases) {
        for (const char* keyword : {"arcbackup", "arcVerWrite"}) {
            SCOPED_TRACE(std::string(c.what) + ", " + keyword);
            platform::System().Remove(game / "arc/data.arc");
            if (c.data) Put("arc/data.arc", c.data);
            std::unique_ptr<platform::IOsFile> holder;
            if (c.held) {
                uint32_t error = 0;
                holder = platform::System().OpenFile(game / "arc/data.arc", platform::kGenericRead,
                                                     0, platform::kOpenExisting, &error);
                ASSERT_NE(holder, nullptr);
            }
            view.Clear();
            ScriptCmd& command = std::string(keyword) == "arcbackup"
                                     ? static_cast<ScriptCmd&>(Backup())
                                     : Make<ArcVerWriteCmd>({"arcVerWrite", "arc/data.arc", "2"});
            int answer = -1;
            const std::string raised = Raised([&] { answer = command.Check(); });
            if (c.raised) {
                EXPECT_EQ(raised, Message(c.raised, Full("arc/data.arc")));
            } else {
                EXPECT_EQ(raised, "");
                EXPECT_EQ(answer, c.expected);
            }
            EXPECT_EQ(Boxes(), c.box
                                   ? std::vector<std::string>{Message(c.box, Full("arc/data.arc"))}
                                   : std::vector<std::string>{});
        }
    }
}

TEST_F(BackupJournalTest, AnArchiveVersionReadThatFailsStopsASecondRun) {
    // Patched already; on the second run the disk fails to read the tag.
    const ArchivePair pair = BuildArchive({{"a.bin", 0, Pattern(100)}}, 2);
    Put("arc/data.arc", pair.arc);
    Put("arc/data.ari", pair.ari);
    payloads.Add("ENTRY", kType, Pattern(30, 7));
    const FileTree before = Files();
    FaultDisk disk(platform::System());
    disk.FailOn(PathFault(DiskOp::kRead, "arc/data.arc"));
    platform::ScopedFileSystem failing(&disk);
    EXPECT_EQ(Run("arcbackup arc/data.arc 2\r\nupdate arc/data.arc a.bin ENTRY PATCH_SCR 2\r\n"
                  "arcVerWrite arc/data.arc 2\r\n"),
              -1);
    EXPECT_EQ(Errors().at(0),
              Message(u8"[%s] ファイルの読込みに失敗（バージョンチェック）", Full("arc/data.arc")));
    EXPECT_TRUE(SameFiles(Files(), before));
}

TEST_F(BackupJournalTest, AnExecutableVersionThatCannotBeReadIsNoAnswer) {
    Put("game.exe", "installed");
    payloads.Add("NEW", kType, "new bytes");
    FaultDisk disk(platform::System());
    disk.FailOn(PathFault(DiskOp::kLoadVersionInfo, ""));  // no executable's version
    platform::ScopedFileSystem failing(&disk);
    EXPECT_EQ(Raised([&] { Copy("game.exe", "1.1.0.2").Check(); }),
              Message(u8"[%s] バージョン情報の読込みに失敗", Full("game.exe")));
    EXPECT_EQ(Get("game.exe"), "installed");
}

// ---- archives near the format's limit ----

TEST_F(BackupJournalTest, UpdateRefusesARecordThatWouldReachTwoGiB) {
    const ArchivePair pair = BuildArchive({{"a.bin", 0, Pattern(100)}}, "WFL1");
    Put("arc/data.ari", pair.ari);
    // A data file just short of 2 GiB, sparse: its tag, then a hole.
    const uint64_t size = (uint64_t{1} << 31) - 40;
    {
        uint32_t error = 0;
        std::unique_ptr<platform::IOsFile> file = platform::System().OpenFile(
            game / "arc/data.arc", platform::kGenericWrite, 0, platform::kCreateNew, &error);
        ASSERT_NE(file, nullptr);
        uint32_t done = 0;
        ASSERT_EQ(file->Write(pair.arc.data(), 4, &done), 0u);
        int32_t high = static_cast<int32_t>((size - 1) >> 32);
        ASSERT_NE(file->Seek(static_cast<int32_t>((size - 1) & 0xFFFFFFFFu), &high,
                             platform::kFileBegin, &error),
                  platform::kInvalidSetFilePointer);
        ASSERT_EQ(file->Write("", 1, &done), 0u);
        ASSERT_EQ(file->Close(), 0u);
    }
    payloads.Add("SMALL", kType, Pattern(10));
    payloads.Add("ENTRY", kType, Pattern(100));
    // Ten bytes more still fit; a hundred do not.
    UpdateCmd& fits = Make<UpdateCmd>({"update", "arc/data.arc", "s.bin", "SMALL", kType, "2"});
    EXPECT_EQ(Raised([&] { fits.Exec(); }), "");
    platform::FindData found;
    ASSERT_NE(platform::System().FindFirst(game / "arc/data.arc", &found, nullptr), nullptr);
    const uint64_t grown = found.size;
    EXPECT_GT(grown, size);
    const std::string index = Get("arc/data.ari");
    UpdateCmd& update = Make<UpdateCmd>({"update", "arc/data.arc", "a.bin", "ENTRY", kType, "2"});
    EXPECT_EQ(Raised([&] { update.Exec(); }),
              Message(u8"[%s] アップデート先ファイルが2GBを超えるため追加できません",
                      Full("arc/data.arc")));
    ASSERT_NE(platform::System().FindFirst(game / "arc/data.arc", &found, nullptr), nullptr);
    EXPECT_EQ(found.size, grown);
    EXPECT_EQ(Get("arc/data.ari"), index);
    platform::System().Remove(game / "arc/data.arc");
}

}  // namespace
