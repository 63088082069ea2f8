#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/process_table.h"
#include "platform/user_process_table.h"

namespace vigilo {

// The process table as /proc shows it. Keeps nothing between calls apart
// from where /proc is (a temporary tree in tests) and two system constants,
// so one instance serves every thread.
class ProcessDetector final : public ProcessTable, public UserProcessTable {
public:
    explicit ProcessDetector(std::string procRoot = "/proc");
    // For tests that need fixed units.
    ProcessDetector(std::string procRoot, long ticksPerSecond, long pageSize);

    // One entry per numeric folder of /proc, named from its "comm" file.
    std::vector<DetectedProcess> allRunning() const override;
    // The same, for the processes whose folder `uid` owns.
    std::vector<DetectedProcess> runningAs(uid_t uid) const override;
    // From "cmdline", falling back to where the "exe" link points.
    std::optional<std::string> commandLine(std::int32_t pid) const override;
    // From "stat".
    std::optional<ProcessUsage> resourceUsage(std::int32_t pid) const override;

private:
    std::vector<DetectedProcess> list(std::optional<uid_t> owner) const;
    std::string pidPath(std::int32_t pid, const char* file) const;

    std::string root_;
    long ticksPerSecond_;
    long pageSize_;
};

}  // namespace vigilo
