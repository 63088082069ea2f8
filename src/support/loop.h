#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <utility>

#include "support/clock.h"
#include "support/handle.h"

namespace vigilo {

// The main-thread event loop. Everything observable lives on the thread that
// runs the loop; other threads reach it only through post().
//
// Timers and watches are cancelled by destroying (or cancel()ing) the Handle
// they return. Callbacks run on the loop thread.
class Loop {
public:
    using Task = std::function<void()>;

    virtual ~Loop() = default;

    // Thread-safe. Runs the task on the loop thread, after those posted before.
    virtual void post(Task task) = 0;

    virtual Handle startTimer(Duration delay, Task task) = 0;
    virtual Handle startRepeating(Duration interval, Task task) = 0;
    // Fires once the wall clock reaches `at`, also when it gets there by a
    // suspend and resume: then at the first turn of the loop after resume.
    virtual Handle startTimerAt(WallTime at, Task task) = 0;

    // Runs `work` on a background thread. The work receives copies, touches
    // nothing observable and hands results back with post().
    virtual void runInBackground(Task work) = 0;

    // Calls `onReadable` on the loop thread whenever `fd` is readable (or hung
    // up). The caller keeps owning the descriptor, and cancels the watch
    // before closing it.
    virtual Handle watchReadable(int fd, Task onReadable) = 0;
    // Calls `onWritable` on the loop thread whenever `fd` can take more data
    // (or hung up or failed), as watchReadable. A descriptor carries one
    // watch at a time (the daemon's loop refuses a second one): cancel its
    // readable watch before watching it for writing.
    virtual Handle watchWritable(int fd, Task onWritable) = 0;

    virtual const Clock& clock() const = 0;

    // Runs `work` in the background and `done(result)` on the loop thread.
    // `done` must not outlive what it captures: owners that may go away first
    // capture a weak_ptr (see LifeToken).
    template <class Work, class Done>
    void runInBackground(Work work, Done done) {
        runInBackground([this, work = std::move(work), done = std::move(done)]() mutable {
            auto result = std::make_shared<decltype(work())>(work());
            post([done = std::move(done), result]() mutable { done(std::move(*result)); });
        });
    }
};

// A token whose weak references tell a callback whether its owner still
// exists. The owner keeps the token; callbacks capture weak().
class LifeToken {
public:
    LifeToken() : alive_(std::make_shared<bool>(true)) {}
    LifeToken(const LifeToken&) = delete;
    LifeToken& operator=(const LifeToken&) = delete;
    std::weak_ptr<bool> weak() const { return alive_; }

private:
    std::shared_ptr<bool> alive_;
};

}  // namespace vigilo
