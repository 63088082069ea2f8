#include "platform/linux/sd_event_loop.h"

#include <signal.h>
#include <sys/eventfd.h>
#include <systemd/sd-event.h>
#include <unistd.h>

#include <stdexcept>

namespace vigilo {

namespace {

std::uint64_t toMicroseconds(Duration d) {
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(d).count();
    return us > 0 ? static_cast<std::uint64_t>(us) : 0;
}

// Timers may fire up to this late; lets the kernel batch wake-ups.
constexpr std::uint64_t kTimerAccuracyUs = 1000;

}  // namespace

// What an event source calls back into; freed when the source is destroyed.
struct SdEventLoop::Callback {
    Task task;
    Duration interval{};
};

SdEventLoop::SdEventLoop() {
    if (sd_event_new(&event_) < 0) throw std::runtime_error("sd_event_new failed");
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) throw std::runtime_error("eventfd failed");
    sd_event_add_io(
        event_, &wakeSource_, wakeFd_, EPOLLIN,
        [](sd_event_source*, int fd, uint32_t, void* self) {
            eventfd_t value;
            ::eventfd_read(fd, &value);
            static_cast<SdEventLoop*>(self)->runPosted();
            return 0;
        },
        this);
    workers_ = std::make_unique<WorkerPool>(2);
}

SdEventLoop::~SdEventLoop() {
    workers_.reset();
    sd_event_source_disable_unref(wakeSource_);
    ::close(wakeFd_);
    sd_event_unref(event_);
}

void SdEventLoop::post(Task task) {
    {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(task));
    }
    ::eventfd_write(wakeFd_, 1);
}

void SdEventLoop::runPosted() {
    std::vector<Task> posted;
    {
        std::lock_guard lock(postedMutex_);
        posted.swap(posted_);
    }
    for (auto& task : posted) task();
}

// Runs the callback's task; a copy, because the task may cancel its own source.
int SdEventLoop::runCallback(void* data) {
    auto run = static_cast<Callback*>(data)->task;
    run();
    return 0;
}

// Takes ownership of `callback` (freed with the source) and returns the
// handle that cancels the source; an empty handle when adding failed.
Handle SdEventLoop::adopt(int rc, sd_event_source* source, Callback* callback) {
    if (rc < 0) {
        delete callback;
        return Handle();
    }
    sd_event_source_set_destroy_callback(source, [](void* data) { delete static_cast<Callback*>(data); });
    return Handle([source] { sd_event_source_disable_unref(source); });
}

Handle SdEventLoop::addTimer(Duration delay, Duration interval, Task task) {
    auto* callback = new Callback{std::move(task), interval};
    sd_event_source* source = nullptr;
    int rc = sd_event_add_time_relative(
        event_, &source, CLOCK_MONOTONIC, toMicroseconds(delay), kTimerAccuracyUs,
        [](sd_event_source* s, uint64_t, void* data) {
            if (auto period = static_cast<Callback*>(data)->interval; period > Duration{}) {
                sd_event_source_set_time_relative(s, toMicroseconds(period));
                sd_event_source_set_enabled(s, SD_EVENT_ON);
            }
            return runCallback(data);
        },
        callback);
    return adopt(rc, source, callback);
}

Handle SdEventLoop::startTimer(Duration delay, Task task) { return addTimer(delay, Duration{}, std::move(task)); }

Handle SdEventLoop::startRepeating(Duration interval, Task task) {
    interval = std::max(interval, Duration{std::chrono::milliseconds(1)});
    return addTimer(interval, interval, std::move(task));
}

Handle SdEventLoop::startTimerAt(WallTime at, Task task) {
    // CLOCK_REALTIME moves on during a suspend, so the timer fires at the
    // first turn after resume when its time passed meanwhile.
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
    auto* callback = new Callback{std::move(task)};
    sd_event_source* source = nullptr;
    int rc = sd_event_add_time(
        event_, &source, CLOCK_REALTIME, sinceEpoch > 0 ? static_cast<std::uint64_t>(sinceEpoch) : 1, kTimerAccuracyUs,
        [](sd_event_source*, uint64_t, void* data) { return runCallback(data); }, callback);
    return adopt(rc, source, callback);
}

void SdEventLoop::runInBackground(Task work) { workers_->submit(std::move(work)); }

Handle SdEventLoop::watchReadable(int fd, Task onReadable) { return watch(fd, EPOLLIN, std::move(onReadable)); }

Handle SdEventLoop::watchWritable(int fd, Task onWritable) { return watch(fd, EPOLLOUT, std::move(onWritable)); }

// epoll reports hang-ups and errors whatever it was asked, so the owner hears
// of a peer that went away through either watch.
Handle SdEventLoop::watch(int fd, std::uint32_t events, Task onReady) {
    auto* callback = new Callback{std::move(onReady)};
    sd_event_source* source = nullptr;
    int rc = sd_event_add_io(
        event_, &source, fd, events, [](sd_event_source*, int, uint32_t, void* data) { return runCallback(data); },
        callback);
    return adopt(rc, source, callback);
}

Handle SdEventLoop::onSignal(int signal, Task handler) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    auto* callback = new Callback{std::move(handler)};
    sd_event_source* source = nullptr;
    int rc = sd_event_add_signal(
        event_, &source, signal,
        [](sd_event_source*, const signalfd_siginfo*, void* data) { return runCallback(data); }, callback);
    return adopt(rc, source, callback);
}

int SdEventLoop::run() { return sd_event_loop(event_); }

void SdEventLoop::quit(int code) { sd_event_exit(event_, code); }

}  // namespace vigilo
