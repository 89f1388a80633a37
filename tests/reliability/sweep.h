// The sweeps over one scenario: every operation of a clean run made to fail
// once (fault), the disk dying after every operation and a second run
// (crash), and the restore of a run failing at each of its operations in
// turn (restore).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "reliability/judge.h"
#include "reliability/scenario.h"
#include "support/fault_disk.h"

namespace reliability {

struct SweepOptions {
    std::string workBase;  // where the game folders are made
    uint64_t stride = 1;   // every stride-th operation only (the first and the last always)
    uint64_t only = 0;     // this operation only (0: all)
    int timeoutMs = 20000;
    // The second-fault sweep: every secondStride-th crash point, and every
    // secondStride-th operation of the run after it.
    uint64_t secondStride = 8;
    bool verbose = false;  // a line for every case, not only for failures
    bool trace = false;    // every operation of every run of a case it prints
};

struct Figure {
    int tested = 0;
    int passed = 0;
};

// One run of the patch in a game folder, as a fresh program start would
// make it: the script loaded, the folder chosen, the run button pressed.
struct RunResult {
    RunRecord record;
    std::vector<testing_support::DiskOpRecord> log;  // paths below the game folder
};

// Runs the scenario's patch in `folder` on `disk` (a fault disk in front of
// the scenario's payload store), or on the payload store alone when null.
RunResult RunPatch(const Scenario& scenario, const std::string& folder,
                   testing_support::FaultDisk* disk, int timeoutMs);

// "Write arc/data.arc" for an operation of a log.
std::string Describe(const testing_support::DiskOpRecord& op);

class Sweeper {
public:
    Sweeper(const Scenario& scenario, const SweepOptions& options);

    // The clean run from a fresh folder, twice: the number of operations K,
    // their log, the resulting folder. False (with failures() saying why)
    // when the clean run does not finish or does not repeat itself.
    bool Prepare();
    // "fault": every operation failing once.
    void FaultSweep();
    // "crash": the disk dying after every operation, then a run on a sound
    // disk; "power" (powerCut): the same, and what was written but not
    // flushed when the disk died is lost.
    void CrashSweep(bool powerCut);
    // "restore": a failing run whose restore fails at each operation.
    void RestoreSweep();
    // "second": a run cut off by a crash, or finished but with a backup its
    // clean-up could not delete, then a run that meets a fault of its own at
    // each operation, then a run on a sound disk.
    void SecondSweep();
    // "again": an ordinary second run over the patched folder, failing at
    // each of its operations.
    void AgainSweep();

    uint64_t operations() const { return clean_.size(); }
    const std::vector<testing_support::DiskOpRecord>& cleanLog() const { return clean_; }
    // The figure of a sweep by its name (untested: 0/0).
    const Figure& figure(const std::string& sweep) const;
    double Seconds(const std::string& sweep) const;
    // One block of lines for every case that failed (and, verbose, for
    // every other case).
    const std::vector<std::string>& details() const { return details_; }
    bool prepared() const { return prepared_; }

private:
    // The operation numbers to test from first to last: every stride-th,
    // and the last; or the one chosen alone.
    std::vector<uint64_t> Numbers(uint64_t last) const;
    std::vector<uint64_t> Numbers(uint64_t first, uint64_t last) const;
    std::string Describe(const std::vector<testing_support::DiskOpRecord>& log,
                         uint64_t number) const;
    // Adds a case to the details: always when it failed, only when verbose
    // when it passed.
    void Note(const std::string& heading, bool ok, const std::string& summary,
              const std::vector<std::string>& lines);
    // Adds a run's boxes (when it failed) and, when tracing, its numbered
    // operations to the lines of a case.
    void Explain(const char* label, const RunResult& run, bool failed,
                 std::vector<std::string>* lines) const;
    // The patch run again in the folder a case left, on a sound disk, as a
    // fresh start of the program would; *patched says whether it ended as
    // a clean run does.
    RunResult Rerun(const std::string& heading, const std::string& folder, Verdict* patched) const;
    // The patch run in `folder` on a disk on which the operations `failAt`
    // fail, each once.
    RunResult RunFailing(const std::string& folder, const std::set<uint64_t>& failAt) const;
    // Counts and notes one case: `run` in `folder`, judged by `verdict`
    // (`aside` added to its summary), then a rerun on a sound disk, which
    // must leave the clean run's folder. failureLines go with a failure.
    void ThenRerun(Figure* figure, const std::string& heading, const std::string& folder,
                   const RunResult& run, const Verdict& verdict, const std::string& aside = "",
                   const std::vector<std::string>& failureLines = {});

    const Scenario& scenario_;
    SweepOptions options_;
    Expectation expected_;
    std::vector<testing_support::DiskOpRecord> clean_;
    std::map<std::string, Figure> figures_;
    std::vector<std::string> details_;
    std::vector<std::pair<std::string, double>> seconds_;
    bool prepared_ = false;
};

// Of the events of a RecordingView, the error boxes shown while the
// backups were put back: after the progress bar went back to 0 for the
// interruption, before the box that says the run was interrupted.
int RestoreErrorBoxes(const std::vector<std::string>& events);

// Marks the case under way, for the report of a crash of the whole program.
void SetCurrentCase(const std::string& text);
// Reports a crash (a signal) with the case under way and ends the program.
void InstallCrashReport();

}  // namespace reliability
