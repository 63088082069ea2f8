#include "support/fake_loop.h"

#include <poll.h>

#include <algorithm>

namespace vigilo {

namespace {
constexpr int kMaxWatchRoundsPerIdle = 1000;
}

FakeLoop::FakeLoop(WallTime wallStart) : mono_(MonoTime{} + std::chrono::hours(1)), wall_(wallStart) {}

WallTime FakeLoop::defaultWallStart() {
    using namespace std::chrono;
    return sys_days{year{2026} / January / 5} + hours(9);
}

void FakeLoop::post(Task task) {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(task));
}

Handle FakeLoop::startTimer(Duration delay, Task task) { return schedule(delay, Duration{}, std::move(task)); }

Handle FakeLoop::startRepeating(Duration interval, Task task) {
    // A zero interval would spin forever in virtual time.
    interval = std::max(interval, Duration{1});
    return schedule(interval, interval, std::move(task));
}

Handle FakeLoop::schedule(Duration delay, Duration interval, Task task) {
    auto entry = std::make_shared<Scheduled>(Scheduled{std::move(task), interval});
    queue_.emplace(Key{mono_ + std::max(delay, Duration{}), sequence_++}, entry);
    std::weak_ptr<Scheduled> weak = entry;
    return Handle([weak] {
        if (auto e = weak.lock()) e->cancelled = true;
    });
}

Handle FakeLoop::startTimerAt(WallTime at, Task task) {
    auto entry = std::make_shared<Scheduled>(Scheduled{std::move(task)});
    wallTimers_.emplace(std::pair{at, sequence_++}, entry);
    std::weak_ptr<Scheduled> weak = entry;
    return Handle([weak] {
        if (auto e = weak.lock()) e->cancelled = true;
    });
}

bool FakeLoop::runOneWallTimer() {
    while (!wallTimers_.empty() && wallTimers_.begin()->first.first <= wall_) {
        auto entry = wallTimers_.begin()->second;
        wallTimers_.erase(wallTimers_.begin());
        if (entry->cancelled) continue;
        auto task = entry->task;
        task();
        return true;
    }
    return false;
}

// The monotonic time of the next task or wall timer, while the clocks move
// together.
std::optional<MonoTime> FakeLoop::nextDue() const {
    std::optional<MonoTime> next;
    for (auto& [key, entry] : queue_) {
        if (!entry->cancelled) {
            next = key.first;
            break;
        }
    }
    for (auto& [key, entry] : wallTimers_) {
        if (entry->cancelled) continue;
        const MonoTime due = mono_ + std::chrono::duration_cast<Duration>(key.first - wall_);
        if (!next || due < *next) next = due;
        break;
    }
    return next;
}

void FakeLoop::runInBackground(Task work) { background_.push_back(std::move(work)); }

Handle FakeLoop::watchReadable(int fd, Task onReadable) { return watch(fd, POLLIN, std::move(onReadable)); }

Handle FakeLoop::watchWritable(int fd, Task onWritable) { return watch(fd, POLLOUT, std::move(onWritable)); }

Handle FakeLoop::watch(int fd, short events, Task onReady) {
    auto id = nextWatchId_++;
    watches_.emplace(id, std::make_shared<Watch>(Watch{fd, events, std::move(onReady)}));
    return Handle([this, id] { watches_.erase(id); });
}

void FakeLoop::takePosted() {
    std::vector<Task> posted;
    {
        std::lock_guard lock(postedMutex_);
        posted.swap(posted_);
    }
    for (auto& task : posted) queue_.emplace(Key{mono_, sequence_++}, std::make_shared<Scheduled>(Scheduled{std::move(task)}));
}

bool FakeLoop::runOneDue() {
    takePosted();
    while (!queue_.empty() && queue_.begin()->first.first <= mono_) {
        auto entry = queue_.begin()->second;
        queue_.erase(queue_.begin());
        if (entry->cancelled) continue;
        if (entry->interval > Duration{}) queue_.emplace(Key{mono_ + entry->interval, sequence_++}, entry);
        // Copy: the task may cancel its own handle while running.
        auto task = entry->task;
        task();
        return true;
    }
    return false;
}

bool FakeLoop::runReadyWatches() {
    bool ran = false;
    auto watches = watches_;
    for (auto& [id, watch] : watches) {
        if (!watches_.contains(id)) continue;
        pollfd pfd{watch->fd, watch->events, 0};
        if (::poll(&pfd, 1, 0) > 0 && (pfd.revents & (watch->events | POLLHUP | POLLERR))) {
            watch->onReady();
            ran = true;
        }
    }
    return ran;
}

void FakeLoop::runUntilIdle() {
    int watchRounds = 0;
    for (;;) {
        if (runOneDue()) continue;
        if (runOneWallTimer()) continue;
        if (!holdBackground_ && !background_.empty()) {
            auto work = std::move(background_.front());
            background_.pop_front();
            work();
            continue;
        }
        if (watchRounds++ < kMaxWatchRoundsPerIdle && runReadyWatches()) continue;
        takePosted();
        if (queue_.empty() || queue_.begin()->first.first > mono_) return;
    }
}

void FakeLoop::runBackgroundTasks() {
    while (!background_.empty()) {
        auto work = std::move(background_.front());
        background_.pop_front();
        work();
    }
}

void FakeLoop::fastForwardBy(Duration d) {
    const MonoTime end = mono_ + d;
    runUntilIdle();
    for (auto next = nextDue(); next && *next <= end; next = nextDue()) {
        if (*next > mono_) {
            wall_ += std::chrono::duration_cast<WallTime::duration>(*next - mono_);
            mono_ = *next;
        }
        runUntilIdle();
    }
    wall_ += std::chrono::duration_cast<WallTime::duration>(end - mono_);
    mono_ = end;
    runUntilIdle();
}

void FakeLoop::advanceWallClock(Duration d) { wall_ += std::chrono::duration_cast<WallTime::duration>(d); }

std::size_t FakeLoop::pendingTimers() const {
    auto live = [](auto& kv) { return !kv.second->cancelled; };
    return static_cast<std::size_t>(std::count_if(queue_.begin(), queue_.end(), live) +
                                    std::count_if(wallTimers_.begin(), wallTimers_.end(), live));
}

}  // namespace vigilo
