#include "engine/critical_section.h"

CCriticalSection::CCriticalSection() : section_(platform::Threads().NewLock()) {}

void CCriticalSection::Lock() {
    section_->Enter();
    owner_ = static_cast<long>(platform::Threads().CurrentThreadId());
    ++count_;
}

void CCriticalSection::Unlock() {
    if (--count_ == 0) owner_ = -1;
    section_->Leave();
}

bool CCriticalSection::IsLockedByMe() {
    // Only the holder ever writes its own id here, so a thread that does not
    // hold the lock never reads its own id, and no wait is needed.
    return owner_.load() == static_cast<long>(platform::Threads().CurrentThreadId());
}

CScopedLock::CScopedLock(ICriticalSection* section) : section_(section) {
    section_->Lock();
    ++count_;
}

CScopedLock::~CScopedLock() {
    while (count_ > 0) {
        section_->Unlock();
        --count_;
    }
}
