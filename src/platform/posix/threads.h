// Threads, locks, thread ids, sleeping and the clock on POSIX.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/platform.h"

namespace platform::posix {

// Null when no thread could be started.
std::unique_ptr<IThread> StartThread(std::function<void()> body);
std::unique_ptr<IRecursiveLock> NewLock();
// The kernel's id of the calling thread: unique among the live threads.
uint32_t CurrentThreadId();
void SleepMs(uint32_t milliseconds);
uint64_t MonotonicMs();

}  // namespace platform::posix
