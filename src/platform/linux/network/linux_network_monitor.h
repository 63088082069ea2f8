#pragma once

#include <memory>

#include "platform/network_monitor.h"
#include "support/loop.h"

namespace vigilo {

// NetworkManager where it runs (it knows about connectivity the routing
// tables cannot show), the kernel's routing tables elsewhere; chosen when
// the monitor starts. The two agree on a machine that has both.
class LinuxNetworkMonitor final : public NetworkMonitor {
public:
    explicit LinuxNetworkMonitor(Loop& loop) : loop_(loop) {}

    Handle start(std::function<void(bool up)> onChange) override;

private:
    Loop& loop_;
    std::unique_ptr<NetworkMonitor> active_;
};

}  // namespace vigilo
