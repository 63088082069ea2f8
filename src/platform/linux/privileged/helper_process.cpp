#include "platform/linux/privileged/helper_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace vigilo {
namespace {

using Clock = std::chrono::steady_clock;

// Enough for a message or two; the rest is read and dropped.
constexpr std::size_t kMaxErrorOutput = 4096;

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

bool spawn(const std::vector<std::string>& argv, ChildInput input, int errorWriteEnd, pid_t& pid, std::string& why) {
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input == ChildInput::none) posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errorWriteEnd, STDERR_FILENO);
    // Inhibitor locks live in descriptors: a child must not carry one along.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    const int error = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) why = std::strerror(error);
    return error == 0;
}

// Reads standard error until the child closes it or the deadline passes.
bool collectErrorOutput(int readEnd, Clock::time_point deadline, std::string& out) {
    char buffer[512];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd watched{readEnd, POLLIN, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return false;
        if (ready < 0) return true;
        const ssize_t got = ::read(readEnd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return true;
        out.append(buffer, static_cast<std::size_t>(got));
        if (out.size() > kMaxErrorOutput) out.resize(kMaxErrorOutput);
    }
}

// Waits for the exit itself, which follows the closed pipe at once unless
// the child handed its standard error to something that lives on.
bool waitForExit(pid_t pid, Clock::time_point deadline, int& status) {
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    Fd owned{pidFd};
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return true;
        if (done < 0 && errno != EINTR) return true;  // someone else reaped it
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        if (pidFd >= 0) {
            pollfd watched{pidFd, POLLIN, 0};
            ::poll(&watched, 1, static_cast<int>(left));
        } else {
            ::usleep(10000);
        }
    }
}

}  // namespace

FinishedProcess runToCompletion(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                                ChildInput input) {
    FinishedProcess result;
    int pipeFds[2];
    if (argv.empty() || ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.errorOutput = argv.empty() ? "nothing to run" : std::strerror(errno);
        return result;
    }
    Fd readEnd{pipeFds[0]};
    pid_t pid = -1;
    {
        Fd writeEnd{pipeFds[1]};
        if (!spawn(argv, input, writeEnd.fd, pid, result.errorOutput)) return result;
    }
    result.started = true;
    const auto deadline = Clock::now() + timeout;
    // Stays "not exited normally" if something else reaps the child.
    int status = -1;
    if (!collectErrorOutput(readEnd.fd, deadline, result.errorOutput) || !waitForExit(pid, deadline, status)) {
        result.timedOut = true;
        // A helper pkexec has already started runs as root and cannot be
        // killed from here; it is left to finish, never waited for.
        if (::kill(pid, SIGKILL) == 0) ::waitpid(pid, &status, 0);
        return result;
    }
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    return result;
}

}  // namespace vigilo
