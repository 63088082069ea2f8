#pragma once

#include <sys/types.h>

#include <vector>

#include "platform/process_table.h"

namespace vigilo {

// The processes of one user. Smart Rules look only at these: services that
// run under system accounts all the time (a container daemon, a packaged
// model server) would otherwise hold the rules for them forever. Separate
// from ProcessTable, which Auto Mode uses to see every user's processes.
// Implementations keep no state between calls and are safe to call from any
// thread; nothing throws.
class UserProcessTable {
public:
    virtual ~UserProcessTable() = default;

    // Every process whose owner is `uid`, in the kernel's order, each as
    // ProcessTable::allRunning() gives it. Processes that exit meanwhile are
    // left out; empty when listing fails.
    virtual std::vector<DetectedProcess> runningAs(uid_t uid) const = 0;
};

}  // namespace vigilo
