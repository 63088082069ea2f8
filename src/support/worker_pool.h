#pragma once

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vigilo {

// A few threads that run background tasks in submission order. Tasks may
// save state (a configuration write, say), so none is dropped: drain() and
// the destructor wait until every task submitted before has run.
class WorkerPool {
public:
    explicit WorkerPool(unsigned threads = 2);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Thread-safe. After destruction has begun, a task is refused.
    void submit(std::function<void()> task);

    // Blocks until every task submitted so far has finished. Not from a task.
    void drain();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
    std::size_t running_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace vigilo
