// What the sweeps accept: outcomes against the folder before and the clean
// run's folder, the file groups of a restore, the copy targets of a script
// and the restore's error boxes.
#include "reliability/judge.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "engine/texts.h"
#include "reliability/scenario.h"
#include "reliability/sweep.h"
#include "support/journal_bytes.h"

namespace {

using reliability::Expectation;
using reliability::FileTree;
using reliability::Outcome;
using reliability::RunRecord;

// A small game: an archive pair, a readme, a save with a backup name that
// is not the patch's. The clean run changes the pair and the readme and
// copies a new movie.
Expectation Game() {
    Expectation expected;
    expected.before = {{"arc/", ""},
                       {"arc/data.arc", "WFL1 old"},
                       {"arc/data.ari", "old index"},
                       {"readme.txt", "1.0"},
                       {"saves/", ""},
                       {"saves/slot1.bak", "save"}};
    expected.clean = expected.before;
    expected.clean["arc/data.arc"] = "WF02 new";
    expected.clean["arc/data.ari"] = "new index";
    expected.clean["readme.txt"] = "1.1";
    expected.clean["arc/movie.arc"] = "WF02 movie";
    expected.copyTargets = {"readme.txt", "arc/movie.arc"};
    return expected;
}

RunRecord Ended(Outcome outcome, FileTree after, int errorBoxes = 0, int restoreBoxes = 0) {
    RunRecord run;
    run.outcome = outcome;
    run.after = std::move(after);
    run.errorBoxes = errorBoxes;
    run.restoreErrorBoxes = restoreBoxes;
    return run;
}

FileTree With(FileTree tree, const std::string& path, const char* bytes) {
    if (bytes) {
        tree[path] = bytes;
    } else {
        tree.erase(path);
    }
    return tree;
}

std::string Journal(const std::vector<testing_support::JournalBackup>& backups, bool committed) {
    return testing_support::JournalBytes(backups, committed);
}

FileTree WithJournal(FileTree tree, const std::string& journal) {
    tree[reliability::kJournalName] = journal;
    return tree;
}

struct Case {
    const char* name;
    RunRecord run;
    bool ok;
};

void Check(const std::vector<Case>& cases,
           const std::function<reliability::Verdict(const RunRecord&)>& judge) {
    for (const Case& test : cases) {
        const reliability::Verdict verdict = judge(test.run);
        EXPECT_EQ(verdict.ok, test.ok) << test.name << ": " << verdict.why;
        EXPECT_EQ(verdict.why.empty(), test.ok) << test.name;
    }
}

TEST(JudgeTest, FaultRunsAreAcceptedOnlyWhenTheGameIsWhole) {
    const Expectation g = Game();
    const FileTree& before = g.before;
    const FileTree& clean = g.clean;
    Check(
        {
            {"not started, as before", Ended(Outcome::kNotStarted, before), true},
            {"not started, but changed",
             Ended(Outcome::kNotStarted, With(before, "arc/data_ARC.bak", "x")), false},
            {"interrupted, put back, said", Ended(Outcome::kInterrupted, before, 1), true},
            {"interrupted without a word", Ended(Outcome::kInterrupted, before, 0), false},
            {"interrupted, a new copy cut off",
             Ended(Outcome::kInterrupted, With(before, "arc/movie.arc", "\0\0"), 1), true},
            {"interrupted, a backup left",
             Ended(Outcome::kInterrupted, With(before, "arc/data_arc.bak", "WFL1 old"), 1), false},
            {"interrupted, a backup of a copy target left",
             Ended(Outcome::kInterrupted, With(before, "readme.bak", "1.0"), 1), false},
            {"interrupted, a new file that no copy makes",
             Ended(Outcome::kInterrupted, With(before, "arc/other.arc", "x"), 1), false},
            {"interrupted, a file changed",
             Ended(Outcome::kInterrupted, With(before, "arc/data.ari", "new index"), 1), false},
            {"interrupted, a copy target that existed changed",
             Ended(Outcome::kInterrupted, With(before, "readme.txt", "1.1"), 1), false},
            {"interrupted, a file gone",
             Ended(Outcome::kInterrupted, With(before, "arc/data.arc", nullptr), 1), false},
            {"interrupted, the save's backup gone",
             Ended(Outcome::kInterrupted, With(before, "saves/slot1.bak", nullptr), 1), false},
            {"finished, patched", Ended(Outcome::kFinished, clean), true},
            {"finished, a backup the clean-up could not delete, listed",
             Ended(Outcome::kFinished,
                   WithJournal(With(clean, "arc/data_ari.bak", "old index"),
                               Journal({{"arc\\data.ari", "arc\\data_ari.bak"}}, true))),
             true},
            {"finished, a backup that no journal lists",
             Ended(Outcome::kFinished, With(clean, "arc/data_ari.bak", "old index")), false},
            {"finished, a backup that an uncommitted journal lists",
             Ended(Outcome::kFinished,
                   WithJournal(With(clean, "arc/data_ari.bak", "old index"),
                               Journal({{"arc\\data.ari", "arc\\data_ari.bak"}}, false))),
             false},
            {"finished, a committed journal with nothing left",
             Ended(Outcome::kFinished, WithJournal(clean, Journal({{"a.txt", "a.bak"}}, true))),
             true},
            {"interrupted, the journal left",
             Ended(Outcome::kInterrupted, WithJournal(before, Journal({}, false)), 1), false},
            {"finished, a file not patched",
             Ended(Outcome::kFinished, With(clean, "readme.txt", "1.0")), false},
            {"finished, a new file that is no backup",
             Ended(Outcome::kFinished, With(clean, "arc/data.tmp", "x")), false},
            {"finished, the save's backup gone",
             Ended(Outcome::kFinished, With(clean, "saves/slot1.bak", nullptr)), false},
            {"up to date", Ended(Outcome::kLatest, before), false},
            {"up to date and patched", Ended(Outcome::kLatest, clean), false},
            {"no end", Ended(Outcome::kTimeout, before), false},
        },
        [&](const RunRecord& run) { return reliability::JudgeFault(run, g); });
}

TEST(JudgeTest, ACrashedRunMayEndAnyWayButAFalseClaim) {
    const Expectation g = Game();
    Check(
        {
            {"interrupted, half done",
             Ended(Outcome::kInterrupted, With(g.before, "arc/data_arc.bak", "x")), true},
            {"not started", Ended(Outcome::kNotStarted, g.before), true},
            {"finished before the clean-up",
             Ended(Outcome::kFinished,
                   WithJournal(With(g.clean, "a.bak", ""), Journal({{"a.txt", "a.bak"}}, true))),
             true},
            {"finished, a backup that no journal lists",
             Ended(Outcome::kFinished, With(g.clean, "a.bak", "")), false},
            {"finished, not patched", Ended(Outcome::kFinished, g.before), false},
            {"up to date, not patched", Ended(Outcome::kLatest, g.before), false},
            {"no end", Ended(Outcome::kTimeout, g.clean), false},
        },
        [&](const RunRecord& run) { return reliability::JudgeClaim(run, g); });
}

TEST(JudgeTest, TheRunAfterACrashMustLeaveExactlyTheCleanFolder) {
    const Expectation g = Game();
    Check(
        {
            {"finished", Ended(Outcome::kFinished, g.clean), true},
            {"up to date", Ended(Outcome::kLatest, g.clean), true},
            {"a backup left",
             Ended(Outcome::kFinished, With(g.clean, "arc/data_ARC.bak", "WFL1 old")), false},
            {"a copy cut off", Ended(Outcome::kLatest, With(g.clean, "arc/movie.arc", "\0")),
             false},
            {"interrupted and put back", Ended(Outcome::kInterrupted, g.before, 1), false},
            {"not started", Ended(Outcome::kNotStarted, g.clean), false},
        },
        [&](const RunRecord& run) { return reliability::JudgeRerun(run, g); });
}

TEST(JudgeTest, ARestoreThatFailsMustSaySoAndPutBackTheRest) {
    const Expectation g = Game();
    // The failure concerned the archive pair.
    const FileTree pairLeft =
        With(With(g.before, "arc/data.ari", "new index"), "arc/data_ARI.bak", "old index");
    Check(
        {
            {"all put back anyway", Ended(Outcome::kInterrupted, g.before, 1, 0), true},
            {"the pair left and said", Ended(Outcome::kInterrupted, pairLeft, 2, 1), true},
            {"the pair left, not said", Ended(Outcome::kInterrupted, pairLeft, 1, 0), false},
            {"the readme left too",
             Ended(Outcome::kInterrupted, With(pairLeft, "readme.txt", "1.1"), 2, 1), false},
            {"finished instead", Ended(Outcome::kFinished, g.clean), false},
        },
        [&](const RunRecord& run) { return reliability::JudgeRestore(run, g, {"arc/data"}); });
}

TEST(JudgeTest, FileGroupsTieBackupsToTheirFiles) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"arc/data.arc", "arc/data"},       {"arc/data.ari", "arc/data"},
        {"arc/data_ARC.bak", "arc/data"},   {"arc\\Data_ari.BAK", "arc/data"},
        {"arc/voice_arc.bak", "arc/voice"}, {"readme.txt", "readme"},
        {"readme.bak", "readme"},           {"game.exe", "game"},
        {"readme.bak.txt", "readme.bak"},   {"saves/", "saves"},
        {"ver.1/file", "ver.1/file"},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(reliability::FileGroup(test.first), test.second) << test.first;
    }
}

