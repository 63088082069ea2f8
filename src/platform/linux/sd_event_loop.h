#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "support/application_loop.h"
#include "support/worker_pool.h"

typedef struct sd_event sd_event;
typedef struct sd_event_source sd_event_source;

namespace vigilo {

// The daemon's main loop, on sd-event. Background tasks run on a small
// worker pool; post() is safe from any thread and wakes the loop through an
// eventfd.
class SdEventLoop final : public ApplicationLoop {
public:
    SdEventLoop();
    ~SdEventLoop() override;
    SdEventLoop(const SdEventLoop&) = delete;
    SdEventLoop& operator=(const SdEventLoop&) = delete;

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
    struct Callback;
    Handle addTimer(Duration delay, Duration interval, Task task);
    Handle watch(int fd, std::uint32_t events, Task onReady);
    static int runCallback(void* data);
    static Handle adopt(int rc, sd_event_source* source, Callback* callback);
    void runPosted();

    SystemClock clock_;
    sd_event* event_ = nullptr;
    int wakeFd_ = -1;
    sd_event_source* wakeSource_ = nullptr;
    std::mutex postedMutex_;
    std::vector<Task> posted_;
    // Declared last so its threads stop before anything they post to goes.
    std::unique_ptr<WorkerPool> workers_;
};

}  // namespace vigilo
