// What the sweeps accept of a run, apart from how the runs are made: pure
// functions of the folder before, the folder a clean run leaves, and what a
// run ended with.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "reliability/file_tree.h"

namespace reliability {

enum class Outcome {
    kNotStarted,   // the preparation refused the run: no end code
    kFinished,     // PATCH_FINISHED
    kLatest,       // PATCH_LATEST
    kInterrupted,  // PATCH_ABORTED
    kTimeout,      // no end within the time allowed
    kNoProgram,    // the script did not even load (the program would have ended)
};

const char* OutcomeName(Outcome outcome);

// What a run ended with.
struct RunRecord {
    Outcome outcome = Outcome::kNotStarted;
    int errorBoxes = 0;              // error boxes shown during the run
    int restoreErrorBoxes = 0;       // of them, the ones shown while backups were put back
    std::vector<std::string> boxes;  // every box of the run, "caption|text" in UTF-8
    FileTree after;                  // the game folder afterwards
};

// The run's journal of its backups, in the game folder, as FileTree names it.
extern const char kJournalName[];

// What a journal says, read here on its own terms: whether it is committed
// (the run was done) and the backups it lists (as FileTree names them).
// readable is false for anything that does not start as a journal does.
struct JournalListing {
    bool readable = false;
    bool committed = false;
    std::vector<std::string> backups;
};
JournalListing ReadJournal(const std::string& bytes);

// What a scenario promises.
struct Expectation {
    FileTree before;  // the fresh game folder
    FileTree clean;   // the folder after a run without faults
    // The targets of the script's copy lines, as FileTree names them: the
    // only new files an interrupted run may leave (a copy of a file that did
    // not exist has nothing to put back).
    std::set<std::string> copyTargets;
};

struct Verdict {
    bool ok = true;
    std::string why;                // empty when ok
    std::vector<std::string> diff;  // the files concerned
};

// What an interrupted run did not put back, against the folder before:
// every file that was there, unchanged; no new backup, folder or file but
// the targets of copy lines.
std::vector<FileDifference> LeftAfterInterruption(const FileTree& after,
                                                  const Expectation& expected);

// The group of files one command works on: a path below the game folder
// without ".bak", without its extension and without the "_arc" / "_ari"
// that archive backups add ("arc/data.ari" and "arc/data_ARC.bak" are both
// "arc/data"; "readme.txt" and "readme.bak" are "readme").
std::string FileGroup(const std::string& path);

// A run with one failing operation: not started and the folder as before;
// interrupted with an error box and every file put back; or finished with
// the clean run's folder, but for backups that a committed journal still
// lists (a clean-up that could not delete them) and that journal.
Verdict JudgeFault(const RunRecord& run, const Expectation& expected);
// A run cut off by a crash: it may end in any way but a claim of success
// (finished, or already up to date) that the folder does not bear out
// (backups that a committed journal lists aside, as above).
Verdict JudgeClaim(const RunRecord& run, const Expectation& expected);
// A run over the patched folder (the clean run's) that meets a fault: it
// may end in any way, but the folder stays exactly patched (a finished
// run's backups that a committed journal lists aside), and an interruption
// says why in an error box.
Verdict JudgeAgain(const RunRecord& run, const Expectation& expected);
// A later run on a sound disk: finished or up to date, with exactly the
// clean run's folder (no backup left behind).
Verdict JudgeRerun(const RunRecord& run, const Expectation& expected);
// A run interrupted by one failure whose restore met a second one in
// `failedGroups` (the groups of the files that operation concerned): all
// put back, or said in an error box of the restore with everything outside
// those groups put back all the same.
Verdict JudgeRestore(const RunRecord& run, const Expectation& expected,
                     const std::set<std::string>& failedGroups);

}  // namespace reliability
