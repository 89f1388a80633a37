// Threads, locks and time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// A started thread. Destroying it waits for the thread to end.
class IThread {
public:
    virtual ~IThread() = default;
    virtual void Join() = 0;
};

// A recursive lock (a critical section).
class IRecursiveLock {
public:
    virtual ~IRecursiveLock() = default;
    virtual void Enter() = 0;
    virtual void Leave() = 0;
};

class IThreads {
public:
    virtual ~IThreads() = default;
    virtual std::unique_ptr<IThread> StartThread(std::function<void()> body) = 0;
    virtual std::unique_ptr<IRecursiveLock> NewLock() = 0;
    virtual uint32_t CurrentThreadId() = 0;
    virtual void SleepMs(uint32_t milliseconds) = 0;
    // Milliseconds from a fixed point in the past, never going back (as
    // GetTickCount64 gives them); only differences mean anything.
    virtual uint64_t MonotonicMs() = 0;
};

}  // namespace platform
