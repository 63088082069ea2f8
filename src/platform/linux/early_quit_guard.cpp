#include "platform/linux/early_quit_guard.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

#include "support/log.h"

namespace vigilo {

namespace {

sigset_t quitSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

EarlyQuitGuard::EarlyQuitGuard() {
    const sigset_t signals = quitSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signalFd_ = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    releaseFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (signalFd_ < 0 || releaseFd_ < 0) {
        // Without the guard the signals still reach the loop once it runs.
        Logger("AppState").error("Cannot watch for SIGTERM during start-up");
        return;
    }
    thread_ = std::thread([this] { waitForSignal(); });
}

EarlyQuitGuard::~EarlyQuitGuard() {
    release();
    for (int fd : {signalFd_, releaseFd_}) {
        if (fd >= 0) ::close(fd);
    }
}

void EarlyQuitGuard::release() {
    if (!thread_.joinable()) return;
    ::eventfd_write(releaseFd_, 1);
    thread_.join();
}

void EarlyQuitGuard::waitForSignal() {
    pollfd fds[2] = {{releaseFd_, POLLIN, 0}, {signalFd_, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
        // Released: leave the signal pending for the loop, even if one came
        // at the same moment.
        if (fds[0].revents != 0) return;
        signalfd_siginfo info{};
        if (fds[1].revents != 0 && ::read(signalFd_, &info, sizeof info) == sizeof info) {
            Logger("AppState").info("Stopped by signal {} during start-up", info.ssi_signo);
            ::_exit(0);
        }
    }
}

}  // namespace vigilo
