#include "reliability/sweep.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/temp_dir.h"
#include "engine/patch_engine.h"
#include "engine/texts.h"
#include "platform/cp932.h"
#include "support/recording_view.h"
#include "wiring/patch_commands.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace reliability {

namespace {

using testing_support::DiskOp;
using testing_support::DiskOpRecord;
using testing_support::FaultDisk;
using testing_support::TempDir;

char currentCase[512] = "(none)";

void WriteError(const char* text) {
#if defined(_WIN32)
    _write(2, text, static_cast<unsigned>(std::strlen(text)));
#else
    ssize_t ignored = write(2, text, std::strlen(text));
    (void)ignored;
#endif
}

extern "C" void OnCrash(int signal) {
    // Only what a signal handler may call: no formatting.
    char number[] = "00";
    number[0] = static_cast<char>('0' + signal / 10 % 10);
    number[1] = static_cast<char>('0' + signal % 10);
    WriteError("\nreliability_sweep: crashed (signal ");
    WriteError(number);
    WriteError(") during ");
    WriteError(currentCase);
    WriteError("\n");
    std::_Exit(3);
}

// Every occurrence of `from` in text replaced.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

// "/" between names, never inside a double-byte character.
std::string Slashed(std::string path) {
    for (size_t i = 0; i < path.size(); ++i) {
        if (cp932::IsLeadByte(static_cast<unsigned char>(path[i]))) {
            ++i;
        } else if (path[i] == '\\') {
            path[i] = '/';
        }
    }
    return path;
}

// A path of the engine's (the game folder, a separator, the script path;
// separators of either kind) as a path below the game folder.
std::string BelowFolder(const std::string& path, const std::string& folder) {
    if (Slashed(path) == Slashed(folder)) return ".";  // the game folder itself
    return Replaced(Slashed(path), Slashed(folder) + "/", "");
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

Outcome FromEndCode(int code) {
    switch (code) {
        case PATCH_FINISHED:
            return Outcome::kFinished;
        case PATCH_LATEST:
            return Outcome::kLatest;
        case PATCH_ABORTED:
            return Outcome::kInterrupted;
        default:
            return Outcome::kTimeout;
    }
}

std::string Plural(int count, const char* one) {
    return std::to_string(count) + " " + one + (count == 1 ? "" : "es");
}

std::string Summary(const RunRecord& run) {
    std::string text = OutcomeName(run.outcome);
    if (run.errorBoxes > 0) text += " (" + Plural(run.errorBoxes, "error box") + ")";
    return text;
}

// The groups of the files an operation concerned (both sides of a rename).
std::set<std::string> GroupsOf(const DiskOpRecord& op) {
    std::set<std::string> groups;
    const std::string arrow = " -> ";
    const size_t at = op.path.find(arrow);
    groups.insert(FileGroup(op.path.substr(0, at)));
    if (at != std::string::npos) groups.insert(FileGroup(op.path.substr(at + arrow.size())));
    return groups;
}

class Stopwatch {
public:
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// A fresh game folder with the scenario's game (or another image),
// removed afterwards.
class GameFolder {
public:
    GameFolder(const Scenario& scenario, const std::string& base)
        : GameFolder(scenario.game, base) {}
    GameFolder(const FolderImage& image, const std::string& base) : dir_(base) {
        if (!WriteFolder(dir_.path(), image)) {
            std::fprintf(stderr, "reliability_sweep: cannot write a game folder below %s\n",
                         base.c_str());
            std::exit(2);
        }
    }
    const std::string& path() const { return dir_.path(); }

private:
    TempDir dir_;
};

}  // namespace

int RestoreErrorBoxes(const std::vector<std::string>& events) {
    const std::string aborted =
        std::string("box ") + text::kCaptionResult + "|" + text::kRunAborted;
    const std::string error = std::string("box ") + text::kCaptionError + "|";
    size_t end = events.size();
    while (end > 0 && events[end - 1] != aborted) --end;
    if (end == 0) return 0;
    size_t begin = end - 1;
    while (begin > 0 && !StartsWith(events[begin - 1], "pos ")) --begin;
    int boxes = 0;
    for (size_t i = begin; i + 1 < end; ++i) {
        if (StartsWith(events[i], error)) ++boxes;
    }
    return boxes;
}

void SetCurrentCase(const std::string& text) {
    std::snprintf(currentCase, sizeof currentCase, "%s", text.c_str());
}

void InstallCrashReport() {
    for (int signal : {SIGSEGV, SIGABRT, SIGFPE, SIGILL}) std::signal(signal, OnCrash);
}

std::string Describe(const DiskOpRecord& op) {
    return std::string(testing_support::DiskOpName(op.op)) + " " + Shown(op.path);
}

RunResult RunPatch(const Scenario& scenario, const std::string& folder, FaultDisk* disk,
                   int timeoutMs) {
    RunResult result;
    RunRecord& record = result.record;
    {
        platform::ScopedPayloadStore usePayloads(scenario.payloads.get());
        platform::ScopedFileSystem useDisk(disk);
        RecordingView view;
        CPatchEngine engine(view, PatchCommands());
        const bool loaded =
            scenario.scriptFromPayloads ? engine.Start() : engine.StartWithScript(scenario.script);
        if (!loaded) {
            record.outcome = Outcome::kNoProgram;
        } else {
            engine.SetGameFolder(folder);
            engine.SetPauseMs(0);
            view.Clear();  // what the start-up showed is not the run's
            engine.OnRun();
            if (view.IsRunEnabled() && view.Posted().empty()) {
                record.outcome = Outcome::kNotStarted;
            } else {
                const int code = view.PumpUntilIdle(engine, timeoutMs);
                record.outcome = FromEndCode(code);
                if (!view.IsRunEnabled()) {
                    // No end in time: the abort button, and one more wait.
                    record.outcome = Outcome::kTimeout;
                    engine.SetAbort(1);
                    view.PumpUntilIdle(engine, timeoutMs);
                    if (!view.IsRunEnabled()) {
                        WriteError("\nreliability_sweep: a run does not end, even aborted: ");
                        WriteError(currentCase);
                        WriteError("\n");
                        std::_Exit(3);
                    }
                }
            }
        }
        for (const ShownMessage& shown : view.Messages()) {
            if (shown.caption == text::kCaptionError) ++record.errorBoxes;
            // Paths below the game folder, as the operations name them.
            record.boxes.push_back(Shown(shown.caption + "|" + BelowFolder(shown.text, folder)));
        }
        record.restoreErrorBoxes = RestoreErrorBoxes(view.Events());
    }
    record.after = ReadTree(folder);
    if (disk) {
        result.log = disk->Log();
        for (DiskOpRecord& op : result.log) op.path = BelowFolder(op.path, folder);
    }
    return result;
}

RunResult Sweeper::RunFailing(const std::string& folder, const std::set<uint64_t>& failAt) const {
    FaultDisk disk(platform::System());
    disk.FailAt(failAt);
    return RunPatch(scenario_, folder, &disk, options_.timeoutMs);
}

Sweeper::Sweeper(const Scenario& scenario, const SweepOptions& options)
    : scenario_(scenario), options_(options) {
    expected_.before = TreeOf(scenario.game);
    expected_.copyTargets = scenario.copyTargets;
    if (options_.stride == 0) options_.stride = 1;
}

double Sweeper::Seconds(const std::string& sweep) const {
    for (const auto& entry : seconds_) {
        if (entry.first == sweep) return entry.second;
    }
    return 0;
}

std::vector<uint64_t> Sweeper::Numbers(uint64_t last) const { return Numbers(1, last); }

std::vector<uint64_t> Sweeper::Numbers(uint64_t first, uint64_t last) const {
    std::vector<uint64_t> numbers;
    if (options_.only != 0) {
        if (options_.only >= first && options_.only <= last) numbers.push_back(options_.only);
        return numbers;
    }
    for (uint64_t n = first; n <= last; n += options_.stride) numbers.push_back(n);
    if (!numbers.empty() && numbers.back() != last) numbers.push_back(last);
    return numbers;
}

std::string Sweeper::Describe(const std::vector<DiskOpRecord>& log, uint64_t number) const {
    if (number == 0 || number > log.size()) return "operation " + std::to_string(number);
    return reliability::Describe(log[number - 1]);
}

void Sweeper::Note(const std::string& heading, bool ok, const std::string& summary,
                   const std::vector<std::string>& lines) {
    if (ok && !options_.verbose) return;
    std::string block = std::string(ok ? "ok   " : "FAIL ") + heading + ": " + summary;
    for (const std::string& line : lines) block += "\n       " + line;
    details_.push_back(block);
}

void Sweeper::Explain(const char* label, const RunResult& run, bool failed,
                      std::vector<std::string>* lines) const {
    const std::string prefix = label[0] ? std::string(label) + " " : std::string();
    if (failed) {
        for (const std::string& box : run.record.boxes) lines->push_back(prefix + "box " + box);
    }
    if (options_.trace) {
        for (const DiskOpRecord& op : run.log) {
            lines->push_back(prefix + std::to_string(op.number) + (op.failed ? " FAILED " : " ") +
                             reliability::Describe(op));
        }
    }
}

bool Sweeper::Prepare() {
    Stopwatch watch;
    const std::string heading = scenario_.name + " clean run";
    SetCurrentCase(heading);
    std::vector<RunResult> runs;
    for (int i = 0; i < 2; ++i) {
        GameFolder game(scenario_, options_.workBase);
        FaultDisk disk(platform::System());
        runs.push_back(RunPatch(scenario_, game.path(), &disk, options_.timeoutMs));
    }
    const RunRecord& first = runs[0].record;
    if (first.outcome != Outcome::kFinished || first.errorBoxes != 0) {
        std::vector<std::string> lines = TreeDifferences(first.after, expected_.before);
        Explain("", runs[0], true, &lines);
        Note(heading, false, Summary(first) + ": a run without faults must finish without errors",
             lines);
        return false;
    }
    if (first.after == expected_.before) {
        Note(heading, false, "finished, but changed nothing", {});
        return false;
    }
    // Every copy line has done its work: the scenario is what it says.
    for (const CopyLine& copy : CopyLines(scenario_.script)) {
        platform::Payload payload;
        auto found = first.after.find(copy.target);
        if (!scenario_.payloads->FindPayload(copy.payloadName, copy.payloadType, &payload) ||
            found == first.after.end() ||
            found->second !=
                std::string(reinterpret_cast<const char*>(payload.data), payload.size)) {
            Note(heading, false, "finished, but " + Shown(copy.target) + " is not its payload", {});
            return false;
        }
    }
    // The numbers must name the same operations in every run.
    const std::vector<DiskOpRecord>& a = runs[0].log;
    const std::vector<DiskOpRecord>& b = runs[1].log;
    for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
        if (i < a.size() && i < b.size() && a[i].op == b[i].op && a[i].path == b[i].path) continue;
        Note(heading, false,
             "two clean runs differ at operation " + std::to_string(i + 1) + ": " +
                 (i < a.size() ? reliability::Describe(a[i]) : "(none)") + " / " +
                 (i < b.size() ? reliability::Describe(b[i]) : "(none)"),
             {});
        return false;
    }
    if (runs[1].record.after != first.after) {
        Note(heading, false, "two clean runs leave different folders",
             TreeDifferences(runs[1].record.after, first.after));
        return false;
    }
    clean_ = a;
    expected_.clean = first.after;
    seconds_.emplace_back("clean", watch.Seconds() / 2);
    prepared_ = true;
    return true;
}

void Sweeper::FaultSweep() {
    Stopwatch watch;
    for (uint64_t n : Numbers(clean_.size())) {
        const std::string heading =
            scenario_.name + " fault N=" + std::to_string(n) + " (" + Describe(clean_, n) + ")";
        SetCurrentCase(heading);
        GameFolder game(scenario_, options_.workBase);
        const RunResult run = RunFailing(game.path(), {n});
        const Verdict verdict = JudgeFault(run.record, expected_);
        Figure& figure = figures_["fault"];
        ++figure.tested;
        if (verdict.ok) ++figure.passed;
        std::vector<std::string> lines = verdict.diff;
        Explain("", run, !verdict.ok, &lines);
        Note(heading, verdict.ok, Summary(run.record) + (verdict.ok ? "" : ": " + verdict.why),
             lines);
    }
    seconds_.emplace_back("fault", watch.Seconds());
}

RunResult Sweeper::Rerun(const std::string& heading, const std::string& folder,
                         Verdict* patched) const {
    SetCurrentCase(heading + ", the run after it");
    FaultDisk sound(platform::System());
    RunResult rerun = RunPatch(scenario_, folder, &sound, options_.timeoutMs);
    *patched = JudgeRerun(rerun.record, expected_);
    return rerun;
}

void Sweeper::ThenRerun(Figure* figure, const std::string& heading, const std::string& folder,
                        const RunResult& run, const Verdict& verdict, const std::string& aside,
                        const std::vector<std::string>& failureLines) {
    Verdict patched;
    const RunResult rerun = Rerun(heading, folder, &patched);
    const bool ok = verdict.ok && patched.ok;
    ++figure->tested;
    if (ok) ++figure->passed;
    std::string summary = "run " + Summary(run.record) + aside;
    if (!verdict.ok) summary += ": " + verdict.why;
    summary += "; rerun " + Summary(rerun.record);
    if (!patched.ok) summary += ": " + patched.why;
    std::vector<std::string> lines = verdict.ok ? patched.diff : verdict.diff;
    if (!ok) lines.insert(lines.end(), failureLines.begin(), failureLines.end());
    Explain("run:", run, !verdict.ok, &lines);
    Explain("rerun:", rerun, !ok, &lines);
    Note(heading, ok, summary, lines);
}

void Sweeper::CrashSweep(bool powerCut) {
    Stopwatch watch;
    const std::string sweep = powerCut ? "power" : "crash";
    Figure& figure = figures_[sweep];
    for (uint64_t n : Numbers(clean_.size())) {
        const std::string heading = scenario_.name + " " + (powerCut ? "power cut" : "crash") +
                                    " after N=" + std::to_string(n) + " (" + Describe(clean_, n) +
                                    ")";
        SetCurrentCase(heading);
        GameFolder game(scenario_, options_.workBase);
        FaultDisk disk(platform::System());
        if (powerCut) disk.TrackUnflushed();
        disk.DeadFrom(n + 1);
        RunResult crashed = RunPatch(scenario_, game.path(), &disk, options_.timeoutMs);
        int lost = 0;
        if (powerCut) {
            lost = disk.ApplyPowerCut();
            crashed.record.after = ReadTree(game.path());
        }
        // What the crash left, for the recovery to deal with.
        std::vector<std::string> left;
        for (const std::string& line : TreeDifferences(crashed.record.after, expected_.before)) {
            left.push_back("left by the crash: " + line);
        }
        ThenRerun(&figure, heading, game.path(), crashed, JudgeClaim(crashed.record, expected_),
                  powerCut ? ", " + std::to_string(lost) + " files lost unflushed data" : "", left);
    }
    seconds_.emplace_back(sweep, watch.Seconds());
}

void Sweeper::SecondSweep() {
    Stopwatch watch;
    Figure& figure = figures_["second"];
    // The first runs: cut off by a crash after every secondStride-th
    // operation, or finished with one deletion of its clean-up failing.
    struct First {
        std::string what;
        uint64_t deadFrom = 0, failAt = 0;
    };
    std::vector<First> firsts;
    const uint64_t stride = options_.secondStride == 0 ? 1 : options_.secondStride;
    for (uint64_t n = 1; n <= clean_.size(); n += stride) {
        firsts.push_back(
            {"crash after N=" + std::to_string(n) + " (" + Describe(clean_, n) + ")", n + 1, 0});
    }
    bool committed = false;
    for (const DiskOpRecord& op : clean_) {
        if (op.op == DiskOp::kFlush && op.path == kJournalName) committed = true;
        if (committed && op.op == DiskOp::kRemove) {
            firsts.push_back({"clean-up fault N=" + std::to_string(op.number) + " (" +
                                  reliability::Describe(op) + ")",
                              0, op.number});
        }
    }
    for (const First& first : firsts) {
        if (options_.only != 0 && first.deadFrom != options_.only + 1 &&
            first.failAt != options_.only) {
            continue;
        }
        const std::string cause = scenario_.name + " " + first.what;
        SetCurrentCase(cause);
        // What the first run leaves, and the operations of a sound run after it.
        FolderImage left;
        std::vector<DiskOpRecord> log;
        {
            GameFolder game(scenario_, options_.workBase);
            FaultDisk disk(platform::System());
            if (first.deadFrom) disk.DeadFrom(first.deadFrom);
            if (first.failAt) disk.FailAt({first.failAt});
            RunPatch(scenario_, game.path(), &disk, options_.timeoutMs);
            left = CaptureFolder(game.path());
            FaultDisk sound(platform::System());
            log = RunPatch(scenario_, game.path(), &sound, options_.timeoutMs).log;
        }
        for (uint64_t m = 1; m <= log.size(); m += stride) {
            const std::string heading =
                cause + ", then M=" + std::to_string(m) + " (" + Describe(log, m) + ") fails";
            SetCurrentCase(heading);
            GameFolder game(left, options_.workBase);
            const RunResult run = RunFailing(game.path(), {m});
            Verdict claim = JudgeClaim(run.record, expected_);
            if (claim.ok && run.record.outcome == Outcome::kInterrupted &&
                run.record.errorBoxes == 0) {
                claim = Verdict{false, "interrupted without an error box", {}};
            }
            ThenRerun(&figure, heading, game.path(), run, claim);
        }
    }
    seconds_.emplace_back("second", watch.Seconds());
}

void Sweeper::AgainSweep() {
    Stopwatch watch;
    Figure& figure = figures_["again"];
    const FolderImage patched = [&] {
        GameFolder game(scenario_, options_.workBase);
        RunPatch(scenario_, game.path(), nullptr, options_.timeoutMs);
        return CaptureFolder(game.path());
    }();
    std::vector<DiskOpRecord> log;
    {
        GameFolder game(patched, options_.workBase);
        FaultDisk sound(platform::System());
        const RunResult run = RunPatch(scenario_, game.path(), &sound, options_.timeoutMs);
        const Verdict kept = JudgeAgain(run.record, expected_);
        if (!kept.ok) {
            ++figure.tested;
            Note(scenario_.name + " second run", false, Summary(run.record) + ": " + kept.why,
                 kept.diff);
            return;
        }
        log = run.log;
    }
    for (uint64_t m : Numbers(log.size())) {
        const std::string heading =
            scenario_.name + " again, M=" + std::to_string(m) + " (" + Describe(log, m) + ") fails";
        SetCurrentCase(heading);
        GameFolder game(patched, options_.workBase);
        const RunResult run = RunFailing(game.path(), {m});
        ThenRerun(&figure, heading, game.path(), run, JudgeAgain(run.record, expected_));
    }
    seconds_.emplace_back("again", watch.Seconds());
}

const Figure& Sweeper::figure(const std::string& sweep) const {
    static const Figure kNone;
    auto found = figures_.find(sweep);
    return found == figures_.end() ? kNone : found->second;
}

void Sweeper::RestoreSweep() {
    Stopwatch watch;
    // The last write of the clean run: the last command with work fails.
    uint64_t first = 0;
    for (const DiskOpRecord& op : clean_) {
        if (op.op == DiskOp::kWrite) first = op.number;
    }
    if (first == 0) {
        Note(scenario_.name + " restore", false, "the clean run writes nothing", {});
        ++figures_["restore"].tested;
        return;
    }
    const std::string cause = "N=" + std::to_string(first) + " (" + Describe(clean_, first) + ")";
    SetCurrentCase(scenario_.name + " restore, " + cause + " alone");
    std::vector<DiskOpRecord> log;
    {
        GameFolder game(scenario_, options_.workBase);
        const RunResult run = RunFailing(game.path(), {first});
        if (run.record.outcome != Outcome::kInterrupted) {
            std::vector<std::string> lines;
            Explain("", run, true, &lines);
            Note(scenario_.name + " restore after " + cause, false,
                 Summary(run.record) + ": the failure does not interrupt the run", lines);
            ++figures_["restore"].tested;
            return;
        }
        log = run.log;
    }
    for (uint64_t m : Numbers(first + 1, log.size())) {
        const std::string heading = scenario_.name + " restore M=" + std::to_string(m) + " (" +
                                    Describe(log, m) + ") after " + cause;
        SetCurrentCase(heading);
        GameFolder game(scenario_, options_.workBase);
        const RunResult run = RunFailing(game.path(), {first, m});
        const Verdict restored = JudgeRestore(run.record, expected_, GroupsOf(log[m - 1]));
        const std::vector<FileDifference> left = LeftAfterInterruption(run.record.after, expected_);
        Verdict patched;
        const RunResult rerun = Rerun(heading, game.path(), &patched);
        const bool ok = restored.ok && patched.ok;
        ++figures_["restore"].tested;
        if (ok) ++figures_["restore"].passed;
        std::string summary = Summary(run.record);
        if (run.record.restoreErrorBoxes > 0) {
            summary += ", " + Plural(run.record.restoreErrorBoxes, "error box") + " in the restore";
        }
        summary += left.empty() ? ", all put back" : ", " + std::to_string(left.size()) + " left";
        if (!restored.ok) summary += ": " + restored.why;
        summary += "; rerun " + Summary(rerun.record);
        if (!patched.ok) summary += ": " + patched.why;
        std::vector<std::string> lines;
        for (const std::string& line : DifferenceLines(left)) lines.push_back("left: " + line);
        if (!patched.ok) {
            for (const std::string& line : patched.diff)
                lines.push_back("after the rerun: " + line);
        }
        Explain("run:", run, !ok, &lines);
        Explain("rerun:", rerun, false, &lines);
        Note(heading, ok, summary, lines);
    }
    seconds_.emplace_back("restore", watch.Seconds());
}

}  // namespace reliability
