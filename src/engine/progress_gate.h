// The commands' progress reports on their way to the window. A command
// reports every 64 KiB block it moves, which for a large file is thousands
// of reports a second; the window handles each posted report before it
// looks at the player's input, so reports passed on one by one would hold
// a click on the abort button behind seconds of bar updates. The gate adds
// the reports up and passes on at most one per interval, and whatever is
// left at the end of each command's work. The sum of the bytes stays the
// same; only how many reports carry it changes.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

class CProgressGate {
public:
    // `post` hands gathered bytes on to the window (PATCH_PROGRESS).
    explicit CProgressGate(std::function<void(int bytes)> post) : post_(std::move(post)) {}

    // The least time between two reports passed on; 0 passes every report.
    void SetIntervalMs(uint32_t milliseconds) { intervalMs_ = milliseconds; }
    // A report of bytes just processed. The first report after a pass-on
    // interval is passed on at once, with everything gathered before it.
    // One thread at a time (the worker during a run).
    void Add(int bytes);
    // Passes on what has been gathered since the last report went out (the
    // end of a command's work).
    void Flush();

    static constexpr uint32_t kDefaultIntervalMs = 30;

private:
    void PassOn(uint64_t now);

    std::function<void(int)> post_;
    uint32_t intervalMs_ = kDefaultIntervalMs;
    int64_t gathered_ = 0;
    bool holding_ = false;  // reports have come in since the last pass-on
    bool passedOn_ = false;
    uint64_t lastPassOnMs_ = 0;
};
