// Backups and the disk failing around them: a copy that cannot make its
// backup changes nothing, a copy cut off part way never looks done, a
// restore that cannot put a backup back says so, and a run deals first with
// the backups that an unfinished earlier run left behind.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "archive/arc_backup_cmd.h"
#include "authoring/archive_writer.h"
#include "replace/copy_cmd.h"
#include "support/command_fixture.h"

namespace {

using authoring::ArchivePair;
using authoring::BuildArchive;
using testing_support::CommandTest;
using testing_support::FailingDisk;
using testing_support::FileTree;
using testing_support::Pattern;
using testing_support::SameFiles;

constexpr const char* kType = "PATCH_SCR";
constexpr const char* kMissing = "<missing>";

constexpr const char* kFindFailed = u8"[%s] ファイルの検索に失敗";
constexpr const char* kBackupMakeFailed = u8"[%s] バックアップファイルの作成に失敗";
constexpr const char* kRestoreFailed = u8"[%s] バックアップファイルの復元に失敗";
constexpr const char* kTargetWrite = u8"[%s] コピー先ファイルの書込みに失敗";

// A disk on which the searches for, the renames of or the deletions of the
// files whose paths end in given names fail, as a disk that is going away or
// a file held by another program makes them fail.
class StubbornDisk : public platform::ForwardingPlatform {
public:
    explicit StubbornDisk(platform::IPlatform& target) : ForwardingPlatform(target) {}

    std::string failSearch, failRename, failRemove;  // path endings; empty: none

    std::unique_ptr<platform::IFileSearch> FindFirst(const std::string& pattern,
                                                     platform::FindData* data,
                                                     uint32_t* error) override {
        if (Ends(pattern, failSearch)) {
            if (error) *error = 21;  // ERROR_NOT_READY
            return nullptr;
        }
        return target().FindFirst(pattern, data, error);
    }
    uint32_t Rename(const std::string& from, const std::string& to) override {
        return Ends(from, failRename) ? platform::kErrorSharingViolation
                                      : target().Rename(from, to);
    }
    uint32_t Remove(const std::string& path) override {
        return Ends(path, failRemove) ? platform::kErrorAccessDenied : target().Remove(path);
    }

private:
    static bool Ends(const std::string& path, const std::string& ending) {
        return !ending.empty() && path.size() >= ending.size() &&
               path.compare(path.size() - ending.size(), ending.size(), ending) == 0;
    }
};

class LeftOverBackupTest : public CommandTest {
protected:
    LeftOverBackupTest() { EXPECT_TRUE(testing_support::MakeDir(game / "arc")); }

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

TEST_F(LeftOverBackupTest, CopyThatCannotMakeItsBackupChangesNothing) {
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
        StubbornDisk disk(payloads);
        (c.search ? disk.failSearch : disk.failRename) = "game.exe";
        CopyCmd& copy = Copy("game.exe");
        {
            platform::ScopedPlatform failing(&disk);
            EXPECT_EQ(Raised([&] { copy.Exec(); }), c.expected);
        }
        EXPECT_EQ(copy.backedUp, 0);
        EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "installed"}})));
    }
}

TEST_F(LeftOverBackupTest, CopyCutOffPartWayNeverCarriesItsVersion) {
    // A new archive, so no backup either: only its missing tag tells that
    // the copy did not finish.
    const std::string bytes = "WF02" + Pattern(3 * 65536);
    payloads.Add("NEW", kType, bytes);
    CopyCmd& copy = Copy("arc/movie.arc", "2");
    FailingDisk disk(payloads);
    disk.file = "arc/movie.arc";
    disk.writesLeft = 2;
    {
        platform::ScopedPlatform failing(&disk);
        EXPECT_EQ(Raised([&] { copy.Exec(); }), Message(kTargetWrite, Full("arc/movie.arc")));
    }
    EXPECT_EQ(Get("arc/movie.arc").substr(0, 4), std::string(4, '\0'));
    EXPECT_EQ(copy.Check(), 1);

    copy.Exec();  // the next run
    EXPECT_EQ(Get("arc/movie.arc"), bytes);
    EXPECT_EQ(copy.Check(), 0);
}

// ---- restores that cannot put a backup back ----

TEST_F(LeftOverBackupTest, RestoreThatCannotPutTheBackupBackSaysSo) {
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
        StubbornDisk disk(payloads);
        (c.remove ? disk.failRemove : disk.failRename) = c.remove ? "game.exe" : "game.bak";
        {
            platform::ScopedPlatform failing(&disk);
            EXPECT_EQ(Raised([&] { copy.Restore(); }), Message(kRestoreFailed, Full("game.bak")));
        }
        EXPECT_EQ(Get("game.bak"), "installed");  // still there for the next run
        copy.Restore();
        EXPECT_TRUE(SameFiles(Files(), (FileTree{{"game.exe", "installed"}})));
    }
}

TEST_F(LeftOverBackupTest, ArchiveRestorePutsBackWhatItCanAndNamesWhatItCannot) {
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
        StubbornDisk disk(payloads);
        disk.failRemove = c.held;
        const std::string named =
            std::string(c.held) == "data.arc" ? "arc/data_ARC.bak" : "arc/data_ARI.bak";
        {
            platform::ScopedPlatform failing(&disk);
            EXPECT_EQ(Raised([&] { backup.Restore(); }), Message(kRestoreFailed, Full(named)));
        }
        EXPECT_TRUE(SameFiles(Files(), c.after));
        for (const auto& file : Files()) platform::System().Remove(game / file.first);
    }
}

