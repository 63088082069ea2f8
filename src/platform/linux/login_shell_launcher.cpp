#include "platform/linux/login_shell_launcher.h"

#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

extern char** environ;

namespace vigilo {

namespace {

constexpr const char* kFallbackShell = "/bin/sh";

void doNothing(int) {}

void surviveInterrupts() {
    struct sigaction action {};
    action.sa_handler = doNothing;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int terminationStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

}  // namespace

bool acceptsLoginCommand(const std::filesystem::path& shell) {
    if (shell.empty() || !shell.is_absolute() || ::access(shell.c_str(), X_OK) != 0) return false;
    static constexpr std::array<const char*, 4> kRefusing{"csh", "tcsh", "nologin", "false"};
    const std::string name = shell.filename().string();
    for (const char* refusing : kRefusing) {
        if (name == refusing) return false;
    }
    return true;
}

std::string loginShellPath() {
    const passwd* pw = ::getpwuid(::getuid());
    if (pw && pw->pw_shell && acceptsLoginCommand(pw->pw_shell)) return pw->pw_shell;
    return kFallbackShell;
}

ShellRunResult LoginShellLauncher::runAndWait(const std::string& commandText) {
    surviveInterrupts();

    std::string login = "-l", command = "-c";
    std::string text = commandText;
    std::string shell = shell_;
    char* argv[] = {shell.data(), login.data(), command.data(), text.data(), nullptr};

    ShellRunResult result;
    pid_t pid = 0;
    if (int rc = ::posix_spawn(&pid, shell_.c_str(), nullptr, nullptr, argv, environ); rc != 0) {
        result.startError = std::strerror(rc);
        return result;
    }
    result.started = true;

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            result.exitStatus = 1;
            return result;
        }
    }
    result.exitStatus = terminationStatus(status);
    return result;
}

}  // namespace vigilo
