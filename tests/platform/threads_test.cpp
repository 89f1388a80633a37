// Threads, recursive locks, thread ids and sleeping through the platform
// seam.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace {

using namespace platform;

TEST(Threads, JoinWaitsForTheBodyAndMayBeRepeated) {
    std::atomic<bool> finished{false};
    auto thread = System().StartThread([&] {
        System().SleepMs(30);
        finished = true;
    });
    ASSERT_TRUE(thread);
    thread->Join();
    EXPECT_TRUE(finished);
    thread->Join();  // harmless
}

TEST(Threads, DestroyingAThreadWaitsForIt) {
    std::atomic<bool> finished{false};
    {
        auto thread = System().StartThread([&] {
            System().SleepMs(30);
            finished = true;
        });
        ASSERT_TRUE(thread);
    }
    EXPECT_TRUE(finished);
}

TEST(Threads, EachThreadHasItsOwnSteadyId) {
    uint32_t main_id = System().CurrentThreadId();
    EXPECT_EQ(System().CurrentThreadId(), main_id);
    std::vector<uint32_t> ids(4);
    std::atomic<int> started{0};
    std::vector<std::unique_ptr<IThread>> threads;
    for (size_t i = 0; i < ids.size(); ++i) {
        threads.push_back(System().StartThread([&, i] {
            ids[i] = System().CurrentThreadId();
            ++started;
            // Stay alive until every thread has its id, so that none can
            // reuse another's.
            while (started < static_cast<int>(ids.size())) System().SleepMs(1);
            if (System().CurrentThreadId() != ids[i]) ids[i] = 0;
        }));
        ASSERT_TRUE(threads.back());
    }
    for (auto& thread : threads) thread->Join();
    for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_NE(ids[i], 0u);
        EXPECT_NE(ids[i], main_id);
        for (size_t j = 0; j < i; ++j) EXPECT_NE(ids[i], ids[j]);
    }
}

TEST(Locks, AreRecursiveAndHeldUntilTheLastLeave) {
    auto lock = System().NewLock();
    ASSERT_TRUE(lock);
    lock->Enter();
    lock->Enter();  // the owner may enter again
    lock->Leave();

    std::atomic<bool> entered{false};
    auto thread = System().StartThread([&] {
        lock->Enter();
        entered = true;
        lock->Leave();
    });
    ASSERT_TRUE(thread);
    System().SleepMs(50);
    EXPECT_FALSE(entered);  // still held once
    lock->Leave();
    thread->Join();
    EXPECT_TRUE(entered);
}

TEST(Locks, KeepThreadsApart) {
    auto lock = System().NewLock();
    long counter = 0;  // deliberately not atomic
    std::vector<std::unique_ptr<IThread>> threads;
    for (int t = 0; t < 4; ++t) {
        threads.push_back(System().StartThread([&] {
            for (int i = 0; i < 20000; ++i) {
                lock->Enter();
                long seen = counter;
                counter = seen + 1;
                lock->Leave();
            }
        }));
    }
    for (auto& thread : threads) thread->Join();
    EXPECT_EQ(counter, 80000);
}

TEST(Sleep, WaitsAboutAsLongAsAsked) {
    auto start = std::chrono::steady_clock::now();
    System().SleepMs(60);
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    // The system's timer may round the wait a little either way.
    EXPECT_GE(waited.count(), 45);
    EXPECT_LT(waited.count(), 2000);
}

}  // namespace
