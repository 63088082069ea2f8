#include "platform/linux/privileged/helper_runner.h"

#include <unistd.h>

#include <utility>

#include <fmt/format.h>

#include "platform/linux/privileged/helper_process.h"
#include "platform/linux/privileged/polkit_authority.h"

namespace vigilo {
namespace {

using Status = PrivilegedRunner::Result::Status;

constexpr const char* kPkexec = "/usr/bin/pkexec";
// pkexec's own verdicts: the prompt was dismissed, or not authorised / no agent.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorized = 127;
// The helper's: a request outside its vocabulary or naming nothing it can change.
constexpr int kHelperRefusedStatus = 2;

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

std::filesystem::path HelperRunner::installedHelper() { return VIGILO_HELPER_PATH; }

HelperRunner::Elevation HelperRunner::elevationForThisProcess() {
    return ::geteuid() == 0 ? Elevation::alreadyRoot : Elevation::pkexec;
}

HelperRunner::HelperRunner(std::filesystem::path helper, Elevation elevation)
    : helper_(std::move(helper)), elevation_(elevation) {}

std::vector<std::string> HelperRunner::commandLine(const std::vector<std::string>& arguments) const {
    std::vector<std::string> argv;
    if (elevation_ == Elevation::pkexec) argv.emplace_back(kPkexec);
    argv.push_back(helper_.string());
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}

PrivilegedRunner::Result HelperRunner::run(const char* action, const std::vector<std::string>& arguments,
                                           Consent consent) {
    if (elevation_ != Elevation::alreadyRoot && consent == Consent::withoutAsking) {
        std::string why;
        const auto allowed = polkitAuthorizes(action, PolkitQuestion::withoutAsking, kPolkitTimeout, why);
        if (!allowed) return {Status::notAllowed, fmt::format("polkit could not be asked: {}", why)};
        if (!*allowed) return {Status::notAllowed, fmt::format("polkit does not allow {} without asking", action)};
    }
    const auto timeout = consent == Consent::mayAsk ? kPromptTimeout : kQuietTimeout;
    const auto finished = runToCompletion(commandLine(arguments), timeout);
    const std::string said = firstLine(finished.errorOutput);
    if (!finished.started) return {Status::failed, fmt::format("cannot run {}: {}", helper_.string(), said)};
    if (finished.timedOut) return {Status::failed, fmt::format("{} did not finish in time", helper_.string())};
    if (elevation_ == Elevation::pkexec &&
        (finished.exitStatus == kPkexecDismissed || finished.exitStatus == kPkexecNotAuthorized)) {
        return {Status::notAllowed, said.empty() ? "not authorised" : said};
    }
    if (finished.exitStatus == 0) return {Status::done, said};
    if (finished.exitStatus == kHelperRefusedStatus) return {Status::refused, said};
    return {Status::failed, said.empty() ? fmt::format("exit status {}", finished.exitStatus) : said};
}

bool HelperRunner::authorize(const char* action) {
    if (elevation_ == Elevation::alreadyRoot) return true;
    std::string why;
    const auto allowed = polkitAuthorizes(action, PolkitQuestion::mayAsk, kPromptTimeout, why);
    if (!allowed) log_.error("polkit could not be asked for {}: {}", action, why);
    return allowed.value_or(false);
}

}  // namespace vigilo
