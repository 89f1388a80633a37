// Faults that the file system itself raises, with no stand-in disk: a file
// that another process keeps open without sharing (the game is still
// running), a read-only file, a game folder without its "arc" folder. Every
// such run must end interrupted, with an error box that names the file, or
// be refused before anything changed; either way every file of the game
// folder is as it was, with no backup left behind. (A full disk:
// full_disk_test.cpp.)
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "authoring/archive_writer.h"
#include "authoring/lzss_encoder.h"
#include "common/temp_dir.h"
#include "engine/patch_engine.h"
#include "engine/texts.h"
#include "platform/cp932.h"
#include "platform/forwarding.h"
#include "support/command_fixture.h"

#ifdef _WIN32
#include "platform/win32/win32_text.h"
#endif

namespace {

using testing_support::FileTree;
using testing_support::Pattern;
using testing_support::SameFiles;
using testing_support::TempDir;

// The sample patch's script. The executable is copied without a version
// check: its stand-in here is no real executable.
const char kSampleScript[] =
    "copy game.exe EXE PATCH_SCR 0\r\n"
    "arcbackup arc/data.arc 2\r\n"
    "update arc/data.arc a.prs ENTRY_A PATCH_SCR 2\r\n"
    "update arc/data.arc bgm\\title.ogg ENTRY_OGG PATCH_SCR 2\r\n"
    "arcVerWrite arc/data.arc 2\r\n";

// The archive changed in place: no arcbackup line keeps a copy first.
const char kInPlaceScript[] =
    "update arc/data.arc a.prs ENTRY_A PATCH_SCR 2\r\n"
    "arcVerWrite arc/data.arc 2\r\n";

// ---- a file that someone else keeps open ----

// A file kept open without sharing, as a running game keeps its files,
// until Release.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile() { Release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // Empty while the file is held; otherwise why it is not.
    const std::string& problem() const { return problem_; }
    void Release();

private:
    std::string problem_;
#ifdef _WIN32
    TempDir signals_;  // the helper's "ready" and "stop" files
    PROCESS_INFORMATION process_{};
    bool started_ = false;
#else
    std::unique_ptr<platform::IOsFile> file_;
#endif
};

#ifdef _WIN32
// A second process: hold_file.exe, built beside this test program. It
// inherits the current folder, so the relative paths hold for it too.
HeldFile::HeldFile(const std::string& path) {
    const std::string self = platform::System().ModulePath();
    const std::string helper = self.substr(0, cp932::FindLastOf(self, "\\/") + 1) + "hold_file.exe";
    const std::string ready = signals_ / "ready";
    const std::string line =
        "\"" + helper + "\" \"" + path + "\" \"" + ready + "\" \"" + (signals_ / "stop") + "\"";
    std::wstring wide;
    if (!platform::WideFromCp932(line, &wide)) {
        problem_ = "the helper's command line has no UTF-16 form";
        return;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, &wide[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_)) {
        problem_ = "cannot start " + helper + " (error " + std::to_string(GetLastError()) + ")";
        return;
    }
    started_ = true;
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (!testing_support::Exists(ready)) {
        if (WaitForSingleObject(process_.hProcess, 10) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process_.hProcess, &code);
            problem_ = "hold_file ended with exit code " + std::to_string(code);
            return;
        }
        if (GetTickCount64() > deadline) {
            problem_ = "hold_file did not hold the file within 30 s";
            return;
        }
    }
}

