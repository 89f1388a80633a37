// A patch run: work accounting, the worker, abort, the three outcomes,
// restore after an interruption and the backup clean-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "engine/patch_engine.h"
#include "engine/texts.h"
#include "support/probe_cmd.h"
#include "support/recording_view.h"
#include "wiring/patch_commands.h"

namespace {

using testing_support::Exists;
using testing_support::MakeDir;
using testing_support::Sjis;
using testing_support::TempDir;
using testing_support::WriteFile;
using Strings = std::vector<std::string>;

class PatchRunTest : public ::testing::Test {
protected:
    PatchRunTest() {
        engine.SetPauseMs(0);
        engine.SetProgressIntervalMs(0);  // every report as the command makes it
    }

    // Loads a script and chooses the temporary game folder.
    void Start(const std::string& script = "") {
        ASSERT_TRUE(engine.StartWithScript(script));
        engine.SetGameFolder(game.path());
    }

    ProbeCmd* Probe(const std::string& name) {
        auto* probe = new ProbeCmd(&engine, name, &log);
        engine.Factory().Add(boost::shared_ptr<ScriptCmd>(probe));
        return probe;
    }

    int Run() {
        engine.OnRun();
        return view.PumpUntilIdle(engine);
    }

    // The message boxes shown, as "caption|text".
    Strings Boxes() {
        Strings boxes;
        for (const auto& m : view.Messages()) boxes.push_back(m.caption + "|" + m.text);
        return boxes;
    }

    static std::string Result(const char* text) {
        return std::string(text::kCaptionResult) + "|" + text;
    }
    static std::string Error(const std::string& text) {
        return std::string(text::kCaptionError) + "|" + text;
    }

    Strings Calls(const std::string& suffix) {
        Strings calls;
        for (const auto& entry : log.Entries()) {
            if (entry.size() > suffix.size() &&
                entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) == 0) {
                calls.push_back(entry.substr(0, entry.size() - suffix.size()));
            }
        }
        return calls;
    }

    TempDir game;
    RecordingView view;
    CPatchEngine engine{view, PatchCommands()};
    CallLog log;
};

TEST_F(PatchRunTest, EmptyScriptHasNothingToDoAndDeletesNoBackup) {
    Start();
    ASSERT_TRUE(WriteFile(game / "old.bak", "x"));
    EXPECT_EQ(Run(), PATCH_LATEST);
    EXPECT_EQ(Boxes(), Strings{Result(text::kRunLatest)});
    EXPECT_TRUE(view.Messages()[0].owned);
    EXPECT_EQ(view.Messages()[0].style, kMbOk | kMbIconInformation);
    EXPECT_TRUE(Exists(game / "old.bak"));
    EXPECT_TRUE(view.IsRunEnabled());
}

TEST_F(PatchRunTest, TitleAndRegistDoNotRunAgainInARun) {
    Start("title T\r\nregist software\\PatchkitTest\\NoSuchGame\\X\r\n");
    engine.SetGameFolder(game.path());
    view.Clear();
    EXPECT_EQ(Run(), PATCH_LATEST);
    for (const auto& event : view.Events()) {
        EXPECT_NE(event.rfind("caption", 0), 0u) << event;
        EXPECT_NE(event.rfind("folder", 0), 0u) << event;
    }
}

TEST_F(PatchRunTest, CommandsThatCheckNothingToDoGiveLatestAndKeepBackups) {
    Start();
    ASSERT_TRUE(WriteFile(game / "old.bak", "x"));
    Probe("a")->checkResult = 0;
    Probe("b")->checkResult = 0;
    EXPECT_EQ(Run(), PATCH_LATEST);
    EXPECT_TRUE(Calls(".Exec").empty());
    EXPECT_TRUE(Calls(".Size").empty());
    EXPECT_TRUE(Exists(game / "old.bak"));
}

TEST_F(PatchRunTest, ALineStartingWithABlankCountsAsACommandThatRan) {
    Start(" anything\r\n");
    ASSERT_TRUE(WriteFile(game / "old.bak", "x"));
    EXPECT_EQ(Run(), PATCH_FINISHED);
    EXPECT_EQ(Boxes(), Strings{Result(text::kRunFinished)});
    EXPECT_FALSE(Exists(game / "old.bak"));
}

