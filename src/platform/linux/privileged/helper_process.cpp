#include "platform/linux/privileged/helper_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/linux/process/spawn_setup.h"

extern char** environ;

namespace vigilo {
namespace {

// Enough for a message or two; the rest is read and dropped.
constexpr std::size_t kMaxErrorOutput = 4096;
// What one read turn takes at most, so a child that writes without end
// cannot hold the caller (or the loop) in one call.
constexpr std::size_t kMaxReadPerTurn = 65536;

int spawn(const std::vector<std::string>& argv, ChildInput input, int errorWriteEnd, pid_t& pid) {
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    SpawnSetup setup;
    if (input == ChildInput::none) {
        posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&setup.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, errorWriteEnd, STDERR_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);
    return ::posix_spawn(&pid, args[0], &setup.actions, &setup.attributes, args.data(), environ);
}

int reapBlocking(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

}  // namespace

std::unique_ptr<HelperChild> HelperChild::start(const std::vector<std::string>& argv, ChildInput input,
                                                std::string& why) {
    int pipeFds[2];
    if (argv.empty()) {
        why = "nothing to run";
        return nullptr;
    }
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        why = std::strerror(errno);
        return nullptr;
    }
    pid_t pid = -1;
    const int error = spawn(argv, input, pipeFds[1], pid);
    ::close(pipeFds[1]);
    if (error != 0) {
        ::close(pipeFds[0]);
        why = std::strerror(error);
        return nullptr;
    }
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd < 0) {
        why = std::strerror(errno);
        ::kill(pid, SIGKILL);
        reapBlocking(pid);
        ::close(pipeFds[0]);
        return nullptr;
    }
    ::fcntl(pipeFds[0], F_SETFL, ::fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
    return std::unique_ptr<HelperChild>(new HelperChild(pid, pidFd, pipeFds[0]));
}

HelperChild::~HelperChild() {
    if (!reaped_) killAndReap();
    ::close(pidFd_);
    ::close(errorFd_);
}

bool HelperChild::readErrorOutput() {
    if (errorEnded_) return false;
    char buffer[512];
    for (std::size_t taken = 0; taken < kMaxReadPerTurn;) {
        const ssize_t got = ::read(errorFd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (got <= 0) {
            errorEnded_ = true;
            return false;
        }
        const auto size = static_cast<std::size_t>(got);
        taken += size;
        if (errorOutput_.size() < kMaxErrorOutput) {
            errorOutput_.append(buffer, std::min(size, kMaxErrorOutput - errorOutput_.size()));
        }
    }
    return true;
}

bool HelperChild::tryReap() {
    if (reaped_) return true;
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(pid_, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0) return false;
    finishReaping(done == pid_ ? status : -1);
    return true;
}

bool HelperChild::killAndReap() {
    if (reaped_) return true;
    if (::kill(pid_, SIGKILL) != 0) return false;
    finishReaping(reapBlocking(pid_));
    return true;
}

// Whoever else still holds the pipe (something the child started) is not
// waited for: what the child itself wrote is in the pipe already.
void HelperChild::finishReaping(int status) {
    reaped_ = true;
    if (status != -1 && WIFEXITED(status)) exitStatus_ = WEXITSTATUS(status);
    readErrorOutput();
    errorEnded_ = true;
}

bool HelperChild::waitUntil(Clock::time_point deadline) {
    for (;;) {
        if (tryReap()) return true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd watched[2] = {{pidFd_, POLLIN, 0}, {errorEnded_ ? -1 : errorFd_, POLLIN, 0}};
        if (::poll(watched, 2, static_cast<int>(left)) < 0 && errno != EINTR) return false;
        if (watched[1].revents != 0) readErrorOutput();
    }
}

FinishedProcess runToCompletion(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                                ChildInput input) {
    FinishedProcess result;
    auto child = HelperChild::start(argv, input, result.errorOutput);
    if (!child) return result;
    result.started = true;
    if (!child->waitUntil(HelperChild::Clock::now() + timeout)) {
        result.timedOut = true;
        // A helper pkexec has already started runs as root and cannot be
        // killed from here; it is left to finish.
        child->killAndReap();
    }
    result.exitStatus = result.timedOut ? -1 : child->exitStatus();
    result.errorOutput = child->errorOutput();
    return result;
}

}  // namespace vigilo
