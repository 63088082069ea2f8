#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "safety/crash_guard_state.h"
#include "support/clock.h"
#include "support/log.h"

namespace vigilo {

inline constexpr const char* kCrashGuardFileName = "crashguard.json";
// The file holds one small object; anything much bigger is not ours.
inline constexpr std::uintmax_t kMaxCrashGuardFileBytes = 4096;

// Leaves "crashguard.json" in the data folder while closed-lid mode is on, so
// that the next launch can tell a run ended without switching it off. It
// only records and reports; restoring the system setting is the caller's
// job. No operation throws or reports a file error. Main thread only.
class CrashGuard {
public:
    // `folder` absent: there is nowhere to keep the file and every operation
    // does nothing. `ownPid` is recorded by arm().
    CrashGuard(std::optional<std::filesystem::path> folder, std::int32_t ownPid, const Clock& clock);

    // Records that closed-lid mode has just been switched on.
    void arm();
    // Refreshes the heartbeat of an armed file; does nothing otherwise.
    void heartbeat();
    // Removes the file; a missing one is fine.
    void disarm();
    // True when an armed file from an earlier run was found (and removed). The
    // recorded pid is only logged: a live writer, such as a second copy, is
    // not told apart, since the file says closed-lid mode was left on. An
    // unreadable file is logged, left where it is, and gives false.
    bool recoverIfStale();

    const std::optional<std::filesystem::path>& fileURL() const { return file_; }

private:
    // The file's state; nullopt when there is none or it is unreadable (logged).
    std::optional<CrashGuardState> read();
    void reportUnreadable(const std::string& problem);
    void write(const CrashGuardState& state);
    void ensureFolder();

    Logger log_{"CrashGuard"};
    std::optional<std::filesystem::path> folder_;
    std::optional<std::filesystem::path> file_;
    std::int32_t ownPid_;
    const Clock& clock_;
    bool folderReady_ = false;
    std::string reportedProblem_;  // why the file was last found unreadable, once logged
};

}  // namespace vigilo