TEST_F(PatchRunTest, DeletebakLineRunsWithoutPatternsAndTheRunFinishes) {
    Start("deletebak *.txt\r\n");
    ASSERT_TRUE(WriteFile(game / "keep.txt", "x"));
    EXPECT_EQ(Run(), PATCH_FINISHED);
    EXPECT_TRUE(Exists(game / "keep.txt"));  // its arguments are not patterns
}

TEST_F(PatchRunTest, FinishedRunCleansBackupsOfTheGameFolderAndItsArcFolderOnly) {
    Start();
    Probe("a");
    const std::string so = Sjis(u8"ソ");  // second byte 0x5C
    ASSERT_TRUE(MakeDir(game / "arc"));
    ASSERT_TRUE(MakeDir(game / "sub"));
    ASSERT_TRUE(MakeDir(game / "folder.bak"));
    ASSERT_TRUE(MakeDir(game / (so + "dir")));
    for (const char* file :
         {"a.bak", "B.BAK", "keep.txt", "keep.bak.txt", "arc/c.bak", "arc/data.arc", "sub/d.bak"}) {
        ASSERT_TRUE(WriteFile(game / file, "x")) << file;
    }
    ASSERT_TRUE(WriteFile(game / (so + ".bak"), "x"));
    ASSERT_TRUE(WriteFile(game / (so + "dir/e.bak"), "x"));

    EXPECT_EQ(Run(), PATCH_FINISHED);

    for (const std::string gone : {"a.bak", "B.BAK", "arc/c.bak"}) {
        EXPECT_FALSE(Exists(game / gone)) << gone;
    }
    EXPECT_FALSE(Exists(game / (so + ".bak")));
    for (const std::string kept :
         {"keep.txt", "keep.bak.txt", "arc/data.arc", "sub/d.bak", "folder.bak"}) {
        EXPECT_TRUE(Exists(game / kept)) << kept;
    }
    EXPECT_TRUE(Exists(game / (so + "dir/e.bak")));
}

TEST_F(PatchRunTest, FinishedRunWithoutArcFolderStillFinishes) {
    Start();
    Probe("a");
    EXPECT_EQ(Run(), PATCH_FINISHED);
    EXPECT_EQ(view.Events().back(), "run on");
}

TEST_F(PatchRunTest, WorkIsCountedBeforeTheRunAndProgressMovesWithReports) {
    Start();
    ProbeCmd* a = Probe("a");
    a->size = 3 * 65536;
    a->progress = {65535, 65535, 65536 + 2};
    ProbeCmd* skipped = Probe("skipped");
    skipped->checkResult = 0;
    skipped->size = 1 << 30;

    EXPECT_EQ(Run(), PATCH_FINISHED);
    Strings progress;
    for (const auto& event : view.Events()) {
        if (event.rfind("range", 0) == 0 || event.rfind("pos", 0) == 0 ||
            event.rfind("box", 0) == 0) {
            progress.push_back(event);
        }
    }
    EXPECT_EQ(progress, (Strings{"pos 0", "range 3", "pos 1", "pos 2", "pos 3",
                                 "box " + Result(text::kRunFinished), "pos 0"}));
    // Check before Size in the preparation, Check again on the worker
    // before Exec.
    EXPECT_EQ(log.Entries(), (Strings{"a.Check", "a.Size", "skipped.Check", "a.Check", "a.Exec",
                                      "skipped.Check"}));
}

TEST_F(PatchRunTest, SmallTotalsGiveAnEmptyRange) {
    Start();
    Probe("a")->size = 65535;
    EXPECT_EQ(Run(), PATCH_FINISHED);
    Strings events = view.Events();
    EXPECT_NE(std::find(events.begin(), events.end(), "range 0"), events.end());
}

TEST_F(PatchRunTest, EmptyGameFolderRefusesTheRun) {
    ASSERT_TRUE(engine.StartWithScript(""));
    Probe("a");
    engine.OnRun();
    EXPECT_EQ(Boxes(), Strings{Error(text::kNoInstallFolder)});
    EXPECT_FALSE(view.Messages()[0].owned);
    EXPECT_EQ(view.Messages()[0].style, kMbOk | kMbIconError);
    EXPECT_TRUE(log.Entries().empty());
    EXPECT_TRUE(view.Posted().empty());
    EXPECT_EQ(view.Events().back(), "run on");
}

struct PrepareFault {
    const char* what;
    bool inCheck;
    ProbeCmd::Fault fault;
    std::string shown;
};

