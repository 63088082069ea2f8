#include "support/worker_pool.h"

#include <algorithm>
#include <system_error>

#include "support/log.h"

namespace vigilo {

WorkerPool::WorkerPool(unsigned maxThreads, std::chrono::milliseconds idleTime)
    : maxThreads_(std::max(maxThreads, 1u)), idleTime_(idleTime) {}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    hasWork_.notify_all();
    // From here on no worker moves itself to ended_: each finishes the queue
    // and returns, leaving its thread where it is.
    for (auto& t : workers_) t.join();
    for (auto& t : ended_) t.join();
}

void WorkerPool::submit(std::function<void()> task) {
    std::vector<std::thread> ended;
    std::function<void()> here;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        tasks_.push_back(std::move(task));
        // Only when every thread is running a task: tasks that arrive
        // together (the loop's polls) then share one thread, in order. A
        // task run on a caller's thread counts as running too.
        const bool allBusy = running_ >= workers_.size();
        if (allBusy && workers_.size() < maxThreads_ && !startWorker() && workers_.empty()) {
            here = std::move(tasks_.back());
            tasks_.pop_back();
            ++running_;
        }
        ended.swap(ended_);
    }
    hasWork_.notify_one();
    for (auto& t : ended) t.join();
    if (here) runHere(std::move(here));
}

// Called with the lock held, which the new thread needs before it reads its
// own entry: so the entry is complete by then.
bool WorkerPool::startWorker() {
    auto self = workers_.emplace(workers_.end());
    try {
        *self = std::thread([this, self] { run(self); });
        return true;
    } catch (const std::system_error& error) {
        workers_.erase(self);
        Logger("Workers").error("Cannot start a background thread: {}", error.what());
        return false;
    }
}

// Without any thread the task would wait for ever; late is better than lost.
void WorkerPool::runHere(std::function<void()> task) {
    task();
    task = nullptr;
    std::lock_guard lock(mutex_);
    --running_;
    if (tasks_.empty() && running_ == 0) settled_.notify_all();
}

void WorkerPool::drain() {
    std::unique_lock lock(mutex_);
    settled_.wait(lock, [this] { return tasks_.empty() && running_ == 0; });
}

std::size_t WorkerPool::threadCount() {
    std::lock_guard lock(mutex_);
    return workers_.size();
}

void WorkerPool::run(Worker self) {
    std::unique_lock lock(mutex_);
    for (;;) {
        const bool woken = hasWork_.wait_for(lock, idleTime_, [this] { return stopping_ || !tasks_.empty(); });
        if (!woken) {
            ended_.push_back(std::move(*self));
            workers_.erase(self);
            return;
        }
        if (tasks_.empty()) return;  // stopping, and everything has run
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        ++running_;
        lock.unlock();
        task();
        task = nullptr;  // whatever it holds goes before the pool reports idle
        lock.lock();
        --running_;
        if (tasks_.empty() && running_ == 0) settled_.notify_all();
    }
}

}  // namespace vigilo
