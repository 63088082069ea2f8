#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vigilo {

// One running process as the kernel lists it.
struct DetectedProcess {
    std::int32_t pid = 0;  // always >= 1
    // The kernel's short name (the executable's name in its own case, cut
    // short by the kernel), as valid UTF-8.
    std::string name;

    bool operator==(const DetectedProcess&) const = default;
};

// What a process has used so far.
struct ProcessUsage {
    std::uint64_t cpuTimeNanos = 0;   // user plus system CPU time, accumulated
    std::uint64_t residentBytes = 0;  // resident memory now
    // When the process started, in the system's own units; 0 when unknown.
    // Only compared: a pid whose start time changed is another process.
    std::uint64_t startTime = 0;

    bool operator==(const ProcessUsage&) const = default;
};

// The machine's process table. Abstract so the watcher can be tested against
// a made-up table; the Linux implementation reads /proc. Implementations
// keep no state between calls and are safe to call from any thread. Nothing
// throws: failures come back as empty lists and absent values.
class ProcessTable {
public:
    virtual ~ProcessTable() = default;

    // Every process visible now, in the kernel's order: no sorting, no
    // de-duplication, no filtering by user. Processes that exit while the
    // list is being made are left out. Empty when listing fails.
    virtual std::vector<DetectedProcess> allRunning() const = 0;

    // The process's non-empty arguments joined with single spaces (no
    // quoting, so it cannot be split back). When no argument is left, the
    // executable's path, or the empty string when that is unknown (kernel
    // threads). Absent when the process's arguments cannot be read.
    virtual std::optional<std::string> commandLine(std::int32_t pid) const = 0;

    // Absent when the process is gone or its figures cannot be read.
    virtual std::optional<ProcessUsage> resourceUsage(std::int32_t pid) const = 0;
};

}  // namespace vigilo