TEST(JudgeTest, CopyTargetsAreTheCopyLinesAsTheProgramReadsThem) {
    const CString script =
        "// copy commented.txt X T 0\r\n"
        "title T\r\n"
        "copy Game.EXE EXE PATCH_SCR 1.1.0.2\r\n"
        "copy arc\\Voice.ari VOICEARI PATCH_SCR 0\t\t// an index\r\n"
        "copy\tfused.txt X T 0\r\n"  // a tab fuses: the keyword is "copyfused.txt"
        "Copy upper.txt X T 0\r\n"   // keywords are case-sensitive
        "  copy  spaced.txt  X T 0\r\n"
        "update arc/data.arc a.prs A T 2\r\n"
        "copy last.txt X T 0";
    EXPECT_EQ(reliability::CopyTargets(script),
              (std::set<std::string>{"game.exe", "arc/voice.ari", "spaced.txt", "last.txt"}));
}

TEST(JudgeTest, RestoreBoxesAreTheErrorsBetweenTheInterruptionAndItsResult) {
    const std::string error = std::string("box ") + text::kCaptionError + "|";
    const std::string aborted =
        std::string("box ") + text::kCaptionResult + "|" + text::kRunAborted;
    EXPECT_EQ(
        reliability::RestoreErrorBoxes(
            {"run off", "pos 0", "range 3", "pos 1", error + "write failed", "pos 2", "pos 0",
             error + "[a] put back failed", error + "[b] put back failed", aborted, "run on"}),
        2);
    EXPECT_EQ(reliability::RestoreErrorBoxes(
                  {"run off", "pos 0", error + "write failed", "pos 0", aborted, "run on"}),
              0);
    EXPECT_EQ(reliability::RestoreErrorBoxes({"run off", error + "x", "run on"}), 0);
}

}  // namespace
