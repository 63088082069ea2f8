#include "platform/linux/login_shell_launcher.h"

#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>

extern char** environ;

namespace vigilo {

namespace {

constexpr const char* kFallbackShell = "/bin/sh";
// The script's $0: what the shell names in its own messages ("vigilo: 1:
// exec: trian.py: not found").
constexpr const char* kScriptName = "vigilo";

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

bool isNamed(const std::filesystem::path& shell, std::initializer_list<const char*> names) {
    const std::string name = shell.filename().string();
    for (const char* candidate : names) {
        if (name == candidate) return true;
    }
    return false;
}

ShellRunResult spawnAndWait(std::vector<std::string> argv) {
    surviveInterrupts();

    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (auto& word : argv) pointers.push_back(word.data());
    pointers.push_back(nullptr);

    ShellRunResult result;
    pid_t pid = 0;
    if (int rc = ::posix_spawn(&pid, argv.front().c_str(), nullptr, nullptr, pointers.data(), environ); rc != 0) {
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

}  // namespace

bool acceptsLoginCommand(const std::filesystem::path& shell) {
    if (shell.empty() || !shell.is_absolute() || ::access(shell.c_str(), X_OK) != 0) return false;
    return !isNamed(shell, {"csh", "tcsh", "nologin", "false"});
}

bool passesPositionalArguments(const std::filesystem::path& shell) {
    return !isNamed(shell, {"fish", "nu", "xonsh", "elvish", "pwsh", "ion"});
}

std::string loginShellPath() {
    const passwd* pw = ::getpwuid(::getuid());
    if (pw && pw->pw_shell && acceptsLoginCommand(pw->pw_shell)) return pw->pw_shell;
    return kFallbackShell;
}

ShellRunResult LoginShellLauncher::runText(const std::string& text) {
    return spawnAndWait({shell_, "-l", "-c", text});
}

ShellRunResult LoginShellLauncher::runArguments(const std::vector<std::string>& arguments) {
    // `exec` hands the process over, so no word passes through the shell's
    // splitting or expansion and the status is the program's own.
    std::vector<std::string> argv{passesPositionalArguments(shell_) ? shell_ : kFallbackShell, "-l", "-c",
                                  "exec \"$@\"", kScriptName};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return spawnAndWait(std::move(argv));
}

}  // namespace vigilo
