#include "platform/linux/pkexec_command_install.h"

#include <unistd.h>

#include <chrono>

#include "platform/linux/privileged/helper_process.h"
#include "support/tr.h"

namespace vigilo {
namespace {

// pkexec's own statuses: the person dismissed the prompt, or was not
// authorised (or pkexec failed before running anything).
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorised = 127;

// A person typing a password in a prompt or a terminal gets this long.
constexpr std::chrono::minutes kAnswerTimeout{2};

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

PkexecCommandInstall::PkexecCommandInstall()
    : PkexecCommandInstall(VIGILO_HELPER_PATH, "/usr/bin/pkexec", ::geteuid() == 0) {}

PkexecCommandInstall::PkexecCommandInstall(std::filesystem::path helper, std::string pkexec, bool alreadyRoot)
    : helper_(std::move(helper)), pkexec_(std::move(pkexec)), alreadyRoot_(alreadyRoot) {}

PkexecCommandInstall PkexecCommandInstall::forEnvironment(const XdgEnvironment& env) {
    const auto testHelper = env.getenv("VIGILO_TEST_HELPER");
    if (!testHelper || testHelper->empty()) return PkexecCommandInstall();
    PkexecCommandInstall test(*testHelper, "", true);
    if (const auto root = env.getenv("VIGILO_HELPER_TEST_ROOT"); root && !root->empty()) {
        test.command_ = std::filesystem::path(*root) / "usr/local/bin/vigilo";
    }
    return test;
}

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

    const FinishedProcess finished = runToCompletion(argv, kAnswerTimeout, ChildInput::inherited);
    if (!finished.started) return trFormat("{} could not be started: {}", argv.front(), finished.errorOutput);
    if (finished.timedOut) return trFormat("{} did not finish in time", argv.front());
    if (finished.exitStatus == 0) return std::nullopt;
    if (finished.exitStatus == kPkexecDismissed) return std::string(tr("The administrator's password was not given."));
    if (finished.exitStatus == kPkexecNotAuthorised) return std::string(tr("Not authorised to change /usr/local/bin."));
    const std::string why = lastLine(finished.errorOutput);
    return why.empty() ? std::string(tr("install failed")) : why;
}

}  // namespace vigilo
