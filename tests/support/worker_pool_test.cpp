#include "support/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <latch>

#include "common/temp_dir.h"
#include "support/atomic_file.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

// A thread ends on its own clock; the bound only keeps a broken pool from
// hanging the suite.
bool threadsDropTo(WorkerPool& pool, std::size_t count) {
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (pool.threadCount() > count) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Queued saves are not dropped when the pool goes: the file ends up holding
// the newest one.
TEST(WorkerPool, DestructionRunsEveryQueuedTask) {
    testing::TempDir dir;
    const auto file = dir / "config.json";
    std::atomic<int> ran = 0;
    {
        WorkerPool pool(1);
        for (int i = 1; i <= 50; ++i) {
            pool.submit([&, i] {
                writeFileAtomically(file, std::to_string(i));
                ++ran;
            });
        }
    }
    EXPECT_EQ(ran, 50);
    EXPECT_EQ(testing::readFile(file), "50");
}

// No thread before there is work; a task that finds a thread free runs on
// it; one that finds every thread running a task gets a new one, up to the
// limit; the task beyond it waits for a free thread.
TEST(WorkerPool, ThreadsStartOnlyWhenEveryThreadIsBusy) {
    WorkerPool pool(2);
    EXPECT_EQ(pool.threadCount(), 0u);
    pool.submit([] {});
    pool.drain();
    EXPECT_EQ(pool.threadCount(), 1u);

    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::latch firstRunning(1), bothRunning(2);
    pool.submit([&] {
        firstRunning.count_down();
        bothRunning.count_down();
        released.wait();
    });
    firstRunning.wait();
    EXPECT_EQ(pool.threadCount(), 1u);  // the free thread took it
    pool.submit([&] {
        bothRunning.count_down();
        released.wait();
    });
    bothRunning.wait();  // both at once: a second thread was started
    std::atomic<int> thirdRan = 0;
    pool.submit([&] { ++thirdRan; });
    EXPECT_EQ(pool.threadCount(), 2u);
    EXPECT_EQ(thirdRan, 0);

    release.set_value();
    pool.drain();
    EXPECT_EQ(thirdRan, 1);
}

// Threads that found no work for the idle time end; later work starts new
// ones and still runs in submission order, and drain() sees it all.
TEST(WorkerPool, IdleThreadsEndAndWorkAfterwardsStillRunsInOrder) {
    WorkerPool pool(1, 5ms);
    std::vector<int> order;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 20; ++i) pool.submit([&order, n = round * 20 + i] { order.push_back(n); });
        pool.drain();
        ASSERT_EQ(order.size(), static_cast<std::size_t>((round + 1) * 20));
        ASSERT_TRUE(threadsDropTo(pool, 0)) << "round " << round;
    }
    for (int n = 0; n < 60; ++n) EXPECT_EQ(order[n], n);
}

// Threads ending and starting while other threads submit, and the pool going
// while some are ending: every task runs once (the sanitizers build looks
// for races here).
TEST(WorkerPool, ConcurrentSubmittersRaceThreadsThatEnd) {
    struct Case {
        unsigned threads;
        std::chrono::milliseconds idle;
    };
    for (const Case c : {Case{1, 0ms}, Case{2, 0ms}, Case{2, 1ms}, Case{4, 0ms}}) {
        std::atomic<int> ran = 0;
        {
            WorkerPool pool(c.threads, c.idle);
            auto submitMany = [&] {
                for (int i = 0; i < 300; ++i) {
                    pool.submit([&] { ++ran; });
                    if (i % 50 == 0) std::this_thread::yield();
                }
            };
            std::thread other(submitMany);
            submitMany();
            other.join();
            pool.drain();
            EXPECT_EQ(ran, 600) << c.threads << " threads, idle " << c.idle.count() << " ms";
            EXPECT_LE(pool.threadCount(), c.threads);
        }
    }
}

}  // namespace
}  // namespace vigilo