void PrintTo(const PrepareFault& c, std::ostream* os) { *os << c.what; }

class PrepareFaultTest : public PatchRunTest, public ::testing::WithParamInterface<PrepareFault> {};

TEST_P(PrepareFaultTest, ShowsTheErrorAndDoesNotStart) {
    const PrepareFault& c = GetParam();
    Start();
    ProbeCmd* a = Probe("a");
    (c.inCheck ? a->checkFault : a->sizeFault) = c.fault;
    engine.OnRun();
    EXPECT_EQ(Boxes(), Strings{Error(c.shown)}) << c.what;
    EXPECT_TRUE(Calls(".Exec").empty());
    EXPECT_TRUE(view.Posted().empty());
    EXPECT_TRUE(view.IsRunEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrepareFaultTest,
    ::testing::Values(
        PrepareFault{"message in Check", true, ProbeCmd::Fault::kMessage, "[a] message error"},
        PrepareFault{"message in Size", false, ProbeCmd::Fault::kMessage, "[a] message error"},
        PrepareFault{"file error in Check", true, ProbeCmd::Fault::kFileError,
                     "CFileNormal::Read [a] file error\n"},
        PrepareFault{"text error in Size", false, ProbeCmd::Fault::kText, "text error"}));

struct WorkerFault {
    const char* what;
    ProbeCmd::Fault fault;
    std::string shown;  // UTF-8 of the error box, or a CP932 text
};

void PrintTo(const WorkerFault& c, std::ostream* os) { *os << c.what; }

class WorkerFaultTest : public PatchRunTest, public ::testing::WithParamInterface<WorkerFault> {};

TEST_P(WorkerFaultTest, InterruptsTheRunAndRestoresEveryCommand) {
    const WorkerFault& c = GetParam();
    Start("title T\r\n");
    ASSERT_TRUE(WriteFile(game / "keep.bak", "x"));
    Probe("a");
    Probe("b")->execFault = c.fault;
    Probe("c");
    EXPECT_EQ(Run(), PATCH_ABORTED) << c.what;
    EXPECT_EQ(Boxes(), (Strings{Error(c.shown), Result(text::kRunAborted)}));
    EXPECT_FALSE(view.Messages()[0].owned);  // the dialog stays usable
    EXPECT_TRUE(view.Messages()[1].owned);
    EXPECT_EQ(Calls(".Exec"), (Strings{"a", "b"}));
    // Every command is restored, also the title that ran at start-up and c.
    EXPECT_EQ(Calls(".Restore"), (Strings{"a", "b", "c"}));
    EXPECT_TRUE(Exists(game / "keep.bak"));  // no clean-up after an interruption
    Strings events = view.Events();
    EXPECT_EQ(events[events.size() - 3], "pos 0");
    EXPECT_EQ(events.back(), "run on");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorkerFaultTest,
    ::testing::Values(WorkerFault{"message", ProbeCmd::Fault::kMessage, "[b] message error"},
                      WorkerFault{"text", ProbeCmd::Fault::kText, "text error"},
                      WorkerFault{"file error", ProbeCmd::Fault::kFileError,
                                  "CFileNormal::Read [b] file error\n"},
                      WorkerFault{"out of memory", ProbeCmd::Fault::kBadAlloc,
                                  text::kErrorOccurred}));

TEST_F(PatchRunTest, ErrorInTheWorkersCheckInterruptsTheRun) {
    Start();
    ProbeCmd* a = Probe("a");
    ProbeCmd* b = Probe("b");
    // b passes the preparation; by the time the worker asks again it fails.
    a->onExec = [b] { b->checkFault = ProbeCmd::Fault::kMessage; };
    EXPECT_EQ(Run(), PATCH_ABORTED);
    EXPECT_EQ(Calls(".Exec"), Strings{"a"});
    EXPECT_EQ(Boxes(), (Strings{Error("[b] message error"), Result(text::kRunAborted)}));
}

TEST_F(PatchRunTest, AbortTakesEffectAfterTheRunningCommand) {
    Start();
    Probe("a")->onExec = [this] { engine.SetAbort(1); };
    Probe("b");
    EXPECT_EQ(Run(), PATCH_ABORTED);
    EXPECT_EQ(Calls(".Exec"), Strings{"a"});
    EXPECT_EQ(Calls(".Restore"), (Strings{"a", "b"}));
    EXPECT_EQ(Boxes(), Strings{Result(text::kRunAborted)});
}

TEST_F(PatchRunTest, AbortDuringTheLastCommandStillInterrupts) {
    Start();
    ASSERT_TRUE(WriteFile(game / "keep.bak", "x"));
    Probe("a")->onExec = [this] { engine.SetAbort(1); };
    EXPECT_EQ(Run(), PATCH_ABORTED);
    EXPECT_TRUE(Exists(game / "keep.bak"));
}

TEST_F(PatchRunTest, AbortPressedWhileIdleIsClearedByTheNextRun) {
    Start();
    Probe("a");
    engine.SetAbort(1);
    EXPECT_EQ(Run(), PATCH_FINISHED);
    EXPECT_EQ(Calls(".Exec"), Strings{"a"});
}

TEST_F(PatchRunTest, RestoreReportsAFileErrorAndGoesOn) {
    Start();
    Probe("a");
    Probe("b")->restoreFault = ProbeCmd::Fault::kFileError;
    ProbeCmd* c = Probe("c");
    c->execFault = ProbeCmd::Fault::kMessage;
    EXPECT_EQ(Run(), PATCH_ABORTED);
    EXPECT_EQ(Calls(".Restore"), (Strings{"a", "b", "c"}));
    EXPECT_EQ(Boxes(),
              (Strings{Error("[c] message error"), Error("CFileNormal::Read [b] file error\n"),
                       Result(text::kRunAborted)}));
}

TEST_F(PatchRunTest, ADamagedJournalKeepsTheRunFromStartingAndIsKept) {
    Start();
    Probe("a");
    const std::string journal = game / CBackupJournal::kFileName;
    ASSERT_TRUE(WriteFile(journal, "not a journal at all"));
    EXPECT_EQ(Run(), -1);  // not started
    EXPECT_TRUE(Calls(".Check").empty());
    EXPECT_TRUE(Calls(".Exec").empty());
    const std::string path = engine.Journal().Path();
    char expected[512];
    std::snprintf(expected, sizeof expected, text::kJournalDamaged, path.c_str());
    EXPECT_EQ(Boxes(), (Strings{Error(expected)}));
    EXPECT_TRUE(Exists(journal));
}

TEST_F(PatchRunTest, ASecondRunFindsEverythingDone) {
    Start();
    ProbeCmd* a = Probe("a");
    a->doneAfterExec = true;
    EXPECT_EQ(Run(), PATCH_FINISHED);
    EXPECT_EQ(Run(), PATCH_LATEST);
    EXPECT_EQ(Calls(".Exec"), Strings{"a"});
}

TEST_F(PatchRunTest, PostedReportsKeepTheirOrderAndTheEndComesLast) {
    Start();
    Probe("a")->progress = {1, 2, 3};
    Probe("b")->progress = {4};
    EXPECT_EQ(Run(), PATCH_FINISHED);
    EXPECT_EQ(view.Posted(), (std::vector<std::pair<int, int>>{{PATCH_PROGRESS, 1},
                                                               {PATCH_PROGRESS, 2},
                                                               {PATCH_PROGRESS, 3},
                                                               {PATCH_PROGRESS, 4},
                                                               {PATCH_FINISHED, 0}}));
}

TEST_F(PatchRunTest, UnknownReportCodesAreIgnored) {
    Start();
    view.Clear();
    for (int code : {3, 98, 100, -1}) EXPECT_EQ(engine.OnPatchMessage(code, 5), 0);
    EXPECT_TRUE(view.Events().empty());
}

TEST_F(PatchRunTest, AFolderChosenDuringARunAppliesFromTheNextRun) {
    Start();
    TempDir other;
    ProbeCmd* a = Probe("a");
    a->onExec = [&] { engine.SetGameFolder(other.path()); };
    a->execFault = ProbeCmd::Fault::kMessage;
    ProbeCmd* b = Probe("b");
    EXPECT_EQ(Run(), PATCH_ABORTED);
    EXPECT_EQ(a->gameDirSeen, game.path() + "\\");
    EXPECT_EQ(engine.GetGameFolder(), other.path());
    EXPECT_EQ(engine.GetRunFolder(), other.path());
    a->onExec = nullptr;
    a->execFault = ProbeCmd::Fault::kNone;
    EXPECT_EQ(Run(), PATCH_FINISHED);
    EXPECT_EQ(b->gameDirSeen, other.path() + "\\");
}

}  // namespace
