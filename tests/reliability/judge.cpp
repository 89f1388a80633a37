#include "reliability/judge.h"

#include "platform/cp932.h"

namespace reliability {

namespace {

Verdict Fail(const std::string& why, std::vector<std::string> diff = {}) {
    Verdict verdict;
    verdict.ok = false;
    verdict.why = why;
    verdict.diff = std::move(diff);
    return verdict;
}

bool IsFolder(const std::string& path) { return !path.empty() && path.back() == '/'; }

}  // namespace

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::kNotStarted:
            return "not started";
        case Outcome::kFinished:
            return "finished";
        case Outcome::kLatest:
            return "up to date";
        case Outcome::kInterrupted:
            return "interrupted";
        case Outcome::kTimeout:
            return "no end (timeout)";
        case Outcome::kNoProgram:
            return "script not loaded";
    }
    return "?";
}

std::vector<FileDifference> LeftAfterInterruption(const FileTree& after,
                                                  const Expectation& expected) {
    // New files that a copy line may leave count as there before.
    FileTree allowed;
    for (const auto& file : after) {
        if (expected.before.count(file.first) == 0 && !IsFolder(file.first) &&
            !IsBackup(file.first) && expected.copyTargets.count(file.first) != 0) {
            continue;
        }
        allowed.insert(file);
    }
    return DiffTrees(allowed, expected.before);
}

std::string FileGroup(const std::string& path) {
    std::string group = platform::LowerCased(path);
    if (IsFolder(group)) group.pop_back();
    for (char& c : group) {
        if (c == '\\') c = '/';
    }
    if (IsBackup(group)) group.resize(group.size() - 4);
    const size_t slash = group.rfind('/');
    const size_t dot = group.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        group.resize(dot);
    }
    for (const char* suffix : {"_arc", "_ari"}) {
        if (group.size() > 4 && group.compare(group.size() - 4, 4, suffix) == 0) {
            group.resize(group.size() - 4);
        }
    }
    return group;
}

Verdict JudgeFault(const RunRecord& run, const Expectation& expected) {
    switch (run.outcome) {
        case Outcome::kNotStarted:
            if (run.after != expected.before) {
                return Fail("not started, but the folder changed",
                            TreeDifferences(run.after, expected.before));
            }
            return Verdict();
        case Outcome::kInterrupted: {
            std::vector<FileDifference> leftovers = LeftAfterInterruption(run.after, expected);
            if (!leftovers.empty())
                return Fail("interrupted, not all put back", DifferenceLines(leftovers));
            if (run.errorBoxes == 0) return Fail("interrupted without an error box");
            return Verdict();
        }
        case Outcome::kFinished: {
            const FileTree patched = WithoutNewBackups(run.after, expected.clean);
            if (patched != expected.clean) {
                return Fail("finished, but the game is not patched",
                            TreeDifferences(patched, expected.clean));
            }
            return Verdict();
        }
        case Outcome::kLatest:
            return Fail("said up to date", TreeDifferences(run.after, expected.clean));
        case Outcome::kTimeout:
        case Outcome::kNoProgram:
            break;
    }
    return Fail(OutcomeName(run.outcome));
}

Verdict JudgeClaim(const RunRecord& run, const Expectation& expected) {
    if (run.outcome == Outcome::kTimeout || run.outcome == Outcome::kNoProgram) {
        return Fail(OutcomeName(run.outcome));
    }
    if (run.outcome != Outcome::kFinished && run.outcome != Outcome::kLatest) return Verdict();
    const FileTree patched = WithoutNewBackups(run.after, expected.clean);
    if (patched == expected.clean) return Verdict();
    return Fail(std::string("said ") + OutcomeName(run.outcome) + " without the patched game",
                TreeDifferences(patched, expected.clean));
}

Verdict JudgeRerun(const RunRecord& run, const Expectation& expected) {
    if (run.outcome != Outcome::kFinished && run.outcome != Outcome::kLatest) {
        return Fail(OutcomeName(run.outcome), TreeDifferences(run.after, expected.clean));
    }
    if (run.after != expected.clean) {
        return Fail(std::string(OutcomeName(run.outcome)) + ", but not the clean run's folder",
                    TreeDifferences(run.after, expected.clean));
    }
    return Verdict();
}

Verdict JudgeRestore(const RunRecord& run, const Expectation& expected,
                     const std::set<std::string>& failedGroups) {
    if (run.outcome != Outcome::kInterrupted) {
        return Fail(OutcomeName(run.outcome), TreeDifferences(run.after, expected.before));
    }
    const std::vector<FileDifference> leftovers = LeftAfterInterruption(run.after, expected);
    if (leftovers.empty()) return Verdict();
    if (run.restoreErrorBoxes == 0)
        return Fail("not all put back, and not said", DifferenceLines(leftovers));
    std::vector<FileDifference> elsewhere;
    for (const FileDifference& leftover : leftovers) {
        if (failedGroups.count(FileGroup(leftover.path)) == 0) elsewhere.push_back(leftover);
    }
    if (!elsewhere.empty()) {
        return Fail("the restore gave up on files the failure did not concern",
                    DifferenceLines(elsewhere));
    }
    return Verdict();
}

}  // namespace reliability
