#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vigilo {

// An application the desktop lists as running, apart from its processes.
struct RunningApplication {
    std::int32_t pid = 0;
    std::string localizedName;     // empty when it has none
    std::string bundleIdentifier;  // reverse-DNS identifier; empty when it has none

    bool operator==(const RunningApplication&) const = default;
};

// The desktop's list of running applications. Main thread only. Abstract
// because not every system has such a list; where there is none the list is
// empty and workloads are found among the processes alone.
class RunningApplications {
public:
    virtual ~RunningApplications() = default;

    // In the desktop's own order.
    virtual std::vector<RunningApplication> list() const = 0;
};

}  // namespace vigilo
