#include "support/worker_pool.h"

namespace vigilo {

WorkerPool::WorkerPool(unsigned threads) {
    for (unsigned i = 0; i < std::max(threads, 1u); ++i) threads_.emplace_back([this] { run(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (auto& t : threads_) t.join();
}

void WorkerPool::submit(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        tasks_.push_back(std::move(task));
    }
    changed_.notify_all();
}

void WorkerPool::drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return tasks_.empty() && running_ == 0; });
}

void WorkerPool::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        if (tasks_.empty()) return;  // stopping, and everything has run
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        ++running_;
        lock.unlock();
        task();
        task = nullptr;  // whatever it holds goes before the pool reports idle
        lock.lock();
        --running_;
        changed_.notify_all();
    }
}

}  // namespace vigilo
