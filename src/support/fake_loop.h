#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "support/loop.h"

namespace vigilo {

// A Loop for tests, with virtual time. Tasks run in order of due time, then
// of scheduling; nothing runs until the test drives the loop. Background
// tasks run on the test's thread, in order, as part of the loop's turns, so
// results are deterministic. Watched descriptors are polled (without waiting)
// whenever the loop has nothing else to do, for reading or writing.
class FakeLoop final : public Loop, private Clock {
public:
    // The wall clock starts at 2026-01-05 09:00:00 UTC unless told otherwise.
    explicit FakeLoop(WallTime wallStart = defaultWallStart());

    void post(Task task) override;
    Handle startTimer(Duration delay, Task task) override;
    Handle startRepeating(Duration interval, Task task) override;
    Handle startTimerAt(WallTime at, Task task) override;
    void runInBackground(Task work) override;
    Handle watchReadable(int fd, Task onReadable) override;
    Handle watchWritable(int fd, Task onWritable) override;
    const Clock& clock() const override { return *this; }
    using Loop::runInBackground;

    // Runs everything that is due now, until nothing is left to run.
    void runUntilIdle();
    // Moves both clocks forward by `d`, running each task at its due time.
    void fastForwardBy(Duration d);
    // Moves only the wall clock, as a suspend and resume would.
    void advanceWallClock(Duration d);

    // While held, background tasks wait; runBackgroundTasks() lets them run.
    void holdBackgroundTasks(bool hold) { holdBackground_ = hold; }
    std::size_t pendingBackgroundTasks() const { return background_.size(); }
    void runBackgroundTasks();
    std::size_t pendingTimers() const;

    MonoTime monotonicNow() const override { return mono_; }
    WallTime wallNow() const override { return wall_; }

    static WallTime defaultWallStart();

private:
    struct Scheduled {
        Task task;
        Duration interval{};  // zero for one-shot
        bool cancelled = false;
    };
    struct Watch {
        int fd;
        short events;  // POLLIN or POLLOUT
        Task onReady;
    };
    using Key = std::pair<MonoTime, std::uint64_t>;

    Handle schedule(Duration delay, Duration interval, Task task);
    bool runOneWallTimer();
    std::optional<MonoTime> nextDue() const;
    void takePosted();
    bool runOneDue();
    Handle watch(int fd, short events, Task onReady);
    bool runReadyWatches();

    MonoTime mono_;
    WallTime wall_;
    std::uint64_t sequence_ = 0;
    std::map<Key, std::shared_ptr<Scheduled>> queue_;
    std::map<std::pair<WallTime, std::uint64_t>, std::shared_ptr<Scheduled>> wallTimers_;
    std::deque<Task> background_;
    bool holdBackground_ = false;
    std::map<std::uint64_t, std::shared_ptr<Watch>> watches_;
    std::uint64_t nextWatchId_ = 1;

    std::mutex postedMutex_;
    std::vector<Task> posted_;
};

}  // namespace vigilo
