// The lock that guards the data the dialog thread and the worker share.
#pragma once

#include <atomic>
#include <memory>

#include "platform/platform.h"

class ICriticalSection {
public:
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // Whether the calling thread holds the lock.
    virtual bool IsLockedByMe() = 0;
    virtual ~ICriticalSection() = default;
};

// A recursive critical section that knows its owner and how often the owner
// entered it.
class CCriticalSection : public ICriticalSection {
public:
    CCriticalSection();
    void Lock() override;
    void Unlock() override;
    bool IsLockedByMe() override;

private:
    std::unique_ptr<platform::IRecursiveLock> section_;
    std::atomic<long> owner_{-1};  // thread id of the holder, -1 when free
    int count_ = 0;
};

// Locks once on construction and unlocks as often as it locked on destruction.
class CScopedLock {
public:
    explicit CScopedLock(ICriticalSection* section);
    ~CScopedLock();
    CScopedLock(const CScopedLock&) = delete;
    CScopedLock& operator=(const CScopedLock&) = delete;

private:
    ICriticalSection* section_;
    int count_ = 0;
};
