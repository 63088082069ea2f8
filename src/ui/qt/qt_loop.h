#pragma once

#include <memory>
#include <optional>

#include "support/application_loop.h"
#include "support/worker_pool.h"

class QObject;

namespace vigilo {

// The application's loop on Qt's event loop, for the tray: the windows and
// the core share one main thread. Timers are precise QTimers; descriptors
// (and signals, through a signalfd) are QSocketNotifiers; wall-clock timers
// are absolute CLOCK_REALTIME timerfds, which the kernel fires at the first
// turn after a resume when their time passed during the suspend.
//
// Works inside nested loops too (a modal dialog opened from a callback):
// timers, posts and other descriptors keep running there, while the
// descriptor whose handler opened the dialog is paused until it returns.
// Needs a QCoreApplication (or QApplication) on the calling thread.
class QtLoop final : public ApplicationLoop {
public:
    QtLoop();
    ~QtLoop() override;
    QtLoop(const QtLoop&) = delete;
    QtLoop& operator=(const QtLoop&) = delete;

    void post(Task task) override;
    Handle startTimer(Duration delay, Task task) override;
    Handle startRepeating(Duration interval, Task task) override;
    Handle startTimerAt(WallTime at, Task task) override;
    void runInBackground(Task work) override;
    Handle watchReadable(int fd, Task onReadable) override;
    Handle watchWritable(int fd, Task onWritable) override;
    const Clock& clock() const override { return clock_; }
    using Loop::runInBackground;

    Handle onSignal(int signal, Task handler) override;
    void finishBackgroundWork() override { workers_->drain(); }
    int run() override;
    void quit(int code = 0) override;

private:
    Handle addTimer(Duration delay, bool repeating, Task task);
    enum class Direction { read, write };
    // Watches `fd`, closing it at cancel when `owned`.
    Handle watch(int fd, Direction direction, bool owned, Task onReady);

    SystemClock clock_;
    // The main-thread object that posted tasks are queued to.
    std::unique_ptr<QObject> receiver_;
    bool running_ = false;
    std::optional<int> quitCode_;
    // Declared last so its threads stop before anything they post to goes.
    std::unique_ptr<WorkerPool> workers_;
};

}  // namespace vigilo
