#include "engine/progress_gate.h"

#include <algorithm>

#include "platform/platform.h"

void CProgressGate::Add(int bytes) {
    gathered_ += bytes;
    holding_ = true;
    uint64_t now = platform::Threads().MonotonicMs();
    if (intervalMs_ == 0 || !passedOn_ || now - lastPassOnMs_ >= intervalMs_) PassOn(now);
}

void CProgressGate::Flush() {
    if (holding_) PassOn(platform::Threads().MonotonicMs());
}

void CProgressGate::PassOn(uint64_t now) {
    // A report's value is an int: more than that in one interval goes out
    // in several.
    do {
        int64_t part = std::min<int64_t>(gathered_, INT32_MAX);
        post_(static_cast<int>(part));
        gathered_ -= part;
    } while (gathered_ > 0);
    holding_ = false;
    passedOn_ = true;
    lastPassOnMs_ = now;
}
