// The commands that change archives: the backup of an archive pair, the
// entry update, the version stamp, the version check they share, and all of
// them with the copy command in whole runs.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "archive/arc_backup_cmd.h"
#include "archive/arc_format.h"
#include "archive/arc_index.h"
#include "archive/arc_ver_write_cmd.h"
#include "archive/file_arc.h"
#include "archive/update_cmd.h"
#include "authoring/archive_writer.h"
#include "authoring/lzss_encoder.h"
#include "platform/cp932.h"
#include "support/command_fixture.h"
#include "support/fault_disk.h"
#include "support/probe_cmd.h"

namespace {

using authoring::ArchiveEntry;
using authoring::ArchivePair;
using authoring::BuildArchive;
using testing_support::CommandTest;
using testing_support::DiskFullAfter;
using testing_support::FailingClose;
using testing_support::FaultDisk;
using testing_support::FileTree;
using testing_support::Le16;
using testing_support::Le32;
using testing_support::Pattern;
using testing_support::ReadFile;
using testing_support::SameBytes;
using testing_support::SameFiles;
using testing_support::Sjis;
using Strings = std::vector<std::string>;

constexpr const char* kType = "PATCH_SCR";

// The program's messages.
constexpr const char* kUnexpectedFormat = u8"[%s] コピー元ファイルは想定していない形式です";
constexpr const char* kVersionRead = u8"[%s] ファイルの読込みに失敗（バージョンチェック）";
constexpr const char* kBackupSizeOpen =
    u8"[%s] バックアップ対象ファイルのオープンに失敗(ArcBackupCmd::Size)";
constexpr const char* kBackupOpen =
    u8"[%s] バックアップファイルのオープンに失敗(ArcBackupCmd::BackupProc)";
constexpr const char* kBackupOriginalOpen =
    u8"[%s] 元ファイルのオープンに失敗(ArcBackupCmd::BackupProc)";
constexpr const char* kBackupWrite = u8"[%s] 元ファイルの書込みに失敗(ArcBackupCmd::BackupProc)";
constexpr const char* kUpdateUnexpectedFormat =
    u8"[%s] アップデート元ファイルは想定していない形式です";
constexpr const char* kUpdateSizeOpen =
    u8"[%s] アップデート元ファイルのオープンに失敗(UpdateCmd::Size)";
constexpr const char* kSourceOpen = u8"[%s] コピー元ファイルのオープンに失敗";
constexpr const char* kUpdateSourceRead = u8"[%s] アップデート元ファイルの読込みに失敗";
constexpr const char* kAriOpen = u8"[%s] アップデート先ARIファイルのオープンに失敗";
constexpr const char* kArcOpen = u8"[%s] アップデート先ARCファイルのオープンに失敗";
constexpr const char* kAriRead = u8"[%s] アップデート先ARIファイルの読込みに失敗";
constexpr const char* kAriWrite = u8"[%s] アップデート先ARIファイルの書込みに失敗";
constexpr const char* kArcWrite = u8"[%s] アップデート先ARCファイルの書込みに失敗";
constexpr const char* kStampOpen = u8"[%s] バージョン書き込みファイルのオープンに失敗";
constexpr const char* kStampWrite = u8"[%s] バージョン書き込みファイルの書込みに失敗";

// A "prs" payload: a compressed typed file's header (type 1, stream length,
// expanded length), then the stream.
std::string CompressedPayload(uint32_t streamLength, uint32_t expanded, const std::string& stream) {
    return Le16(1) + Le32(streamLength) + Le32(expanded) + stream;
}

class ArchiveTest : public CommandTest {
protected:
    ArchiveTest() { EXPECT_TRUE(testing_support::MakeDir(game / "arc")); }

    // Puts an archive pair at arc/data.arc and arc/data.ari.
    void PutPair(const ArchivePair& pair) {
        Put("arc/data.arc", pair.arc);
        Put("arc/data.ari", pair.ari);
    }
    void ExpectPair(const ArchivePair& pair) {
        EXPECT_TRUE(SameBytes(Get("arc/data.ari"), pair.ari)) << "index file";
        EXPECT_TRUE(SameBytes(Get("arc/data.arc"), pair.arc)) << "data file";
    }

