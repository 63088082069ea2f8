#pragma once

#include <functional>

#include "support/handle.h"

namespace vigilo {

// Follows whether the machine has a usable network path (a connection with a
// default route). Abstract so the watchdog can be tested with a fake; Linux
// asks NetworkManager, or rtnetlink where NetworkManager does not run.
// Main thread only.
class NetworkMonitor {
public:
    virtual ~NetworkMonitor() = default;

    // Calls `onChange(up)` on the main loop with the first reading and then
    // with every change (never twice in a row with the same value), until
    // the returned Handle goes.
    virtual Handle start(std::function<void(bool up)> onChange) = 0;
};

}  // namespace vigilo