// ---- a run starts by dealing with what an unfinished run left ----

TEST_F(LeftOverBackupTest, CopyBackupsLeftByAnUnfinishedRun) {
    const std::string payload = "new bytes";
    payloads.Add("NEW", kType, payload);
    struct Case {
        const char* what;
        const char* target;
        FileTree before, after;
    };
    const Case cases[] = {
        {"cut off between the rename and the copy: the backup goes back",
         "game.exe",
         {{"game.exe", kMissing}, {"game.bak", "old"}},
         {{"game.exe", "old"}}},
        {"complete copy whose clean-up never ran: the backup goes",
         "game.exe",
         {{"game.exe", payload}, {"game.bak", "old"}},
         {{"game.exe", payload}}},
        {"the same in the arc folder",
         "arc/data.ari",
         {{"arc/data.ari", payload}, {"arc/data_ari.bak", "old"}},
         {{"arc/data.ari", payload}}},
        {"complete copy in a folder the clean-up leaves alone: both stay",
         "save/x.dat",
         {{"save/x.dat", payload}, {"save/x.bak", "old"}},
         {{"save/x.dat", payload}, {"save/x.bak", "old"}}},
        {"copy cut off part way: both stay for the run to copy over",
         "game.exe",
         {{"game.exe", std::string(4, '\0') + "bytes"}, {"game.bak", "old"}},
         {{"game.exe", std::string(4, '\0') + "bytes"}, {"game.bak", "old"}}},
        {"no backup: nothing to do", "game.exe", {{"game.exe", "old"}}, {{"game.exe", "old"}}},
    };
    ASSERT_TRUE(testing_support::MakeDir(game / "save"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PutAll(c.before);
        Copy(c.target).Recover();
        EXPECT_TRUE(SameFiles(Files(), Present(c.after)));
        for (const auto& file : Files()) platform::System().Remove(game / file.first);
    }
}

TEST_F(LeftOverBackupTest, ArchiveBackupsLeftByAnUnfinishedRun) {
    const ArchivePair before = BuildArchive({{"a.bin", 0, Pattern(100)}}, "WFL1");
    const ArchivePair patched = BuildArchive({{"a.bin", 0, Pattern(120, 1)}}, "WF02");
    struct Case {
        const char* what;
        const char* archive;
        FileTree files, after;
    };
    const Case cases[] = {
        {"data file renamed away: it goes back",
         "arc/data.arc",
         {{"arc/data.arc", kMissing},
          {"arc/data_ARC.bak", before.arc},
          {"arc/data.ari", before.ari}},
         {{"arc/data.arc", before.arc}, {"arc/data.ari", before.ari}}},
        {"index renamed away: it goes back, the data backup stays for the run",
         "arc/data.arc",
         {{"arc/data.arc", before.arc},
          {"arc/data_ARC.bak", before.arc},
          {"arc/data.ari", kMissing},
          {"arc/data_ARI.bak", before.ari}},
         {{"arc/data.arc", before.arc},
          {"arc/data_ARC.bak", before.arc},
          {"arc/data.ari", before.ari}}},
        {"cut off during the updates: the backups stay for the run to copy back",
         "arc/data.arc",
         {{"arc/data.arc", before.arc + "more"},
          {"arc/data_ARC.bak", before.arc},
          {"arc/data.ari", before.ari + "more"},
          {"arc/data_ARI.bak", before.ari}},
         {{"arc/data.arc", before.arc + "more"},
          {"arc/data_ARC.bak", before.arc},
          {"arc/data.ari", before.ari + "more"},
          {"arc/data_ARI.bak", before.ari}}},
        {"stamped, clean-up never ran: the backups go",
         "arc/data.arc",
         {{"arc/data.arc", patched.arc},
          {"arc/data_ARC.bak", before.arc},
          {"arc/data.ari", patched.ari},
          {"arc/data_ARI.bak", before.ari}},
         {{"arc/data.arc", patched.arc}, {"arc/data.ari", patched.ari}}},
        {"stamped, clean-up cut off after one backup: the other goes",
         "arc/data.arc",
         {{"arc/data.arc", patched.arc},
          {"arc/data.ari", patched.ari},
          {"arc/data_ARI.bak", before.ari}},
         {{"arc/data.arc", patched.arc}, {"arc/data.ari", patched.ari}}},
        {"stamped in a folder the clean-up leaves alone: the backups stay",
         "save/data.arc",
         {{"save/data.arc", patched.arc},
          {"save/data_ARC.bak", before.arc},
          {"save/data.ari", patched.ari},
          {"save/data_ARI.bak", before.ari}},
         {{"save/data.arc", patched.arc},
          {"save/data_ARC.bak", before.arc},
          {"save/data.ari", patched.ari},
          {"save/data_ARI.bak", before.ari}}},
    };
    ASSERT_TRUE(testing_support::MakeDir(game / "save"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PutAll(c.files);
        Backup(c.archive).Recover();
        EXPECT_TRUE(SameFiles(Files(), Present(c.after)));
        for (const auto& file : Files()) platform::System().Remove(game / file.first);
    }
}

TEST_F(LeftOverBackupTest, BackupThatCannotGoBackIsReported) {
    Put("game.bak", "old");
    StubbornDisk disk(payloads);
    disk.failRename = "game.bak";
    platform::ScopedPlatform failing(&disk);
    EXPECT_EQ(Raised([&] { Copy("game.exe").Recover(); }),
              Message(kRestoreFailed, Full("game.bak")));
}

}  // namespace
