#include "platform/linux/process/login_shell_child_launcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/linux/process/spawn_setup.h"

extern char** environ;

namespace vigilo {

namespace {

class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&&) = delete;
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// How long a child asked to stop at quit may take before it is killed.
constexpr int kQuitGraceMilliseconds = 2000;

int shellStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

// The child leads a process group of its own, so the whole job (the shell
// and everything it started) is signalled at once. The group's id cannot be
// reused while the child is not reaped, so it is only ever signalled then.
class PidfdChildProcess final : public ChildProcess {
public:
    PidfdChildProcess(pid_t pid, UniqueFd output, UniqueFd pidfd)
        : pid_(pid), output_(std::move(output)), pidfd_(std::move(pidfd)) {}

    // No job outlives its owner: asked to stop, then killed after a grace
    // period, and reaped either way.
    ~PidfdChildProcess() override {
        if (reaped_) return;
        ::kill(-pid_, SIGTERM);
        pollfd exited{pidfd_.get(), POLLIN, 0};
        while (::poll(&exited, 1, kQuitGraceMilliseconds) < 0 && errno == EINTR) {
        }
        ::kill(-pid_, SIGKILL);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }

    pid_t pid() const override { return pid_; }
    int outputFd() const override { return output_.get(); }
    int exitFd() const override { return pidfd_.get(); }

    std::optional<int> takeExitStatus() override {
        if (reaped_) return status_;
        int status = 0;
        pid_t rc;
        do {
            rc = ::waitpid(pid_, &status, WNOHANG);
        } while (rc < 0 && errno == EINTR);
        if (rc == 0) return std::nullopt;
        reaped_ = true;
        status_ = rc < 0 ? 1 : shellStatus(status);  // rc < 0: someone else reaped it
        return status_;
    }

    void terminate() override {
        if (!reaped_) ::kill(-pid_, SIGTERM);
    }

private:
    pid_t pid_;
    UniqueFd output_;
    UniqueFd pidfd_;
    bool reaped_ = false;
    int status_ = 0;
};

}  // namespace

std::variant<std::unique_ptr<ChildProcess>, std::string> LoginShellChildLauncher::start(const std::string& commandText) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::string(std::strerror(errno));
    UniqueFd readEnd(fds[0]), writeEnd(fds[1]);

    SpawnSetup setup(POSIX_SPAWN_SETPGROUP);
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, writeEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, writeEnd.get(), STDERR_FILENO);
    // Whatever this process holds without close-on-exec (a library's
    // sockets, say) is not the command's business.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);
    posix_spawnattr_setpgroup(&setup.attributes, 0);

    std::string shell = shell_, login = "-l", command = "-c", text = commandText;
    char* argv[] = {shell.data(), login.data(), command.data(), text.data(), nullptr};
    pid_t pid = 0;
    if (int rc = ::posix_spawn(&pid, shell_.c_str(), &setup.actions, &setup.attributes, argv, environ); rc != 0) {
        return std::string(std::strerror(rc));
    }

    UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    if (pidfd.get() < 0) {
        const std::string error = std::strerror(errno);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return error;
    }
    ::fcntl(readEnd.get(), F_SETFL, ::fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);
    return std::unique_ptr<ChildProcess>(
        std::make_unique<PidfdChildProcess>(pid, std::move(readEnd), std::move(pidfd)));
}

}  // namespace vigilo
