#pragma once

#include <vector>

#include "platform/running_applications.h"

namespace vigilo {

// Linux desktops keep no common list of running applications apart from
// their processes (every application is a process found in /proc), so this
// list is always empty and the watcher matches processes only.
class LinuxRunningApplications final : public RunningApplications {
public:
    std::vector<RunningApplication> list() const override { return {}; }
};

}  // namespace vigilo