    ArcBackupCmd& Backup(const std::string& archive = "arc/data.arc",
                         const std::string& version = "2") {
        return Make<ArcBackupCmd>({"arcbackup", archive, version});
    }
    UpdateCmd& Update(const std::string& entry, const std::string& payload,
                      const std::string& archive = "arc/data.arc",
                      const std::string& version = "2") {
        return Make<UpdateCmd>({"update", archive, entry, payload, kType, version});
    }
    ArcVerWriteCmd& Stamp(const std::string& version, const std::string& archive = "arc/data.arc") {
        return Make<ArcVerWriteCmd>({"arcVerWrite", archive, version});
    }
};

// ---- the version check of all three ----

class ArchiveCommandCheckTest : public ArchiveTest {};

TEST_F(ArchiveCommandCheckTest, ArchiveAtTheScriptVersionOrLaterHasNothingToDo) {
    struct Case {
        const char* what;
        const char* archive;    // arg[1]
        const char* installed;  // arc/data.arc; null: none
        const char* version;
        int expected;
        bool box;  // the version read failed
    };
    const Case cases[] = {
        {"tag of the version", "arc/data.arc", "WF02", "2", 0, false},
        {"later tag", "arc/data.arc", "WF10", "2", 0, false},
        {"WFL1 against 2", "arc/data.arc", "WFL1", "2", 1, false},
        {"WFL1 against 1", "arc/data.arc", "WFL1", "1", 0, false},
        {"upper-case extension", "arc/DATA.ARC", "WF02", "2", 0, false},
        {"no tag against 0", "arc/data.arc", "ABCD", "0", 0, false},
        {"no digits count as 0", "arc/data.arc", "ABCD", "v2", 0, false},
        {"no data file", "arc/data.arc", nullptr, "2", 1, false},
        {"data file shorter than its tag", "arc/data.arc", "WF", "2", 1, true},
    };
    for (const Case& c : cases) {
        platform::System().Remove(game / "arc/data.arc");
        if (c.installed) Put("arc/data.arc", c.installed);
        const std::function<ScriptCmd&()> commands[] = {
            [&]() -> ScriptCmd& { return Backup(c.archive, c.version); },
            [&]() -> ScriptCmd& { return Update("a.bin", "GONE", c.archive, c.version); },
            [&]() -> ScriptCmd& { return Stamp(c.version, c.archive); },
        };
        for (const auto& make : commands) {
            ScriptCmd& command = make();
            SCOPED_TRACE(std::string(c.what) + ", " + command.arg[0]);
            view.Clear();
            EXPECT_EQ(command.Check(), c.expected);
            EXPECT_EQ(Boxes(), c.box ? Strings{Message(kVersionRead, Full(c.archive))} : Strings{});
        }
    }
}

TEST_F(ArchiveCommandCheckTest, ArchiveNotNamedByItsDataFileIsRefused) {
    Put("arc/data.ari", "WFL1");
    for (const char* archive : {"arc/data.ari", "arc/data", "arc/data.arc.bak"}) {
        SCOPED_TRACE(archive);
        EXPECT_EQ(Raised([&] { Backup(archive).Check(); }), Message(kUnexpectedFormat, archive));
        EXPECT_EQ(Raised([&] { Stamp("2", archive).Check(); }),
                  Message(kUnexpectedFormat, archive));
        EXPECT_EQ(Raised([&] { Update("a.bin", "GONE", archive).Check(); }),
                  Message(kUpdateUnexpectedFormat, archive));
    }
}

// ---- arcbackup ----

class ArcBackupCmdTest : public ArchiveTest {};

TEST_F(ArcBackupCmdTest, WorksOnThePairByTheUpperCaseNames) {
    ArcBackupCmd& backup = Backup("arc/data.arc");
    EXPECT_EQ(backup.FilePath("ARC"), Full("arc/data.ARC"));
    EXPECT_EQ(backup.FilePath("ARI"), Full("arc/data.ARI"));
    EXPECT_EQ(backup.BackupPath("ARC"), Full("arc/data_ARC.bak"));
    EXPECT_EQ(backup.BackupPath("ARI"), Full("arc/data_ARI.bak"));
}

TEST_F(ArcBackupCmdTest, KeepsTheFilesAsBackupsAndCopiesThemBack) {
    struct Case {
        size_t arcSize;
        size_t ariSize;
        std::vector<int> progress;
    };
    const Case cases[] = {
        {65536 + 10, 10, {65536, 10, 10}},
        {65536, 10, {65536, 0, 10}},  // a full last chunk is followed by an empty read
        {4, 0, {4, 0}},               // an archive without entries
        {2 * 65536 + 1, 65536, {65536, 65536, 1, 65536, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arcSize);
        view.Clear();
        const std::string arcBytes = Pattern(c.arcSize, 1);
        const std::string ariBytes = Pattern(c.ariSize, 2);
        Put("arc/data.arc", arcBytes);
        Put("arc/data.ari", ariBytes);
        ArcBackupCmd& backup = Backup();
        EXPECT_EQ(backup.Size(), static_cast<int>(c.arcSize + c.ariSize));
        backup.Exec();
        EXPECT_EQ(backup.backedUp, 1);
        EXPECT_EQ(Progress(), c.progress);
        EXPECT_TRUE(SameFiles(Files(), (FileTree{{"arc/", ""},
                                                 {"arc/data.arc", arcBytes},
                                                 {"arc/data.ari", ariBytes},
                                                 {"arc/data_arc.bak", arcBytes},
                                                 {"arc/data_ari.bak", ariBytes}})));
        platform::System().Remove(game / "arc/data_arc.bak");
        platform::System().Remove(game / "arc/data_ari.bak");
        ForgetJournal();
    }
}

TEST_F(ArcBackupCmdTest, SizeNeedsBothFiles) {
    Put("arc/data.ari", "index");
    EXPECT_EQ(Raised([&] { Backup().Size(); }), Message(kBackupSizeOpen, Full("arc/data.ARC")));
    platform::System().Remove(game / "arc/data.ari");
    Put("arc/data.arc", "WFL1");
    EXPECT_EQ(Raised([&] { Backup().Size(); }), Message(kBackupSizeOpen, Full("arc/data.ARI")));
}

TEST_F(ArcBackupCmdTest, RestorePutsThePairBackAsItWas) {
    const ArchivePair before = BuildArchive({{"a.bin", 0, "xyz"}}, "WFL1");
    PutPair(before);
    const FileTree original = Files();
    ArcBackupCmd& backup = Backup();
    backup.Restore();  // nothing backed up yet: nothing happens
    EXPECT_TRUE(SameFiles(Files(), original));

    backup.Exec();
    Put("arc/data.arc", "WF02 changed by the updates");
    Put("arc/data.ari", "changed index");
    backup.Restore();
    EXPECT_TRUE(SameFiles(Files(), original));
    EXPECT_EQ(backup.backedUp, 1);
    backup.Restore();  // once more: the backups are gone, nothing happens
    EXPECT_TRUE(SameFiles(Files(), original));
}

TEST_F(ArcBackupCmdTest, HalfMadeBackupIsUndone) {
    const ArchivePair before = BuildArchive({{"a.bin", 0, Pattern(70000)}}, "WFL1");
    struct Case {
        const char* what;
        bool withIndex;
        bool holdIndex;        // the index is open elsewhere, shared with no one
        const char* badFile;   // writes to this file fail
        bool failClose;        // closing it fails instead
        std::string expected;  // the message
    };
    const Case cases[] = {
        {"no index file", false, false, nullptr, false,
         Message(kBackupOpen, Full("arc/data_ARI.bak"))},
        {"index held open", true, true, nullptr, false,
         Message(kBackupOriginalOpen, Full("arc/data.ARI"))},
        {"data copy cannot be written", true, false, "arc/data.ARC", false,
         Message(kBackupWrite, Full("arc/data.ARC"))},
        {"data copy cannot be closed", true, false, "arc/data.ARC", true,
         Message(kBackupWrite, Full("arc/data.ARC"))},
        {"index copy cannot be written", true, false, "arc/data.ARI", false,
         Message(kBackupWrite, Full("arc/data.ARI"))},
        {"index copy cannot be closed", true, false, "arc/data.ARI", true,
         Message(kBackupWrite, Full("arc/data.ARI"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::System().Remove(game / "arc/data.ari");
        Put("arc/data.arc", before.arc);
        if (c.withIndex) Put("arc/data.ari", before.ari);
        const FileTree original = Files();
        std::unique_ptr<platform::IOsFile> holder;
        if (c.holdIndex) {
            uint32_t error = 0;
            holder = platform::System().OpenFile(game / "arc/data.ari", platform::kGenericRead, 0,
                                                 platform::kOpenExisting, &error);
            ASSERT_NE(holder, nullptr);
        }
        FaultDisk disk(platform::System());
        if (c.badFile) {
            disk.FailOn(c.failClose ? FailingClose(c.badFile) : DiskFullAfter(c.badFile, 0));
        }
        ArcBackupCmd& backup = Backup();
        {
            platform::ScopedFileSystem failing(&disk);
            EXPECT_EQ(Raised([&] { backup.Exec(); }), c.expected);
        }
        holder.reset();
        EXPECT_TRUE(SameFiles(Files(), original));
        backup.Restore();  // nothing left to put back
        EXPECT_TRUE(SameFiles(Files(), original));
    }
}

// ---- update ----

class UpdateCmdTest : public ArchiveTest {};

TEST_F(UpdateCmdTest, WorkedExample) {
    const std::string record("\x06\0\0\0\xA3\x9E\xD1\x9D\x96\x91\0\0\x03\0\0\0", 16);
    Put("arc/data.ari", record);
    Put("arc/data.arc", "WF01" + record + "old");
    payloads.Add("ENTRY_B", kType, "HELLO");

    UpdateCmd& update = Update("a.bin", "ENTRY_B");
    EXPECT_EQ(update.Size(), 5);
    update.Exec();

    const std::string retired("\x06\0\0\0\xA0\xA0\xD1\x9D\x96\x91\0\0\x03\0\0\0", 16);
    const std::string added("\x06\0\0\0\xA3\x9E\xD1\x9D\x96\x91\0\0\x05\0\0\0", 16);
    EXPECT_EQ(Get("arc/data.ari"), retired + added);
    EXPECT_EQ(Get("arc/data.arc"), "WF01" + record + "old" + added + "HELLO");
    EXPECT_EQ(Progress(), std::vector<int>{5});
}

TEST_F(UpdateCmdTest, AppendsARecordForEachKindOfPayload) {
    const std::string stream = Pattern(1000, 3);
    const std::string ogg = Pattern(70000, 4);
    const std::string full = Pattern(65536, 5);
    struct Case {
        const char* what;
        const char* entry;  // arg[2]
        std::string payload;
        ArchiveEntry added;  // the record expected behind the old ones
        std::vector<int> progress;
    };
    const Case cases[] = {
        {"compressed prs",
         "b.prs",
         CompressedPayload(1000, 4000, stream),
         {"b.prs", 1, stream, 4000},
         {1000}},
        {"stored prs", "b.prs", Le16(0) + Le32(6) + "stored", {"b.prs", 0, "stored"}, {6}},
        {"stored prs of another type", "b.prs", Le16(5) + Le32(2) + "st", {"b.prs", 0, "st"}, {2}},
        {"stored prs without data", "b.prs", Le16(0) + Le32(0), {"b.prs", 0, ""}, {0}},
        {"ogg", "music\\b.ogg", ogg, {"music\\b.ogg", 2, ogg}, {65536, 4464}},
        {"ogg in capitals", "B.OGG", "Ogg", {"b.ogg", 2, "Ogg"}, {3}},
        {"anything else", "b.txt", "text", {"b.txt", 0, "text"}, {4}},
        {"a full chunk", "b.bin", full, {"b.bin", 0, full}, {65536, 0}},
        {"an empty payload", "b.bin", "", {"b.bin", 0, ""}, {0}},
    };
    const std::vector<ArchiveEntry> old = {{"a.bin", 0, "xyz"}, {"c.prs", 1, "abc", 9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        view.Clear();
        PutPair(BuildArchive(old, "WF01"));
        payloads.Add("PAYLOAD", kType, c.payload);
        UpdateCmd& update = Update(c.entry, "PAYLOAD");
        EXPECT_EQ(update.Size(), static_cast<int>(c.payload.size()));
        update.Exec();
        std::vector<ArchiveEntry> after = old;
        after.push_back(c.added);
        ExpectPair(BuildArchive(after, "WF01"));
        EXPECT_EQ(Progress(), c.progress);
    }
}

TEST_F(UpdateCmdTest, RetiresTheFirstLiveRecordOfTheName) {
    const std::string a = Sjis(u8"ア");      // 83 41: its second byte is a capital A
    const std::string small = Sjis(u8"ャ");  // 83 61: what folding that byte would give
    struct Case {
        const char* what;
        std::string entry;  // arg[2]
        std::vector<ArchiveEntry> before;
        std::vector<bool> retired;  // afterwards, by record
    };
    const Case cases[] = {
        {"not there", "z.bin", {{"a.bin", 0, "1"}, {"b.bin", 0, "2"}}, {false, false}},
        {"empty index", "z.bin", {}, {}},
        {"the only one", "b.bin", {{"a.bin", 0, "1"}, {"b.bin", 0, "2"}}, {false, true}},
        {"two live records",
         "a.bin",
         {{"a.bin", 0, "1"}, {"b.bin", 0, "2"}, {"a.bin", 0, "3"}},
         {true, false, false}},
        {"a retired one is passed over",
         "a.bin",
         {{"a.bin", 0, "1", 0, true}, {"a.bin", 0, "2"}},
         {true, true}},
        {"name in capitals", "SUB\\A.BIN", {{"sub\\a.bin", 0, "1"}}, {true}},
        {"folders written with slashes", "sub/a.bin", {{"sub\\a.bin", 0, "1"}}, {true}},
        {"double-byte names are not folded",
         a + ".bin",
         {{small + ".bin", 0, "1"}, {a + ".bin", 0, "2"}},
         {false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PutPair(BuildArchive(c.before, "WF01"));
        payloads.Add("PAYLOAD", kType, "new");
        Update(c.entry, "PAYLOAD").Exec();
        std::vector<ArchiveEntry> after = c.before;
        for (size_t i = 0; i < after.size(); ++i) after[i].retired = c.retired.at(i);
        after.push_back({c.entry, 0, "new"});  // stored folded
        ExpectPair(BuildArchive(after, "WF01"));
    }
}

TEST_F(UpdateCmdTest, CapitalPrsEntryIsStoredFoldedAndReadAsTypedFile) {
    // The entry's extension decides by its folded form.
    PutPair(BuildArchive({{"a.prs", 1, "old", 9}}, "WF01"));
    const std::string stream = Pattern(20, 6);
    payloads.Add("ENTRY_A", kType, CompressedPayload(20, 80, stream));
    Update("A.PRS", "ENTRY_A").Exec();
    ExpectPair(BuildArchive({{"a.prs", 1, "old", 9, true}, {"a.prs", 1, stream, 80}}, "WF01"));
    EXPECT_EQ(Progress(), std::vector<int>{20});
}

TEST_F(UpdateCmdTest, FailuresLeaveBothFilesAsTheyWere) {
    const ArchivePair good = BuildArchive({{"a.bin", 0, "xyz"}, {"b.bin", 0, "bee"}}, "WF01");
    const std::string stream = Pattern(100, 7);
    struct Case {
        const char* what;
        std::string ari;  // "<none>": no index file
        std::string arc;  // "<none>": no data file
        const char* entry;
        const char* payload;  // null: no payload
        std::string payloadBytes;
        std::string expected;
    };
    const std::string ari = "arc/data.ari";
    const std::string arcPath = "arc/data.arc";
    const Case cases[] = {
        {"no payload", good.ari, good.arc, "a.bin", nullptr, "", Message(kSourceOpen, "ENTRY")},
        {"no index file", "<none>", good.arc, "a.bin", "ENTRY", "new",
         Message(kAriOpen, Full(ari))},
        {"no data file", good.ari, "<none>", "a.bin", "ENTRY", "new",
         Message(kArcOpen, Full(arcPath))},
        {"index record longer than the index", good.ari.substr(0, 16) + Le32(1000) + "\xA3",
         good.arc, "z.bin", "ENTRY", "new", Message(kAriRead, Full(ari))},
        {"index name length beyond any file", good.ari + Le32(0xFFFFFFFFu) + "x", good.arc, "z.bin",
         "ENTRY", "new", Message(kAriRead, Full(ari))},
        {"index record cut in its size", good.ari.substr(0, good.ari.size() - 2), good.arc, "z.bin",
         "ENTRY", "new", Message(kAriRead, Full(ari))},
        {"index record cut in its kind", good.ari.substr(0, good.ari.size() - 5), good.arc, "z.bin",
         "ENTRY", "new", Message(kAriRead, Full(ari))},
        // Records appended behind stray bytes could never be read back.
        {"bytes too few for a name length after the last record",
         good.ari + std::string("\x06\0\0", 3), good.arc, "a.bin", "ENTRY", "new",
         Message(kAriRead, Full(ari))},
        {"prs shorter than a header", good.ari, good.arc, "c.prs", "ENTRY", Le16(1) + "abc",
         Message(kUpdateSourceRead, "c.prs")},
        {"compressed prs without its expanded size", good.ari, good.arc, "c.prs", "ENTRY",
         Le16(1) + Le32(0) + "ab", Message(kUpdateSourceRead, "c.prs")},
        {"compressed prs longer than its stream", good.ari, good.arc, "c.prs", "ENTRY",
         CompressedPayload(101, 400, stream), Message(kUpdateSourceRead, "c.prs")},
        {"compressed prs shorter than its stream", good.ari, good.arc, "c.prs", "ENTRY",
         CompressedPayload(99, 400, stream), Message(kUpdateSourceRead, "c.prs")},
        {"stored prs longer than its data", good.ari, good.arc, "c.prs", "ENTRY",
         Le16(0) + Le32(7) + "stored", Message(kUpdateSourceRead, "c.prs")},
        {"stored prs shorter than its data", good.ari, good.arc, "c.prs", "ENTRY",
         Le16(0) + Le32(0xFFFFFFFFu) + "stored", Message(kUpdateSourceRead, "c.prs")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::System().Remove(game / ari);
        platform::System().Remove(game / arcPath);
        if (c.ari != "<none>") Put(ari, c.ari);
        if (c.arc != "<none>") Put(arcPath, c.arc);
        if (c.payload) payloads.Add(c.payload, kType, c.payloadBytes);
        const FileTree original = Files();
        view.Clear();
        EXPECT_EQ(Raised([&] { Update(c.entry, "ENTRY").Exec(); }), c.expected);
        EXPECT_TRUE(SameFiles(Files(), original));
        EXPECT_TRUE(Progress().empty());
    }
}

TEST_F(UpdateCmdTest, MissingPayloadInSize) {
    EXPECT_EQ(Raised([&] { Update("a.bin", "GONE").Size(); }), Message(kUpdateSizeOpen, "GONE"));
}

TEST_F(UpdateCmdTest, FailedWritesAreReported) {
    const ArchivePair pair = BuildArchive({{"a.bin", 0, "xyz"}}, "WF01");
    struct Case {
        const char* what;
        const char* file;
        int writesLeft;
        bool failClose;
        std::string expected;
    };
    const Case cases[] = {
        {"retiring in the index", "arc/data.ari", 0, false,
         Message(kAriWrite, Full("arc/data.ari"))},
        {"appending to the index", "arc/data.ari", 1, false,
         Message(kAriWrite, Full("arc/data.ari"))},
        {"closing the index", "arc/data.ari", -1, true, Message(kAriWrite, Full("arc/data.ari"))},
        {"the data record's header", "arc/data.arc", 0, false,
         Message(kArcWrite, Full("arc/data.arc"))},
        {"the data", "arc/data.arc", 2, false, Message(kArcWrite, Full("arc/data.arc"))},
        {"closing the data file", "arc/data.arc", -1, true,
         Message(kArcWrite, Full("arc/data.arc"))},
    };
    payloads.Add("ENTRY", kType, Pattern(3 * 65536));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PutPair(pair);
        FaultDisk disk(platform::System());
        disk.FailOn(c.failClose ? FailingClose(c.file) : DiskFullAfter(c.file, c.writesLeft));
        UpdateCmd& update = Update("a.bin", "ENTRY");
        platform::ScopedFileSystem failing(&disk);
        EXPECT_EQ(Raised([&] { update.Exec(); }), c.expected);
    }
}

// ---- arcVerWrite ----

class ArcVerWriteCmdTest : public ArchiveTest {};

TEST_F(ArcVerWriteCmdTest, StampsTheTagAndLeavesTheRest) {
    struct Case {
        const char* tag;
        const char* version;
        int checkBefore;
        const char* stamped;  // the tag after Exec
        int checkAfter;
    };
    const Case cases[] = {
        {"WFL1", "2", 1, "WF02", 0},   {"WF01", "10", 1, "WF10", 0}, {"ABCD", "7", 1, "WF07", 0},
        {"WF01", "123", 1, "WF12", 1},  // cut to four bytes: it reads 12 and runs again
        {"WFL1", "0", 0, "WFL1", 0},    // version 0 writes nothing
        {"WF02", "2", 0, "WF02", 0},    // nothing to do; run anyway it writes the same tag
    };
    const std::string rest = BuildArchive({{"a.bin", 0, "xyz"}}, "").arc.substr(4);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tag) + " stamped with " + c.version);
        Put("arc/data.arc", c.tag + rest);
        Put("arc/data.ari", "index");
        ArcVerWriteCmd& stamp = Stamp(c.version);
        EXPECT_EQ(stamp.Check(), c.checkBefore);
        EXPECT_EQ(stamp.Size(), 0);
        stamp.Exec();
        EXPECT_TRUE(SameFiles(Files(), (FileTree{{"arc/", ""},
                                                 {"arc/data.arc", c.stamped + rest},
                                                 {"arc/data.ari", "index"}})));
        EXPECT_EQ(stamp.Check(), c.checkAfter);
        EXPECT_TRUE(Progress().empty());
    }
}

TEST_F(ArcVerWriteCmdTest, MissingDataFileHasWorkButCannotBeOpened) {
    ArcVerWriteCmd& stamp = Stamp("2");
    EXPECT_EQ(stamp.Check(), 1);
    EXPECT_EQ(Raised([&] { stamp.Exec(); }), Message(kStampOpen, Full("arc/data.arc")));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ArcVerWriteCmdTest, FailedWriteIsReported) {
    for (bool failClose : {false, true}) {
        SCOPED_TRACE(failClose ? "close" : "write");
        Put("arc/data.arc", "WFL1");
        FaultDisk disk(platform::System());
        disk.FailOn(failClose ? FailingClose("arc/data.arc") : DiskFullAfter("arc/data.arc", 0));
        platform::ScopedFileSystem failing(&disk);
        EXPECT_EQ(Raised([&] { Stamp("2").Exec(); }), Message(kStampWrite, Full("arc/data.arc")));
    }
}

// ---- whole runs ----

class ArchiveCommandRunTest : public ArchiveTest {
protected:
    void SetUp() override { CArcIndex::Reset(); }
    void TearDown() override { CArcIndex::Reset(); }

    // Installs the game: an executable of version 1.1.0.10 when the version
    // images were built, a second archive, and the archive that the updates
    // change. Returns the script that patches it; `lastUpdate` is put after
    // its update lines.
    std::string InstallGame(const std::string& lastUpdate = "") {
        std::string script;
        const std::string images = testing_support::VersionImagesFolder();
        if (!images.empty()) {
            std::string older, newer;
            EXPECT_TRUE(ReadFile(images + "version_en.exe", &older));  // 1.1.0.10
            EXPECT_TRUE(ReadFile(images + "version_ja.exe", &newer));  // 1.1.0.2
            Put("game.exe", older);
            payloads.Add("EXE", kType, newer);
            expectedExe_ = newer;
            script += "copy game.exe EXE PATCH_SCR 1.1.0.2\r\n";
        }
        const ArchivePair bgmOld = BuildArchive({{"bgm.ogg", 2, "old music"}}, "WFL1");
        // Same sizes: the index stays right for the new data file.
        const ArchivePair bgmNew = BuildArchive({{"bgm.ogg", 2, "new music"}}, 2);
        Put("arc/bgm.arc", bgmOld.arc);
        Put("arc/bgm.ari", bgmOld.ari);
        bgmIndex_ = bgmOld.ari;
        payloads.Add("BGMARC", kType, bgmNew.arc);
        expectedBgm_ = bgmNew.arc;
        script += "copy arc/bgm.arc BGMARC PATCH_SCR 2\r\n";

        PutPair(BuildArchive(
            {{"a.prs", 1, authoring::LzssEncode(oldA_), static_cast<uint32_t>(oldA_.size())},
             {"b.bin", 0, "old b"},
             {"c.ogg", 2, "ogg"}},
            "WFL1"));
        payloads.Add("ENTRY_A", kType, authoring::MakeCompressedTypedFile(newA_));
        payloads.Add("ENTRY_B", kType, "new b");
        script +=
            "arcbackup arc/data.arc 2\r\n"
            "update arc/data.arc a.prs ENTRY_A PATCH_SCR 2\r\n"
            "update arc/data.arc B.BIN ENTRY_B PATCH_SCR 2\r\n" +
            lastUpdate + "arcVerWrite arc/data.arc 2\r\n";
        return script;
    }

    int Run(const std::string& script) {
        view.Clear();
        EXPECT_TRUE(engine.StartWithScript(script));
        engine.SetGameFolder(game.path());
        engine.OnRun();
        return view.PumpUntilIdle(engine);
    }

    // The last box shown.
    std::string LastBox() {
        Strings boxes = Boxes();
        return boxes.empty() ? std::string() : boxes.back();
    }

    const std::string oldA_ = "the first version of entry a, " + Pattern(500, 9);
    const std::string newA_ =
        "entry a as the patch has it, repeated, repeated, " + Pattern(3000, 10);
    std::string expectedExe_;
    std::string expectedBgm_;
    std::string bgmIndex_;
};

TEST_F(ArchiveCommandRunTest, FinishedRunLeavesThePatchedGameAndNoBackups) {
    const std::string script = InstallGame();
    ASSERT_EQ(Run(script), PATCH_FINISHED);
    EXPECT_EQ(LastBox(), Sjis(u8"パッチ処理は正常に終了しました"));

    const ArchivePair expected = BuildArchive(
        {{"a.prs", 1, authoring::LzssEncode(oldA_), static_cast<uint32_t>(oldA_.size()), true},
         {"b.bin", 0, "old b", 0, true},
         {"c.ogg", 2, "ogg"},
         {"a.prs", 1, authoring::LzssEncode(newA_), static_cast<uint32_t>(newA_.size())},
         {"b.bin", 0, "new b"}},
        2);
    FileTree files = Files();
    FileTree want = {{"arc/", ""},
                     {"arc/bgm.arc", expectedBgm_},
                     {"arc/bgm.ari", bgmIndex_},
                     {"arc/data.arc", expected.arc},
                     {"arc/data.ari", expected.ari}};
    if (!expectedExe_.empty()) want["game.exe"] = expectedExe_;
    EXPECT_EQ(files, want);

    // The archive reader finds the new entries.
    ASSERT_EQ(CArcIndex::AriRegist(game / "arc/data.ari"), kStatusOk);
    for (const auto& entry : {std::make_pair("data/a.prs", newA_),
                              std::make_pair("data/b.bin", std::string("new b"))}) {
        CFileArc file;
        ASSERT_EQ(file.Open(entry.first), kStatusOk) << entry.first;
        std::string bytes(static_cast<size_t>(file.GetSize()) + 1, '\0');
        ASSERT_EQ(file.Read(&bytes[0]), kStatusOk);
        bytes.pop_back();
        EXPECT_EQ(bytes, entry.second);
    }

    // Everything is at its version now.
    ASSERT_EQ(Run(script), PATCH_LATEST);
    EXPECT_EQ(Boxes(), Strings{Sjis(u8"すでに最新バージョンの為、パッチ処理は実行されせんでした")});
    EXPECT_TRUE(SameFiles(Files(), files));
}

TEST_F(ArchiveCommandRunTest, ErrorInALaterLineLeavesEveryFileAsItWas) {
    // Lines that fail only when they execute, after every other line has
    // changed its files.
    struct Case {
        const char* what;
        std::string update;  // an update line before the stamp
        std::string last;    // a line at the end
        std::string message;
    };
    const Case cases[] = {
        {"copy into a missing folder", "", "copy nodir/readme.txt README PATCH_SCR 0\r\n",
         Message(u8"[%s] コピー先ファイルのオープンに失敗", Full("nodir/readme.txt"))},
        {"update with a damaged payload", "update arc/data.arc d.prs BROKEN PATCH_SCR 2\r\n", "",
         Message(kUpdateSourceRead, "d.prs")},
        {"update of an archive without index", "update arc/none.arc d.bin README PATCH_SCR 2\r\n",
         "", Message(kAriOpen, Full("arc/none.ari"))},
    };
    payloads.Add("README", kType, "read me");
    payloads.Add("BROKEN", kType, CompressedPayload(10, 40, "too short"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* file :
             {"game.exe", "arc/bgm.arc", "arc/bgm.ari", "arc/data.arc", "arc/data.ari"}) {
            platform::System().Remove(game / file);
        }
        const std::string script = InstallGame(c.update) + c.last;
        const FileTree before = Files();
        ASSERT_EQ(Run(script), PATCH_ABORTED);
        EXPECT_EQ(Boxes(), (Strings{c.message, Sjis(u8"パッチ処理は途中で中断されました")}));
        EXPECT_TRUE(SameFiles(Files(), before));
    }
}

}  // namespace

namespace {

// The abort button pressed while the last line runs: every line has changed
// its files by then, and all of it is undone.
TEST_F(ArchiveCommandRunTest, AbortAfterEveryLineLeavesEveryFileAsItWas) {
    const std::string script = InstallGame();
    const FileTree before = Files();
    CallLog log;
    ASSERT_TRUE(engine.StartWithScript(script));
    auto* last = new ProbeCmd(&engine, "last", &log);
    last->onExec = [this] { engine.SetAbort(1); };
    engine.Factory().Add(boost::shared_ptr<ScriptCmd>(last));
    engine.SetGameFolder(game.path());
    engine.OnRun();
    ASSERT_EQ(view.PumpUntilIdle(engine), PATCH_ABORTED);
    EXPECT_EQ(LastBox(), Sjis(u8"パッチ処理は途中で中断されました"));
    EXPECT_TRUE(SameFiles(Files(), before));
}

}  // namespace
