#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/network_monitor.h"
#include "support/loop.h"

namespace vigilo {

// The network as the kernel's routing tables show it, for machines without
// NetworkManager: usable while a non-loopback interface is up and running
// and a default route (IPv4 or IPv6, main table) leaves through one of them.
// Link and route messages from rtnetlink wake the loop; nothing polls.
// Main thread only.
class RouteNetlinkMonitor final : public NetworkMonitor {
public:
    explicit RouteNetlinkMonitor(Loop& loop) : loop_(loop) {}
    ~RouteNetlinkMonitor() override;
    RouteNetlinkMonitor(const RouteNetlinkMonitor&) = delete;
    RouteNetlinkMonitor& operator=(const RouteNetlinkMonitor&) = delete;

    // An empty Handle, and nothing ever reported, when rtnetlink cannot be
    // opened.
    Handle start(std::function<void(bool up)> onChange) override;

    // Asks the kernel now; nullopt when it does not answer.
    static std::optional<bool> readUsable();

private:
    void stop();
    void onMessages();
    void report(bool up);

    Loop& loop_;
    int events_ = -1;
    Handle watch_;
    std::function<void(bool)> onChange_;
    std::optional<bool> lastUp_;
    LifeToken life_;
};

}  // namespace vigilo
