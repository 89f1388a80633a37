#include "platform/posix/threads.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform::posix {

namespace {

class PosixThread : public IThread {
public:
    explicit PosixThread(std::function<void()> body) : thread_(std::move(body)) {}
    ~PosixThread() override { Join(); }
    PosixThread(const PosixThread&) = delete;
    PosixThread& operator=(const PosixThread&) = delete;

    void Join() override {
        std::lock_guard<std::mutex> hold(mutex_);
        if (!thread_.joinable()) return;
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();  // a thread cannot wait for itself
        } else {
            thread_.join();
        }
    }

private:
    std::mutex mutex_;
    std::thread thread_;
};

class PosixLock : public IRecursiveLock {
public:
    void Enter() override { mutex_.lock(); }
    void Leave() override { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

}  // namespace

std::unique_ptr<IThread> StartThread(std::function<void()> body) {
    try {
        return std::make_unique<PosixThread>(std::move(body));
    } catch (const std::system_error&) {
        return nullptr;
    }
}

std::unique_ptr<IRecursiveLock> NewLock() { return std::make_unique<PosixLock>(); }

uint32_t CurrentThreadId() {
    thread_local uint32_t id = static_cast<uint32_t>(syscall(SYS_gettid));
    return id;
}

void SleepMs(uint32_t milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

uint64_t MonotonicMs() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace platform::posix
