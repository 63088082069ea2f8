#include "platform/linux/pkexec_command_install.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/tr.h"

extern char** environ;

namespace vigilo {
namespace {

// pkexec's own statuses: the person dismissed the prompt, or was not
// authorised (or pkexec failed before running anything).
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorised = 127;

struct Outcome {
    int status = -1;  // the exit status, or -1 when it did not exit
    std::string errorOutput;
    std::optional<std::string> spawnError;
};

std::string readAll(int fd) {
    std::string text;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            return text;
        }
    }
}

// Runs argv with standard error captured; no shell is involved.
Outcome run(const std::vector<std::string>& argv) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {.spawnError = std::strerror(errno)};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    Outcome outcome;
    if (rc != 0) {
        ::close(pipeFds[0]);
        outcome.spawnError = std::strerror(rc);
        return outcome;
    }
    outcome.errorOutput = readAll(pipeFds[0]);
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

// The helper's last line of complaint, without its name.
std::string lastLine(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    if (auto newline = text.rfind('\n'); newline != std::string::npos) text.erase(0, newline + 1);
    const std::string prefix = "vigilo-helper: ";
    if (text.starts_with(prefix)) text.erase(0, prefix.size());
    return text;
}

}  // namespace

#ifndef VIGILO_HELPER_PATH
#error "VIGILO_HELPER_PATH names the installed privileged helper"
#endif

PkexecCommandInstall::PkexecCommandInstall() : PkexecCommandInstall(VIGILO_HELPER_PATH, "pkexec", ::geteuid() == 0) {}

PkexecCommandInstall::PkexecCommandInstall(std::filesystem::path helper, std::string pkexec, bool alreadyRoot)
    : helper_(std::move(helper)), pkexec_(std::move(pkexec)), alreadyRoot_(alreadyRoot) {}

std::optional<std::string> PkexecCommandInstall::install(const std::string& executable) {
    return runHelper({"install-cli", executable});
}

std::optional<std::string> PkexecCommandInstall::remove() { return runHelper({"install-cli", "remove"}); }

std::optional<std::string> PkexecCommandInstall::runHelper(const std::vector<std::string>& arguments) {
    if (::access(helper_.c_str(), X_OK) != 0) {
        return trFormat("The privileged helper is not installed ({}).", helper_.string());
    }
    std::vector<std::string> argv;
    if (!alreadyRoot_) argv.push_back(pkexec_);
    argv.push_back(helper_.string());
    argv.insert(argv.end(), arguments.begin(), arguments.end());

    const Outcome outcome = run(argv);
    if (outcome.spawnError) return trFormat("{} could not be started: {}", argv.front(), *outcome.spawnError);
    if (outcome.status == 0) return std::nullopt;
    if (outcome.status == kPkexecDismissed) return std::string(tr("The administrator's password was not given."));
    if (outcome.status == kPkexecNotAuthorised) return std::string(tr("Not authorised to change /usr/local/bin."));
    const std::string why = lastLine(outcome.errorOutput);
    return why.empty() ? std::string(tr("install failed")) : why;
}

}  // namespace vigilo
