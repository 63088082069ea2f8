#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

namespace vigilo {

// Up to a few threads that run background tasks, started in submission
// order. A thread starts only when a task arrives while every thread is
// running one, and ends once it has waited `idleTime` without work, so an idle
// process keeps none. A task queued behind a slow one waits for it or for the
// next task's new thread. Tasks may save state (a configuration write, say),
// so none is dropped: drain() and the destructor wait until every task
// submitted before has run.
class WorkerPool {
public:
    // Long enough that a run of tasks a few seconds apart reuses one thread,
    // short enough that a quiet process soon has none.
    static constexpr std::chrono::milliseconds kDefaultIdleTime{3000};

    explicit WorkerPool(unsigned maxThreads = 2, std::chrono::milliseconds idleTime = kDefaultIdleTime);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Thread-safe. After destruction has begun, a task is refused.
    void submit(std::function<void()> task);

    // Blocks until every task submitted so far has finished. Not from a task.
    void drain();

    // The threads alive now, busy or idle. Thread-safe.
    std::size_t threadCount();

private:
    using Worker = std::list<std::thread>::iterator;

    // False when the system would not start another thread.
    bool startWorker();
    void run(Worker self);
    void runHere(std::function<void()> task);

    const unsigned maxThreads_;
    const std::chrono::milliseconds idleTime_;
    std::mutex mutex_;
    std::condition_variable hasWork_;
    std::condition_variable settled_;
    std::deque<std::function<void()>> tasks_;
    std::size_t running_ = 0;
    bool stopping_ = false;
    std::list<std::thread> workers_;
    // Threads that ended for want of work; joined by the next submit() or
    // the destructor, as a thread cannot join itself.
    std::vector<std::thread> ended_;
};

}  // namespace vigilo
