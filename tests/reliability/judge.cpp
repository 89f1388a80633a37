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

uint32_t U32At(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

uint32_t Crc32(const char* bytes, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= static_cast<unsigned char>(bytes[i]);
        for (int bit = 0; bit < 8; ++bit) crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFu;
}

// The folder without a committed journal and without the backups it lists:
// what a finished run may leave when it could not delete them.
FileTree WithoutCommittedBackups(const FileTree& tree) {
    const auto found = tree.find(kJournalName);
    if (found == tree.end()) return tree;
    const JournalListing listing = ReadJournal(found->second);
    if (!listing.readable || !listing.committed) return tree;
    FileTree rest = tree;
    rest.erase(kJournalName);
    for (const std::string& backup : listing.backups) rest.erase(backup);
    return rest;
}

}  // namespace

const char kJournalName[] = "~patch.jnl";

JournalListing ReadJournal(const std::string& bytes) {
    JournalListing listing;
    if (bytes.size() < 8 || bytes.compare(0, 4, "PJNL") != 0 || U32At(bytes, 4) != 1) {
        return listing;
    }
    size_t at = 8;
    while (bytes.size() - at >= 9) {
        const uint32_t length = U32At(bytes, at + 1);
        if (length > bytes.size() - at - 9) break;
        const size_t end = at + 9 + length;
        if (U32At(bytes, end - 4) != Crc32(bytes.data() + at, end - 4 - at)) break;
        const char kind = bytes[at];
        const std::string body = bytes.substr(at + 5, length);
        if (kind == 'B' && body.size() >= 8) {
            const uint32_t first = U32At(body, 0);
            if (first <= body.size() - 8) {
                std::string backup = body.substr(8 + first);
                for (char& c : backup) {
                    if (c == '\\') c = '/';
                }
                listing.backups.push_back(cp932::LowerCased(backup));
            }
        } else if (kind == 'C') {
            listing.committed = true;
        } else if (kind == 'U') {
            listing.committed = false;
        }
        at = end;
    }
    listing.readable = true;
    return listing;
}

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
    std::string group = cp932::LowerCased(path);
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
            const FileTree patched = WithoutCommittedBackups(run.after);
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
    const FileTree patched = WithoutCommittedBackups(run.after);
    if (patched == expected.clean) return Verdict();
    return Fail(std::string("said ") + OutcomeName(run.outcome) + " without the patched game",
                TreeDifferences(patched, expected.clean));
}

Verdict JudgeAgain(const RunRecord& run, const Expectation& expected) {
    if (run.outcome == Outcome::kTimeout || run.outcome == Outcome::kNoProgram) {
        return Fail(OutcomeName(run.outcome));
    }
    const FileTree kept =
        run.outcome == Outcome::kFinished ? WithoutCommittedBackups(run.after) : run.after;
    if (kept != expected.clean) {
        return Fail(std::string(OutcomeName(run.outcome)) + ", and the patched folder changed",
                    TreeDifferences(kept, expected.clean));
    }
    if (run.outcome == Outcome::kInterrupted && run.errorBoxes == 0) {
        return Fail("interrupted without an error box");
    }
    return Verdict();
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
        // The journal stays whenever something stays: it lists what is left.
        if (leftover.path == kJournalName) continue;
        if (failedGroups.count(FileGroup(leftover.path)) == 0) elsewhere.push_back(leftover);
    }
    if (!elsewhere.empty()) {
        return Fail("the restore gave up on files the failure did not concern",
                    DifferenceLines(elsewhere));
    }
    return Verdict();
}

}  // namespace reliability