void HeldFile::Release() {
    if (!started_) return;
    started_ = false;
    testing_support::WriteFile(signals_ / "stop", "");
    if (WaitForSingleObject(process_.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}
#else
// POSIX has no mandatory locks: no other process can keep this one out of a
// file. The platform keeps Windows share modes between the handles of this
// process, so the holder is a handle of this process, opened through the
// system's own platform with share mode 0 as the game's would be.
HeldFile::HeldFile(const std::string& path) {
    uint32_t error = 0;
    file_ = platform::System().OpenFile(path, platform::kGenericRead, 0, platform::kOpenExisting,
                                        &error);
    if (!file_) problem_ = "cannot open " + path + " (error " + std::to_string(error) + ")";
}

void HeldFile::Release() { file_.reset(); }
#endif

// ---- read-only files ----

// Sets or clears the read-only attribute: on Windows the attribute itself
// (Wine keeps it as the file's write permission bits), on POSIX the write
// permission bits, which the platform takes for the attribute.
bool SetReadOnly(const std::string& path, bool readOnly) {
#ifdef _WIN32
    std::wstring wide;
    if (!platform::WideFromCp932(path, &wide)) return false;
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    attributes = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                          : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    return SetFileAttributesW(wide.c_str(), attributes) != 0;
#else
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return false;
    mode_t mode = info.st_mode & 07777;
    mode = readOnly ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
    return chmod(path.c_str(), mode) == 0;
#endif
}

bool IsReadOnly(const std::string& path) {
#ifdef _WIN32
    std::wstring wide;
    if (!platform::WideFromCp932(path, &wide)) return false;
    DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
#else
    struct stat info;
    return stat(path.c_str(), &info) == 0 && (info.st_mode & 0222) == 0;
#endif
}

// Clears the attribute of every file below a folder, so that it can be
// removed.
void MakeTreeWritable(const std::string& folder) {
    platform::FindData entry;
    std::vector<platform::FindData> entries;
    if (auto search = platform::System().FindFirst(folder + "/*", &entry, nullptr)) {
        do {
            entries.push_back(entry);
        } while (search->Next(&entry));
    }
    for (const platform::FindData& found : entries) {
        if (found.name == "." || found.name == "..") continue;
        const std::string path = folder + "/" + found.name;
        if (found.directory) {
            MakeTreeWritable(path);
        } else {
            SetReadOnly(path, false);
        }
    }
}

// Whether opening a read-only file for writing fails. It does on Windows
// and on the POSIX platform; Wine running as root lets it through (the
// attribute is only the file's permission bits, which do not stop root;
// Wine itself checks it only before a delete).
bool ReadOnlyRefusesWrites() {
    TempDir dir;
    const std::string path = dir / "probe.dat";
    if (!testing_support::WriteFile(path, "probe") || !SetReadOnly(path, true)) return false;
    uint32_t error = 0;
    bool refused = platform::System().OpenFile(path, platform::kGenericWrite, 0,
                                               platform::kOpenExisting, &error) == nullptr;
    SetReadOnly(path, false);
    return refused;
}

// ---- the runs ----

// Calls an action once the run's nth command has ended: the engine pauses
// after every command, and the pause is where the action goes in.
class AfterCommand : public platform::ForwardingThreads {
public:
    using ForwardingThreads::ForwardingThreads;

    int command = 0;  // 0: never
    std::function<void()> action;
    bool fired = false;

    void SleepMs(uint32_t milliseconds) override {
        if (++ended_ == command && action) {
            fired = true;
            action();
        }
        ForwardingThreads::SleepMs(milliseconds);
    }

private:
    int ended_ = 0;  // the worker's alone
};

enum class Outcome { kNotStarted, kInterrupted, kFinished, kNothingToDo, kNoEnd };

const char* Describe(Outcome outcome) {
    switch (outcome) {
        case Outcome::kNotStarted:
            return "not started";
        case Outcome::kInterrupted:
            return "interrupted";
        case Outcome::kFinished:
            return "finished";
        case Outcome::kNothingToDo:
            return "nothing to do";
        case Outcome::kNoEnd:
            break;
    }
    return "no end within 60 s";
}

class RealFaultsTest : public testing_support::CommandTest {
protected:
    ~RealFaultsTest() override {
        held_.reset();
        MakeTreeWritable(game.path());
    }

    // The sample game: its executable, its archive pair in "arc" (unless
    // told otherwise) and a file the patch leaves alone; and the payloads
    // of the patch.
    void MakeSampleGame(bool arcFolder = true) {
        Put("game.exe", Pattern(20000, 1));
        Put("readme.txt", "Sample game 1.0\r\n");
        if (arcFolder) {
            ASSERT_TRUE(testing_support::MakeDir(game / "arc"));
            std::vector<authoring::ArchiveEntry> entries(2);
            const std::string scenario = Scenario("1.0");
            entries[0].name = "a.prs";
            entries[0].kind = 1;
            entries[0].data = authoring::LzssEncode(scenario);
            entries[0].expandedSize = static_cast<uint32_t>(scenario.size());
            entries[1].name = "bgm/title.ogg";
            entries[1].kind = 2;
            entries[1].data = Pattern(50000, 3);
            const authoring::ArchivePair pair = authoring::BuildArchive(entries, "WFL1");
            Put("arc/data.arc", pair.arc);
            Put("arc/data.ari", pair.ari);
        }
        payloads.Add("EXE", "PATCH_SCR", Pattern(30000, 2));
        payloads.Add("ENTRY_A", "PATCH_SCR", authoring::MakeCompressedTypedFile(Scenario("1.1")));
        payloads.Add("ENTRY_OGG", "PATCH_SCR", Pattern(70000, 4));
    }

    static std::string Scenario(const char* version) {
        std::string text;
        for (int i = 0; i < 40; ++i) {
            text += std::string("Sample ") + version + " line " + std::to_string(i) + "\r\n";
        }
        return text;
    }

    // Holds a file of the game folder; failures are the test's.
    void Hold(const std::string& relative) {
        held_ = std::make_unique<HeldFile>(game / relative);
        EXPECT_EQ(held_->problem(), "") << "holding " << relative;
    }
    void Release() { held_.reset(); }

    Outcome Run(const std::string& script) {
        EXPECT_TRUE(engine.StartWithScript(script));
        engine.SetGameFolder(game.path());
        engine.SetPauseMs(1);  // a pause, however short, after every command
        engine.OnRun();
        switch (view.PumpUntilIdle(engine, 60000)) {
            case PATCH_ABORTED:
                return Outcome::kInterrupted;
            case PATCH_FINISHED:
                return Outcome::kFinished;
            case PATCH_LATEST:
                return Outcome::kNothingToDo;
            default:
                break;
        }
        return view.Posted().empty() && view.IsRunEnabled() ? Outcome::kNotStarted
                                                            : Outcome::kNoEnd;
    }

    // Every message box shown, for failure output.
    std::string Shown() {
        std::string shown = "\nmessage boxes:";
        for (const ShownMessage& box : view.Messages()) {
            shown += "\n  " + platform::DisplayUtf8(box.caption) + ": " +
                     platform::DisplayUtf8(box.text);
        }
        return shown;
    }

    // Whether an error box names the file `relative` of the game folder by
    // its whole path (either separator, any letter case).
    bool AnErrorNames(const std::string& relative) {
        auto folded = [](std::string text) {
            cp932::LowerCase(text);
            for (char& c : text) {
                if (c == '\\') c = '/';
            }
            return text;
        };
        const std::string path = folded(game / relative);
        for (const ShownMessage& box : view.Messages()) {
            if (box.caption == text::kCaptionError &&
                folded(box.text).find(path) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    // What every run against a real fault must come to.
    void ExpectRefusedOrUndone(Outcome outcome, const FileTree& before, const std::string& named) {
        EXPECT_TRUE(outcome == Outcome::kNotStarted || outcome == Outcome::kInterrupted)
            << "the run ended " << Describe(outcome) << Shown();
        EXPECT_TRUE(AnErrorNames(named)) << "no error box names " << named << Shown();
        EXPECT_TRUE(SameFiles(Files(), before)) << Shown();
    }

    AfterCommand moments{platform::System()};
    platform::ScopedThreads useMoments{&moments};

private:
    std::unique_ptr<HeldFile> held_;
};

// Without a fault the same game and script are patched: the faults below
// are what stops them.
TEST_F(RealFaultsTest, WithoutAFaultTheSampleScriptFinishes) {
    MakeSampleGame();
    EXPECT_EQ(Run(kSampleScript), Outcome::kFinished) << Shown();
    EXPECT_EQ(Get("game.exe"), Pattern(30000, 2));
    EXPECT_EQ(Get("arc/data.arc").substr(0, 4), "WF02");
    FileTree after = Files();
    for (const auto& file : after) {
        EXPECT_EQ(file.first.find(".bak"), std::string::npos) << file.first;
    }
}

// ---- held files ----

struct HoldCase {
    const char* label;
    const char* held;  // below the game folder
    int afterCommand;  // 0: held before the run starts; n: once the nth command has ended
    // A backup that the restore cannot put back while the file is held: the
    // restore names it and leaves it, beside the held file's own bytes, for
    // the next run to deal with.
    const char* unrestored = nullptr;
};

void PrintTo(const HoldCase& c, std::ostream* out) { *out << c.label; }

class HeldFileTest : public RealFaultsTest, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(HeldFileTest, RunIsRefusedOrEverythingIsPutBack) {
    const HoldCase& c = GetParam();
    MakeSampleGame();
    const FileTree before = Files();
    if (c.afterCommand == 0) {
        Hold(c.held);
    } else {
        moments.command = c.afterCommand;
        moments.action = [this, &c] { Hold(c.held); };
    }
    const Outcome outcome = Run(kSampleScript);
    Release();  // the game ends: the folder can be read again
    if (c.afterCommand > 0) {
        EXPECT_TRUE(moments.fired) << "the run never ended command " << c.afterCommand;
    }
    FileTree expected = before;
    if (c.unrestored) {
        EXPECT_TRUE(AnErrorNames(c.unrestored)) << "no error box names " << c.unrestored << Shown();
        expected[c.unrestored] = before.at(c.held);
    }
    ExpectRefusedOrUndone(outcome, expected, c.held);
}

// Commands: 1 copy game.exe, 2 arcbackup, 3 and 4 update, 5 arcVerWrite.
INSTANTIATE_TEST_SUITE_P(
    RealFaults, HeldFileTest,
    ::testing::Values(HoldCase{"ExeBeforeTheRun", "game.exe", 0},
                      HoldCase{"ArchiveBeforeTheRun", "arc/data.arc", 0},
                      // The game starts while the patch runs.
                      HoldCase{"ArchiveOnceTheExeIsReplaced", "arc/data.arc", 1},
                      HoldCase{"IndexOnceTheExeIsReplaced", "arc/data.ari", 1},
                      HoldCase{"ArchiveOnceItIsBackedUp", "arc/data.arc", 2, "arc/data_arc.bak"}),
    [](const ::testing::TestParamInfo<HoldCase>& info) { return info.param.label; });

// ---- read-only files ----

// A read-only install (a game copied from a disc keeps the attribute): the
// files are moved aside and replaced, which needs no right to write to them,
// the backups are deleted after a finished run, and an interrupted run puts
// every file back with its attribute. Only a file that a line changes where
// it is, with no backup first, stops the run.
struct ReadOnlyCase {
    const char* label;
    std::vector<const char*> files;  // below the game folder
};

void PrintTo(const ReadOnlyCase& c, std::ostream* out) { *out << c.label; }

class ReadOnlyFileTest : public RealFaultsTest,
                         public ::testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(ReadOnlyFileTest, IsPatchedAndItsBackupDeleted) {
    MakeSampleGame();
    for (const char* file : GetParam().files) ASSERT_TRUE(SetReadOnly(game / file, true)) << file;
    EXPECT_EQ(Run(kSampleScript), Outcome::kFinished) << Shown();
    EXPECT_EQ(Get("game.exe"), Pattern(30000, 2));
    EXPECT_EQ(Get("arc/data.arc").substr(0, 4), "WF02");
    for (const auto& file : Files()) {
        EXPECT_EQ(file.first.find(".bak"), std::string::npos) << file.first;
    }
    EXPECT_FALSE(HasJournal());
}

TEST_P(ReadOnlyFileTest, GoesBackWithItsAttributeWhenTheRunIsInterrupted) {
    MakeSampleGame();
    for (const char* file : GetParam().files) ASSERT_TRUE(SetReadOnly(game / file, true)) << file;
    const FileTree before = Files();
    // A last line into a folder that is not there interrupts the run.
    const Outcome outcome =
        Run(std::string(kSampleScript) + "copy gone/readme.txt EXE PATCH_SCR 0\r\n");
    EXPECT_EQ(outcome, Outcome::kInterrupted) << Shown();
    EXPECT_TRUE(SameFiles(Files(), before)) << Shown();
    EXPECT_FALSE(HasJournal());
    for (const char* file : GetParam().files) {
        EXPECT_TRUE(IsReadOnly(game / file)) << file << " lost its read-only attribute";
    }
}

INSTANTIATE_TEST_SUITE_P(
    RealFaults, ReadOnlyFileTest,
    ::testing::Values(ReadOnlyCase{"Exe", {"game.exe"}}, ReadOnlyCase{"Archive", {"arc/data.arc"}},
                      ReadOnlyCase{"Index", {"arc/data.ari"}},
                      ReadOnlyCase{"EveryFile",
                                   {"game.exe", "arc/data.arc", "arc/data.ari", "readme.txt"}}),
    [](const ::testing::TestParamInfo<ReadOnlyCase>& info) { return info.param.label; });

TEST_F(RealFaultsTest, ReadOnlyArchiveChangedWithoutABackupIsRefused) {
    if (!ReadOnlyRefusesWrites()) {
        GTEST_SKIP() << "this system opens a read-only file for writing (Wine running as root "
                        "keeps the attribute as permission bits, which do not stop root)";
    }
    MakeSampleGame();
    ASSERT_TRUE(SetReadOnly(game / "arc/data.arc", true));
    const FileTree before = Files();
    ExpectRefusedOrUndone(Run(kInPlaceScript), before, "arc/data.arc");
    EXPECT_TRUE(IsReadOnly(game / "arc/data.arc"));
}

// ---- a game folder without its arc folder ----

TEST_F(RealFaultsTest, GameFolderWithoutItsArcFolder) {
    MakeSampleGame(false);
    const FileTree before = Files();
    const Outcome outcome = Run(kSampleScript);
    ExpectRefusedOrUndone(outcome, before, "arc/data.arc");
}

}  // namespace
