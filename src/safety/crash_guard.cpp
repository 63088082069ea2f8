#include "safety/crash_guard.h"

#include <string>
#include <system_error>
#include <utility>

#include "support/atomic_file.h"
#include "support/bounded_file.h"

namespace vigilo {

CrashGuard::CrashGuard(std::optional<std::filesystem::path> folder, std::int32_t ownPid, const Clock& clock)
    : folder_(std::move(folder)), ownPid_(ownPid), clock_(clock) {
    if (folder_) file_ = *folder_ / kCrashGuardFileName;
}

void CrashGuard::arm() {
    if (!file_) return;
    const auto now = clock_.wallNow();
    write(CrashGuardState{true, ownPid_, now, now});
}

void CrashGuard::heartbeat() {
    auto state = read();
    if (!state || !state->clamshellArmed) return;
    state->heartbeatAt = clock_.wallNow();
    write(*state);
}

void CrashGuard::disarm() {
    if (!file_) return;
    ensureFolder();
    std::error_code ignored;
    std::filesystem::remove(*file_, ignored);
}

bool CrashGuard::recoverIfStale() {
    const auto state = read();
    if (!state || !state->clamshellArmed) return false;
    log_.info("Stale crash-guard state found (pid {}) — recovering", state->pid);
    disarm();
    return true;
}

std::optional<CrashGuardState> CrashGuard::read() {
    if (!file_) return std::nullopt;
    ensureFolder();
    const auto file = readBoundedFile(*file_, kMaxCrashGuardFileBytes);
    std::optional<CrashGuardState> state;
    std::string problem;
    if (file.status == BoundedFile::Status::rejected) problem = file.problem;
    if (file.status == BoundedFile::Status::ok) {
        state = decodeCrashGuardState(file.contents);
        if (!state) problem = "not a crash-guard record";
    }
    reportUnreadable(problem);
    return state;
}

// Logged when the reason is new, not at every heartbeat. The file is left
// where it is: the system's own setting still tells the launch whether
// closed-lid mode was left on.
void CrashGuard::reportUnreadable(const std::string& problem) {
    if (problem == reportedProblem_) return;
    reportedProblem_ = problem;
    if (problem.empty()) return;
    log_.error("Unreadable {} ({}): left where it is; whether closed-lid mode was left on is taken from the system "
               "alone",
               file_->string(), problem);
}

void CrashGuard::write(const CrashGuardState& state) {
    ensureFolder();
    reportedProblem_.clear();
    // A failed write leaves the old file; the next heartbeat tries again.
    (void)writeFileAtomically(*file_, encodeCrashGuardState(state));
}

// Once per process, on first use; a failure only means later writes fail.
void CrashGuard::ensureFolder() {
    if (folderReady_) return;
    folderReady_ = true;
    (void)createFoldersDurably(*folder_);
}

}  // namespace vigilo
