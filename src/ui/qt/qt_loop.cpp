#include "ui/qt/qt_loop.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

namespace vigilo {

namespace {

// Qt objects that may be cancelled from inside their own callbacks are
// deleted at the next turn of the loop, never in the middle of an emission.
void deleteSoon(QObject* object) {
    if (object) object->deleteLater();
}

// One watched descriptor. The handle and a running callback share it, so a
// callback may cancel its own watch.
struct Watch {
    QSocketNotifier* notifier = nullptr;
    Loop::Task onReady;
    int ownedFd = -1;

    void cancel() {
        if (!notifier) return;
        notifier->setEnabled(false);
        deleteSoon(std::exchange(notifier, nullptr));
        if (ownedFd >= 0) ::close(std::exchange(ownedFd, -1));
    }

    // Paused while its handler runs: a modal dialog opened from the handler
    // runs a nested loop, which must not call the handler again meanwhile.
    static void fire(const std::weak_ptr<Watch>& weak) {
        auto watch = weak.lock();
        if (!watch || !watch->notifier) return;
        watch->notifier->setEnabled(false);
        auto run = watch->onReady;
        run();
        if (watch->notifier) watch->notifier->setEnabled(true);
    }
};

// Reads what made a one-shot descriptor readable; false when nothing was
// there (another reader got it first).
bool consume(int fd, std::size_t size) {
    char buffer[sizeof(signalfd_siginfo)];
    return ::read(fd, buffer, std::min(size, sizeof buffer)) > 0;
}

}  // namespace

QtLoop::QtLoop() : receiver_(std::make_unique<QObject>()), workers_(std::make_unique<WorkerPool>(2)) {}

QtLoop::~QtLoop() { workers_.reset(); }

void QtLoop::post(Task task) {
    // Thread-safe: a queued call is an event posted to the receiver's thread.
    QMetaObject::invokeMethod(receiver_.get(), std::move(task), Qt::QueuedConnection);
}

Handle QtLoop::addTimer(Duration delay, bool repeating, Task task) {
    auto* timer = new QTimer();
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeating);
    // A copy runs, so a task that cancels its own timer keeps its captures.
    QObject::connect(timer, &QTimer::timeout, timer, [task = std::move(task)] {
        auto run = task;
        run();
    });
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(delay).count();
    timer->start(static_cast<int>(std::clamp<long long>(ms, repeating ? 1 : 0, INT32_MAX)));
    return Handle([timer] {
        timer->stop();
        deleteSoon(timer);
    });
}

Handle QtLoop::startTimer(Duration delay, Task task) { return addTimer(delay, false, std::move(task)); }

Handle QtLoop::startRepeating(Duration interval, Task task) { return addTimer(interval, true, std::move(task)); }

Handle QtLoop::startTimerAt(WallTime at, Task task) {
    const int fd = ::timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    if (fd < 0) return Handle();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
    itimerspec when{};
    when.it_value.tv_sec = ns > 0 ? ns / 1'000'000'000 : 0;
    when.it_value.tv_nsec = ns > 0 ? ns % 1'000'000'000 : 1;
    if (::timerfd_settime(fd, TFD_TIMER_ABSTIME, &when, nullptr) < 0) {
        ::close(fd);
        return Handle();
    }
    return watch(fd, Direction::read, true, [fd, task = std::move(task)] {
        if (consume(fd, sizeof(std::uint64_t))) task();
    });
}

void QtLoop::runInBackground(Task work) { workers_->submit(std::move(work)); }

Handle QtLoop::watchReadable(int fd, Task onReadable) {
    return watch(fd, Direction::read, false, std::move(onReadable));
}

Handle QtLoop::watchWritable(int fd, Task onWritable) {
    return watch(fd, Direction::write, false, std::move(onWritable));
}

Handle QtLoop::watch(int fd, Direction direction, bool owned, Task onReady) {
    auto watch = std::make_shared<Watch>();
    watch->notifier =
        new QSocketNotifier(fd, direction == Direction::read ? QSocketNotifier::Read : QSocketNotifier::Write);
    watch->onReady = std::move(onReady);
    watch->ownedFd = owned ? fd : -1;
    QObject::connect(watch->notifier, &QSocketNotifier::activated, watch->notifier,
                     [weak = std::weak_ptr<Watch>(watch)] { Watch::fire(weak); });
    return Handle([watch] { watch->cancel(); });
}

Handle QtLoop::onSignal(int signal, Task handler) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
    const int fd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd < 0) return Handle();
    return watch(fd, Direction::read, true, [fd, handler = std::move(handler)] {
        if (consume(fd, sizeof(signalfd_siginfo))) handler();
    });
}

int QtLoop::run() {
    if (auto code = std::exchange(quitCode_, std::nullopt)) return *code;
    running_ = true;
    const int code = QCoreApplication::exec();
    running_ = false;
    return code;
}

// Ends nested loops too (a modal dialog answers "cancel"), so a SIGTERM is
// not held up by a question nobody is there to answer.
void QtLoop::quit(int code) {
    if (running_) {
        QCoreApplication::exit(code);
    } else {
        quitCode_ = code;
    }
}

}  // namespace vigilo
