#include "platform/linux/network/linux_network_monitor.h"

#include "platform/linux/network/network_manager_monitor.h"
#include "platform/linux/network/route_netlink_monitor.h"

namespace vigilo {

Handle LinuxNetworkMonitor::start(std::function<void(bool up)> onChange) {
    if (NetworkManagerMonitor::isRunning()) {
        active_ = std::make_unique<NetworkManagerMonitor>(loop_);
        Handle handle = active_->start(onChange);
        if (handle.active()) return handle;
    }
    active_ = std::make_unique<RouteNetlinkMonitor>(loop_);
    return active_->start(std::move(onChange));
}

}  // namespace vigilo
